// The settings page's wire data without a window: the four port records and
// the date text.

#include "pages/devicedate.h"
#include "pages/portrecords.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

PortRecords::Table table(bool e0, int p0, bool e1, int p1, bool e2, int p2, bool e3, int p3)
{
    return PortRecords::Table { { { e0, p0 }, { e1, p1 }, { e2, p2 }, { e3, p3 } } };
}

} // namespace

Q_DECLARE_METATYPE(PortRecords::Table)

class TestPortRecords : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void decode_data();
    void decode();
    void portFromText_data();
    void portFromText();
    void dateReply_data();
    void dateReply();
    void syncDataIsTheLocalTime();
};

void TestPortRecords::encode_data()
{
    QTest::addColumn<PortRecords::Table>("rows");
    QTest::addColumn<QByteArray>("wire"); // empty: refused
    QTest::newRow("SSH on 22 .. HTTPS off on 443")
        << table(true, 22, true, 23, true, 80, false, 443) << hex("010016 010017 010050 0001BB");
    QTest::newRow("limits 1 and 65534") << table(false, 1, true, 65534, false, 256, true, 255)
                                        << hex("000001 01FFFE 000100 0100FF");
    QTest::newRow("negative") << table(true, 22, true, -22, true, 80, true, 443) << QByteArray();
    QTest::newRow("beyond 16 bits") << table(true, 22 + 65536, true, 23, true, 80, true, 443) << QByteArray();
}

void TestPortRecords::encode()
{
    QFETCH(PortRecords::Table, rows);
    QFETCH(QByteArray, wire);
    QCOMPARE(PortRecords::encode(rows).toHex(' '), wire.toHex(' '));
}

void TestPortRecords::decode_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<PortRecords::Table>("rows");
    const PortRecords::Table untouched = table(true, 7, true, 7, true, 7, true, 7);
    QTest::newRow("enable byte 2 and FF")
        << hex("020016 FF0017 800050 0101BB") << true << table(true, 22, true, 23, true, 80, true, 443);
    QTest::newRow("ports FF FE and 00 00 and FF FF")
        << hex("01FFFE 010000 01FFFF 000001") << true << table(true, 65534, true, 0, true, 65535, false, 1);
    QTest::newRow("13 bytes") << hex("010016 010017 010050 0101BB 00") << false << untouched;
    QTest::newRow("empty") << QByteArray() << false << untouched;
}

void TestPortRecords::decode()
{
    QFETCH(QByteArray, wire);
    QFETCH(bool, ok);
    QFETCH(PortRecords::Table, rows);
    PortRecords::Table got = table(true, 7, true, 7, true, 7, true, 7);
    // The bytes live in a buffer of exactly their size, so a read past the
    // end shows under the sanitizers.
    std::vector<quint8> exact(wire.begin(), wire.end());
    QCOMPARE(PortRecords::decode(exact.data(), int(exact.size()), &got), ok);
    for (int i = 0; i < PortRecords::kServiceCount; ++i) {
        QCOMPARE(got[size_t(i)].enabled, rows[size_t(i)].enabled);
        QCOMPARE(got[size_t(i)].port, rows[size_t(i)].port);
    }
}

void TestPortRecords::portFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("port");
    QTest::newRow("22") << "22" << 22;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("letters") << "ssh" << 0;
    QTest::newRow("leading zero is decimal") << "022" << 22;
    QTest::newRow("huge") << "99999999999" << 0;
}

void TestPortRecords::portFromText()
{
    QFETCH(QString, text);
    QFETCH(int, port);
    QCOMPARE(PortRecords::portFromText(text), port);
}

void TestPortRecords::dateReply_data()
{
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("text"); // null: refused
    QTest::newRow("19 bytes") << QByteArray("2026-12-06 10:11:12") << QStringLiteral("2026-12-06 10:11:12");
    QTest::newRow("18 bytes") << QByteArray("2026-12-06 10:11:1") << QString();
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestPortRecords::dateReply()
{
    QFETCH(QByteArray, wire);
    QFETCH(QString, text);
    std::vector<quint8> exact(wire.begin(), wire.end());
    const QString got = DeviceDate::fromReply(exact.data(), int(exact.size()));
    QCOMPARE(got.isNull(), text.isNull());
    QCOMPARE(got, text);
}

void TestPortRecords::syncDataIsTheLocalTime()
{
    const QDateTime when(QDate(2027, 1, 2), QTime(3, 4, 5), Qt::LocalTime);
    QCOMPARE(DeviceDate::syncData(when), QByteArray("2027-01-02 03:04:05"));
}

QTEST_APPLESS_MAIN(TestPortRecords)
#include "tst_portrecords.moc"
