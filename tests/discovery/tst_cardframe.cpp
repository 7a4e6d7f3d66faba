#include "discovery/cardframe.h"
#include "link/crc16.h"

#include <QtEndian>
#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const CardFrame::HardwareAddress kSource { 0x02, 0x4E, 0x51, 0x00, 0x00, 0x01 };

// A frame as a card sends it: header, payload, CRC over both, low byte first.
QByteArray cardFrame(quint32 command, const QByteArray& payload, bool swapCrc = false)
{
    QByteArray frame = hex("02 4E 51 00 00 01 00 1A 2B 3C 4D 5E 54 41 00 00 00 01") + QByteArray(8, '\0') + payload;
    qToLittleEndian<quint32>(command, frame.data() + 18);
    qToLittleEndian<quint32>(quint32(payload.size() + 28), frame.data() + 22);
    const quint16 crc = crc16Modbus(frame);
    return frame.append(char(swapCrc ? crc >> 8 : crc & 0xFF)).append(char(swapCrc ? crc & 0xFF : crc >> 8));
}

} // namespace

class TestCardFrame : public QObject {
    Q_OBJECT

private slots:
    void build_data();
    void build();
    void buildLimitsPayload();
    void hardwareAddressText_data();
    void hardwareAddressText();
    void receive_data();
    void receive();
    void receiveNeverReadsBeyondFrame();
};

void TestCardFrame::build_data()
{
    QTest::addColumn<quint32>("command");
    QTest::addColumn<QString>("destination");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("search to broadcast")
        << quint32(0) << QString() << QByteArray()
        << hex("FF FF FF FF FF FF 02 4E 51 00 00 01 54 41 00 00 00 01 00 00 00 00 1C 00 00 00 05 00");
    QTest::newRow("reboot to one card")
        << quint32(4) << QStringLiteral("00:1A:2B:3C:4D:5E") << QByteArray()
        << hex("00 1A 2B 3C 4D 5E 02 4E 51 00 00 01 54 41 00 00 00 01 04 00 00 00 1C 00 00 00 61 6C");
    QTest::newRow("set IP settings")
        << quint32(2) << QStringLiteral("00:1A:2B:3C:4D:5E")
        << QByteArray(R"({"gateway":"10.0.0.1","interface":"eth0","ip":"10.0.0.5","netmask":"255.255.255.0"})")
        << hex("00 1A 2B 3C 4D 5E 02 4E 51 00 00 01 54 41 00 00 00 01 02 00 00 00 6F 00 00 00"
               "7B 22 67 61 74 65 77 61 79 22 3A 22 31 30 2E 30 2E 30 2E 31 22 2C 22 69 6E 74 65 72 66 61"
               "63 65 22 3A 22 65 74 68 30 22 2C 22 69 70 22 3A 22 31 30 2E 30 2E 30 2E 35 22 2C 22 6E 65"
               "74 6D 61 73 6B 22 3A 22 32 35 35 2E 32 35 35 2E 32 35 35 2E 30 22 7D D0 FB");
    // Missing fields give zero bytes; nothing is read beyond the fields
    // present, nor written beyond the sixth.
    QTest::newRow("three fields, lower case")
        << quint32(4) << QStringLiteral("00:1a:2b") << QByteArray()
        << hex("00 1A 2B 00 00 00 02 4E 51 00 00 01 54 41 00 00 00 01 04 00 00 00 1C 00 00 00 88 FA");
    QTest::newRow("a seventh field is ignored")
        << quint32(4) << QStringLiteral("00:1A:2B:3C:4D:5E:77") << QByteArray()
        << hex("00 1A 2B 3C 4D 5E 02 4E 51 00 00 01 54 41 00 00 00 01 04 00 00 00 1C 00 00 00 61 6C");
}

void TestCardFrame::build()
{
    QFETCH(quint32, command);
    QFETCH(QString, destination);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, expected);
    QCOMPARE(CardFrame::build(command, kSource, destination, payload).toHex(' '), expected.toHex(' '));
}

void TestCardFrame::buildLimitsPayload()
{
    const QByteArray largest(CardFrame::kMaxPayload, 'x');
    const QByteArray frame = CardFrame::build(2, kSource, QString(), largest);
    QCOMPARE(crc16Modbus(QByteArray("123456789")), quint16(0x4B37));
    QCOMPARE(frame.size(), 2048);
    QCOMPARE(qFromLittleEndian<quint32>(frame.constData() + 22), 2048u);
    QCOMPARE(qFromLittleEndian<quint16>(frame.constData() + 2046), crc16Modbus(frame.constData(), 2046));

    // One byte more is refused whole: never a frame whose length field
    // disagrees with the bytes sent, never a JSON text cut short.
    QVERIFY(CardFrame::build(2, kSource, QString(), QByteArray(CardFrame::kMaxPayload + 1, 'x')).isEmpty());
    CardFrame::Buffer buffer;
    QCOMPARE(CardFrame::build(buffer, 2, kSource, QString(), QByteArray(5000, 'x')), -1);
}

