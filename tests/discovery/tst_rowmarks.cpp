#include "discovery/searchrows.h"

#include <QHostAddress>
#include <QtTest>

using Marks = QVector<quint8>;

class TestRowMarks : public QObject {
    Q_OBJECT

private slots:
    void marks_data()
    {
        QTest::addColumn<QStringList>("hosts");
        QTest::addColumn<QStringList>("subnets"); // address/netmask
        QTest::addColumn<Marks>("marks");
        const quint8 none = Discovery::NoMark;
        const quint8 dup = Discovery::DuplicateAddress;
        const quint8 out = Discovery::OutsideSubnet;
        const QStringList lan { "192.168.1.10/255.255.255.0" };

        QTest::newRow("inside, distinct")
            << QStringList { "192.168.1.5", "192.168.1.6" } << lan << Marks { none, none };
        QTest::newRow("same address twice")
            << QStringList { "192.168.1.5", "192.168.1.6", "192.168.1.5" } << lan << Marks { dup, none, dup };
        QTest::newRow("outside") << QStringList { "192.168.2.5" } << lan << Marks { out };
        QTest::newRow("both") << QStringList { "10.0.0.1", "10.0.0.1" } << lan << Marks { dup | out, dup | out };
        QTest::newRow("second subnet of the adapter")
            << QStringList { "10.0.0.1" } << QStringList { lan.first(), "10.0.0.9/255.0.0.0" } << Marks { none };
        QTest::newRow("adapter without IPv4") << QStringList { "10.0.0.1" } << QStringList {} << Marks { none };
        QTest::newRow("no address, twice") << QStringList { "", "" } << lan << Marks { none, none };
        QTest::newRow("not an address") << QStringList { "card-1" } << lan << Marks { none };
        QTest::newRow("wide netmask") << QStringList { "172.16.200.1" } << QStringList { "172.16.0.1/255.255.0.0" }
                                      << Marks { none };
    }

    void marks()
    {
        QFETCH(QStringList, hosts);
        QFETCH(QStringList, subnets);
        QFETCH(Marks, marks);
        QVector<Discovery::CardInfo> rows(hosts.size());
        for (int i = 0; i < hosts.size(); ++i)
            rows[i].host = hosts.at(i);
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
