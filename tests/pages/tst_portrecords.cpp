// The settings page's wire data without a window: the four port records and
// the date text.

#include "pages/devicedate.h"
#include "pages/portrecords.h"

#include <QtTest>

namespace {
const auto hx = [](const char* text) { return QByteArray::fromHex(text); };

// "on:22 off:23 on:80 off:443" as a table, and back.
PortRecords::Table table(const QString& text)
{
    PortRecords::Table t;
    const QStringList parts = text.split(QLatin1Char(' '));
    for (int i = 0; i < PortRecords::kServiceCount; ++i)
        t[size_t(i)]
            = { parts.at(i).startsWith(QLatin1String("on:")), parts.at(i).section(QLatin1Char(':'), 1).toInt() };
    return t;
}
QString text(const PortRecords::Table& t)
{
    QStringList parts;
    for (const auto& row : t)
        parts << QString::fromLatin1(row.enabled ? "on:" : "off:") + QString::number(row.port);
    return parts.join(QLatin1Char(' '));
}
// The bytes live in a buffer of exactly their size, so a read past the end
// shows under the sanitizers.
std::vector<quint8> exact(const QByteArray& wire)
{
    return std::vector<quint8>(wire.begin(), wire.end());
}
} // namespace

class TestPortRecords : public QObject {
    Q_OBJECT

private slots:
    void encode_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QByteArray>("wire"); // empty: refused
        QTest::newRow("SSH on 22 .. HTTPS off on 443")
            << "on:22 on:23 on:80 off:443" << hx("010016 010017 010050 0001BB");
        QTest::newRow("limits 1 and 65534") << "off:1 on:65534 off:256 on:255" << hx("000001 01FFFE 000100 0100FF");
        QTest::newRow("negative") << "on:22 on:-22 on:80 on:443" << QByteArray();
        QTest::newRow("beyond 16 bits") << "on:65558 on:23 on:80 on:443" << QByteArray();
    }
    void encode()
    {
        QFETCH(QString, rows);
        QFETCH(QByteArray, wire);
        QCOMPARE(PortRecords::encode(table(rows)).toHex(' '), wire.toHex(' '));
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("rows"); // "on:7 on:7 on:7 on:7": refused, the table untouched
        QTest::newRow("enable byte 2 and FF") << hx("020016 FF0017 800050 0101BB") << "on:22 on:23 on:80 on:443";
        QTest::newRow("ports FF FE and 00 00 and FF FF")
            << hx("01FFFE 010000 01FFFF 000001") << "on:65534 on:0 on:65535 off:1";
        QTest::newRow("13 bytes") << hx("010016 010017 010050 0101BB 00") << "on:7 on:7 on:7 on:7";
        QTest::newRow("empty") << QByteArray() << "on:7 on:7 on:7 on:7";
    }
    void decode()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, rows);
        PortRecords::Table got = table(QStringLiteral("on:7 on:7 on:7 on:7"));
        auto data = exact(wire);
        QCOMPARE(PortRecords::decode(data.data(), int(data.size()), &got), wire.size() == 12);
        QCOMPARE(text(got), rows);
    }

    void portFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("port");
        QTest::newRow("22") << "22" << 22;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("letters") << "ssh" << 0;
        QTest::newRow("leading zero is decimal") << "022" << 22;
        QTest::newRow("huge") << "99999999999" << 0;
    }
    void portFromText()
    {
        QFETCH(QString, text);
        QFETCH(int, port);
        QCOMPARE(PortRecords::portFromText(text), port);
    }

    void dateReply_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("text"); // null: refused
        QTest::newRow("19 bytes") << QByteArray("2026-12-06 10:11:12") << QStringLiteral("2026-12-06 10:11:12");
        QTest::newRow("18 bytes") << QByteArray("2026-12-06 10:11:1") << QString();
        QTest::newRow("empty") << QByteArray() << QString();
    }
    void dateReply()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, text);
        auto data = exact(wire);
        const QString got = DeviceDate::fromReply(data.data(), int(data.size()));
        QCOMPARE(got.isNull(), text.isNull());
        QCOMPARE(got, text);
        const QDateTime when(QDate(2027, 1, 2), QTime(3, 4, 5), Qt::LocalTime);
        QCOMPARE(DeviceDate::syncData(when), QByteArray("2027-01-02 03:04:05"));
    }
};

QTEST_APPLESS_MAIN(TestPortRecords)
#include "tst_portrecords.moc"