void TestCardFrame::hardwareAddressText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wellFormed");
    QTest::addColumn<bool>("unicast");
    auto row = [](const char* text, bool wellFormed, bool unicast) {
        QTest::newRow(text) << QString::fromLatin1(text) << wellFormed << unicast;
    };
    row("00:1A:2B:3C:4D:5E", true, true);
    row("0:1A:2B:3C:4D:5E", true, true);
    row("FF:FF:FF:FF:FF:FF", true, false);
    row("01:00:5E:00:00:64", true, false);
    for (const char* bad : { "", "00:1A:2B:3C:4D", "00:1A::3C:4D:5E", "00:1A:2B:3C:4D:5E0", "00:1A:2B:3C:4D:5G" })
        row(bad, false, false);
    // Found by fuzzing: the number conversion took these for digits.
    for (const char* bad : { " 0:1A:2B:3C:4D:5E", "00:+A:2B:3C:4D:5E", "00:1A:2B:3C:4D:5 " })
        row(bad, false, false);
}

void TestCardFrame::hardwareAddressText()
{
    QFETCH(QString, text);
    QFETCH(bool, wellFormed);
    QFETCH(bool, unicast);
    QCOMPARE(CardFrame::isHardwareAddressText(text), wellFormed);
    QCOMPARE(CardFrame::isUnicastHardwareAddressText(text), unicast);
    if (wellFormed)
        QCOMPARE(CardFrame::hardwareAddressText(CardFrame::hardwareAddressFromText(text).data()),
            text.toUpper().rightJustified(17, QLatin1Char('0')));
}

void TestCardFrame::receive_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("status");
    QTest::addColumn<quint32>("command");
    QTest::addColumn<QByteArray>("text");

    const QByteArray info(
        R"({"host":"10.0.0.5","product":"abc","intfInfo":[["eth0","10.0.0.5","255.0.0.0","00:1A:2B:3C:4D:5E"]]})");
    using R = CardFrame::Received;
    auto row = [](const char* tag, const QByteArray& frame, R::Status status, quint32 command, const char* text) {
        QTest::newRow(tag) << frame << int(status) << command << QByteArray(text);
    };
    const char* ok = R"({"result":true})";
    QTest::newRow("network information") << cardFrame(1, info) << int(R::Ok) << 1u << info;
    row("set-IP result", cardFrame(3, ok), R::Ok, 3, ok);
    row("reboot result", cardFrame(5, "{\"result\":false}"), R::Ok, 5, "{\"result\":false}");
    row("zero padding dropped", cardFrame(3, QByteArray(ok) + QByteArray(17, '\0')), R::Ok, 3, ok);
    row("text up to the last brace", cardFrame(1, "{\"a\":{}} }xx"), R::Ok, 1, "{\"a\":{}} }");
    row("brace as first payload byte", cardFrame(1, "}"), R::Ok, 1, "}");
    row("no brace", cardFrame(1, "{\"host\":\"10.0.0.5\""), R::NoText, 1, "");
    row("search request", cardFrame(0, "{}"), R::UnknownCode, 0, "");
    row("reboot request", cardFrame(4, "{}"), R::UnknownCode, 4, "");
    row("code 1 in high bytes", cardFrame(0x101, "{}"), R::UnknownCode, 0x101, "");
    row("checksum high byte first", cardFrame(3, ok, true), R::BadChecksum, 0, "");

    QByteArray corrupted = cardFrame(1, info), header = cardFrame(1, info);
    corrupted[30] = char(corrupted[30] ^ 0x01);
    header[0] = char(0x03);
    row("a payload bit flipped", corrupted, R::BadChecksum, 0, "");
    row("a header byte changed", header, R::BadChecksum, 0, "");
    // The checksum is taken from the end of the captured frame. Zero padding
    // behind it, as an adapter adds to a frame below the Ethernet minimum,
    // still checks out: the CRC over a message followed by its own CRC is
    // zero, and so is the CRC of that followed by zeros (any number of them).
    row("adapter padding behind the checksum", cardFrame(3, ok) + QByteArray(17, '\0'), R::Ok, 3, ok);
    row("a stray byte behind the checksum", cardFrame(3, ok) + "\x55", R::BadChecksum, 0, "");
    row("27 bytes", cardFrame(1, QByteArray()).left(27), R::TooShort, 0, "");
    // The length field is not used on receipt.
    QByteArray wrongLength = cardFrame(3, ok).chopped(2);
    wrongLength[22] = char(0x7F);
    const quint16 crc = crc16Modbus(wrongLength);
    row("length field disagrees", wrongLength.append(char(crc & 0xFF)).append(char(crc >> 8)), R::Ok, 3, ok);
}

void TestCardFrame::receive()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, status);
    QFETCH(quint32, command);
    QFETCH(QByteArray, text);
    const CardFrame::Received r = CardFrame::receive(frame);
    QCOMPARE(int(r.status), status);
    QCOMPARE(r.text, text);
    if (r.status != CardFrame::Received::TooShort && r.status != CardFrame::Received::BadChecksum)
        QCOMPARE(r.command, command);
}

void TestCardFrame::receiveNeverReadsBeyondFrame()
{
    // Every prefix of a valid reply, each in a buffer of exactly its size
    // (an address sanitizer build catches a read past it).
    const QByteArray whole = cardFrame(1, R"({"host":"10.0.0.5"})");
    for (int n = 0; n <= whole.size(); ++n) {
        const QByteArray prefix(whole.constData(), n); // a deep copy of n bytes
        const CardFrame::Received r = CardFrame::receive(prefix);
        QCOMPARE(r.status == CardFrame::Received::Ok, n == whole.size());
    }
}

QTEST_APPLESS_MAIN(TestCardFrame)
#include "tst_cardframe.moc"
