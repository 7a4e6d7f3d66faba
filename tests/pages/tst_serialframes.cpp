// What the serial port test puts on the wire and into its record, without
// widgets: the open request, the three send encodings, the entry HTML.

#include "link/resultbyte.h"
#include "pages/serialframes.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

} // namespace

class TestSerialFrames : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void openRequest_data();
    void openRequest();
    void portNameIsCutAtACharacter_data();
    void portNameIsCutAtACharacter();
    void escapeEntry_data();
    void escapeEntry();
    void entryColour();
    void timeStampHasMilliseconds();
    void resultByte_data();
    void resultByte();
};

void TestSerialFrames::encode_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    using namespace SerialFrames;
    QTest::newRow("hex modbus request") << int(Hex) << "01 03 00 00 00 0A" << hex("01 03 00 00 00 0A");
    QTest::newRow("hex two spaces give an empty part") << int(Hex) << "01  02" << hex("01 00 02");
    QTest::newRow("hex trailing space") << int(Hex) << "01 " << hex("01 00");
    QTest::newRow("hex more than two digits: low 8 bits") << int(Hex) << "1FF" << hex("FF");
    QTest::newRow("hex far too many digits") << int(Hex) << "123456789abcdef0123" << hex("23");
    QTest::newRow("hex not hexadecimal") << int(Hex) << "zz" << hex("00");
    QTest::newRow("hex half hexadecimal") << int(Hex) << "1g" << hex("00");
    QTest::newRow("hex sign is not hexadecimal") << int(Hex) << "-1 +1" << hex("00 00");
    QTest::newRow("hex with 0x prefix") << int(Hex) << "0x1f 0XA" << hex("1F 0A");
    QTest::newRow("hex lower and upper case") << int(Hex) << "ab CD eF" << hex("AB CD EF");
    QTest::newRow("hex tab is not a separator") << int(Hex) << "01\t02" << hex("00");
    QTest::newRow("modbus read 10 registers") << int(Modbus) << "01 03 00 00 00 0A" << hex("01 03 00 00 00 0A C5 CD");
    QTest::newRow("modbus crc covers the bytes sent, not the text")
        << int(Modbus) << "1 3 0 0 0 a" << hex("01 03 00 00 00 0A C5 CD");
    QTest::newRow("ascii a<b") << int(Ascii) << "a<b" << hex("61 3C 62");
    QTest::newRow("ascii spaces kept") << int(Ascii) << " a  b " << QByteArray(" a  b ");
    QTest::newRow("ascii latin-1") << int(Ascii) << QStringLiteral("caf\u00e9") << hex("63 61 66 E9");
}

void TestSerialFrames::encode()
{
    QFETCH(int, type);
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(SerialFrames::encode(SerialFrames::SendType(type), text).toHex(' '), bytes.toHex(' '));
}

void TestSerialFrames::openRequest_data()
{
    QTest::addColumn<bool>("rs485");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<int>>("indexes"); // baud, data bits, flow control, parity, stop bits
    QTest::addColumn<QByteArray>("data");
    QTest::newRow("COM1, RS-485, defaults")
        << true << "COM1" << QList<int> { 3, 3, 0, 0, 0 } << hex("01 04 43 4F 4D 31 03 03 00 00 00");
    QTest::newRow("parity goes before flow control")
        << false << "A" << QList<int> { 0, 0, 1, 2, 1 } << hex("00 01 41 00 00 02 01 01");
    QTest::newRow("name in UTF-8") << false << QStringLiteral("\u00e9") << QList<int> { 3, 3, 0, 0, 0 }
                                   << hex("00 02 C3 A9 03 03 00 00 00");
}

