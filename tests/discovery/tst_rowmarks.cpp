#include "discovery/searchrows.h"

#include <QHostAddress>
#include <QtTest>

class TestRowMarks : public QObject {
    Q_OBJECT

private slots:
    void marks_data()
    {
        QTest::addColumn<QStringList>("hosts");
        QTest::addColumn<QStringList>("subnets"); // address/netmask
        QTest::addColumn<QVector<quint8>>("marks");

        const quint8 none = Discovery::NoMark;
        const quint8 dup = Discovery::DuplicateAddress;
        const quint8 out = Discovery::OutsideSubnet;
        const QStringList lan { "192.168.1.10/255.255.255.0" };

        QTest::newRow("inside, distinct")
            << QStringList { "192.168.1.5", "192.168.1.6" } << lan << QVector<quint8> { none, none };
        QTest::newRow("same address twice")
            << QStringList { "192.168.1.5", "192.168.1.6", "192.168.1.5" } << lan << QVector<quint8> { dup, none, dup };
        QTest::newRow("outside") << QStringList { "192.168.2.5" } << lan << QVector<quint8> { out };
        QTest::newRow("both") << QStringList { "10.0.0.1", "10.0.0.1" } << lan
                              << QVector<quint8> { dup | out, dup | out };
        QTest::newRow("second subnet of the adapter")
            << QStringList { "10.0.0.1" } << QStringList { "192.168.1.10/255.255.255.0", "10.0.0.9/255.0.0.0" }
            << QVector<quint8> { none };
        QTest::newRow("adapter without IPv4")
            << QStringList { "10.0.0.1" } << QStringList {} << QVector<quint8> { none };
        QTest::newRow("no address, twice") << QStringList { "", "" } << lan << QVector<quint8> { none, none };
        QTest::newRow("not an address") << QStringList { "card-1" } << lan << QVector<quint8> { none };
        QTest::newRow("wide netmask") << QStringList { "172.16.200.1" } << QStringList { "172.16.0.1/255.255.0.0" }
                                      << QVector<quint8> { none };
    }

    void marks()
    {
        QFETCH(QStringList, hosts);
        QFETCH(QStringList, subnets);
        QFETCH(QVector<quint8>, marks);

        QVector<Discovery::CardInfo> rows;
        for (const QString& host : qAsConst(hosts)) {
            Discovery::CardInfo card;
            card.host = host;
            rows.append(card);
        }
        QVector<Discovery::Subnet> nets;
        for (const QString& net : qAsConst(subnets)) {
            const QStringList parts = net.split(QLatin1Char('/'));
            nets.append({ QHostAddress(parts.at(0)).toIPv4Address(), QHostAddress(parts.at(1)).toIPv4Address() });
        }
        QCOMPARE(Discovery::rowMarks(rows, nets), marks);
    }
};

QTEST_GUILESS_MAIN(TestRowMarks)
#include "tst_rowmarks.moc"