void TestSerialFrames::openRequest()
{
    QFETCH(bool, rs485);
    QFETCH(QString, name);
    QFETCH(QList<int>, indexes);
    QFETCH(QByteArray, data);
    SerialFrames::PortSettings s;
    s.rs485 = rs485;
    s.portName = name;
    s.baudIndex = indexes.at(0);
    s.dataBitsIndex = indexes.at(1);
    s.flowControlIndex = indexes.at(2);
    s.parityIndex = indexes.at(3);
    s.stopBitsIndex = indexes.at(4);
    QCOMPARE(SerialFrames::openRequest(s).toHex(' '), data.toHex(' '));
}

void TestSerialFrames::portNameIsCutAtACharacter_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<bool>("fits");
    QTest::newRow("255 ASCII") << QString(255, QLatin1Char('a')) << 255 << true;
    QTest::newRow("256 ASCII") << QString(256, QLatin1Char('a')) << 255 << false;
    // 128 two-byte characters are 256 bytes: the last one does not fit whole.
    QTest::newRow("128 two-byte characters") << QString(128, QChar(0xe9)) << 254 << false;
    QTest::newRow("86 three-byte characters") << QString(86, QChar(0x4e2d)) << 255 << false;
    QTest::newRow("a four-byte character across the limit")
        << (QString(253, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F600")) << 253 << false;
}

void TestSerialFrames::portNameIsCutAtACharacter()
{
    QFETCH(QString, name);
    QFETCH(int, bytes);
    QFETCH(bool, fits);
    QCOMPARE(SerialFrames::portNameFits(name), fits);
    const QByteArray cut = SerialFrames::portNameBytes(name);
    QCOMPARE(cut.size(), bytes);
    QVERIFY(name.toUtf8().startsWith(cut));
    QCOMPARE(QString::fromUtf8(cut).toUtf8(), cut); // no broken character

    SerialFrames::PortSettings s;
    s.portName = name;
    const QByteArray request = SerialFrames::openRequest(s);
    QCOMPARE(int(quint8(request.at(1))), bytes);
    QCOMPARE(request.size(), 7 + bytes);
}

void TestSerialFrames::escapeEntry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("html");
    const auto row = [](const char* name, const char* text, const char* html) {
        QTest::newRow(name) << QString::fromLatin1(text) << QString::fromLatin1(html);
    };
    row("a<b", "a<b", "a&lt;b");
    row("tag", "<b>x</b>", "&lt;b&gt;x&lt;/b&gt;");
    row("ampersand first", "&lt;", "&amp;lt;");
    row("quotes", "\"'", "&quot;&#39;");
    row("spaces", "a  b", "a&nbsp;&nbsp;b");
    row("line feed", "Send: \nx", "Send:&nbsp;<br>x");
    row("carriage return and line feed", "x\r\ny", "x<br><br>y");
}

void TestSerialFrames::escapeEntry()
{
    QFETCH(QString, text);
    QFETCH(QString, html);
    QCOMPARE(SerialFrames::escapeEntry(text), html);
}

void TestSerialFrames::entryColour()
{
    // Two hex digits for every component, small ones too.
    QCOMPARE(SerialFrames::entryHtml(QStringLiteral("a<b"), 0, 10, 1), QStringLiteral("<font color=#000a01>a&lt;b"));
}

void TestSerialFrames::timeStampHasMilliseconds()
{
    const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 7, 3));
    QCOMPARE(SerialFrames::timeStamp(when), QStringLiteral("[2026-12-06 09:05:07.003] "));
}

void TestSerialFrames::resultByte_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<bool>("ok");
    QTest::newRow("no data byte") << QByteArray() << false;
    QTest::newRow("0") << hex("00") << false;
    QTest::newRow("1") << hex("01") << true;
    QTest::newRow("ff") << hex("FF") << true;
    QTest::newRow("0 then more") << hex("00 01") << false;
}

void TestSerialFrames::resultByte()
{
    QFETCH(QByteArray, data);
    QFETCH(bool, ok);
    QCOMPARE(ResultByte::succeeded(reinterpret_cast<const quint8*>(data.constData()), data.size()), ok);
}

QTEST_APPLESS_MAIN(TestSerialFrames)
#include "tst_serialframes.moc"
