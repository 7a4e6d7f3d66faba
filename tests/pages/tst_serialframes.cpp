// What the serial port test puts on the wire and into its record, without
// widgets: the open request, the three send encodings, the entry HTML.

#include "link/resultbyte.h"
#include "pages/serialframes.h"

#include <QtTest>

namespace {
const auto hx = [](const char* text) { return QByteArray::fromHex(text); };
}

class TestSerialFrames : public QObject {
    Q_OBJECT

private slots:
    void encode_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        using namespace SerialFrames;
        QTest::newRow("hex modbus request") << int(Hex) << "01 03 00 00 00 0A" << hx("01 03 00 00 00 0A");
        QTest::newRow("hex two spaces give an empty part") << int(Hex) << "01  02" << hx("01 00 02");
        QTest::newRow("hex trailing space") << int(Hex) << "01 " << hx("01 00");
        QTest::newRow("hex more than two digits: low 8 bits") << int(Hex) << "1FF" << hx("FF");
        QTest::newRow("hex far too many digits") << int(Hex) << "123456789abcdef0123" << hx("23");
        QTest::newRow("hex not hexadecimal") << int(Hex) << "zz" << hx("00");
        QTest::newRow("hex half hexadecimal") << int(Hex) << "1g" << hx("00");
        QTest::newRow("hex sign is not hexadecimal") << int(Hex) << "-1 +1" << hx("00 00");
        QTest::newRow("hex with 0x prefix") << int(Hex) << "0x1f 0XA" << hx("1F 0A");
        QTest::newRow("hex lower and upper case") << int(Hex) << "ab CD eF" << hx("AB CD EF");
        QTest::newRow("hex tab is not a separator") << int(Hex) << "01\t02" << hx("00");
        QTest::newRow("modbus read 10 registers")
            << int(Modbus) << "01 03 00 00 00 0A" << hx("01 03 00 00 00 0A C5 CD");
        QTest::newRow("modbus crc covers the bytes sent, not the text")
            << int(Modbus) << "1 3 0 0 0 a" << hx("01 03 00 00 00 0A C5 CD");
        QTest::newRow("ascii a<b") << int(Ascii) << "a<b" << hx("61 3C 62");
        QTest::newRow("ascii spaces kept") << int(Ascii) << " a  b " << QByteArray(" a  b ");
        QTest::newRow("ascii latin-1") << int(Ascii) << QStringLiteral("caf\u00e9") << hx("63 61 66 E9");
    }
    void encode()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(SerialFrames::encode(SerialFrames::SendType(type), text).toHex(' '), bytes.toHex(' '));
    }

    // The name's length byte counts what is left of it once cut at a whole
    // character within 255 bytes.
    void openRequest_data()
    {
        QTest::addColumn<bool>("rs485");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("indexes"); // baud, data bits, flow control, parity, stop bits
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("fits");
        const QList<int> defaults { 3, 3, 0, 0, 0 };
        const QByteArray tail = hx("03 03 00 00 00");
        QTest::newRow("COM1, RS-485, defaults") << true << "COM1" << defaults << hx("01 04 43 4F 4D 31") + tail << true;
        QTest::newRow("parity goes before flow control")
            << false << "A" << QList<int> { 0, 0, 1, 2, 1 } << hx("00 01 41 00 00 02 01 01") << true;
        QTest::newRow("name in UTF-8") << false << QStringLiteral("\u00e9") << defaults << hx("00 02 C3 A9") + tail
                                       << true;
        const auto cut = [&](const char* name, const QString& port, int bytes, bool fits) {
            QTest::newRow(name) << false << port << defaults
                                << hx("00") + char(bytes) + port.toUtf8().left(bytes) + tail << fits;
        };
        cut("255 ASCII", QString(255, QLatin1Char('a')), 255, true);
        cut("256 ASCII", QString(256, QLatin1Char('a')), 255, false);
        // 128 two-byte characters are 256 bytes: the last one does not fit whole.
        cut("128 two-byte characters", QString(128, QChar(0xe9)), 254, false);
        cut("86 three-byte characters", QString(86, QChar(0x4e2d)), 255, false);
        cut("a four-byte character across the limit", QString(253, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F600"),
            253, false);
    }
    void openRequest()
    {
        QFETCH(bool, rs485);
        QFETCH(QString, name);
        QFETCH(QList<int>, indexes);
        QFETCH(QByteArray, data);
        QFETCH(bool, fits);
        SerialFrames::PortSettings s;
        s.rs485 = rs485;
        s.portName = name;
        s.baudIndex = indexes.at(0);
        s.dataBitsIndex = indexes.at(1);
        s.flowControlIndex = indexes.at(2);
        s.parityIndex = indexes.at(3);
        s.stopBitsIndex = indexes.at(4);
        QCOMPARE(SerialFrames::openRequest(s).toHex(' '), data.toHex(' '));
        QCOMPARE(SerialFrames::portNameFits(name), fits);
        QCOMPARE(SerialFrames::portNameBytes(name), data.mid(2, quint8(data.at(1))));
    }

    void escapeEntry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        const auto row = [](const char* name, auto... v) { (QTest::newRow(name) << ... << QString(v)); };
        row("a<b", "a<b", "a&lt;b");
        row("tag", "<b>x</b>", "&lt;b&gt;x&lt;/b&gt;");
        row("ampersand first", "&lt;", "&amp;lt;");
        row("quotes", "\"'", "&quot;&#39;");
        row("spaces", "a  b", "a&nbsp;&nbsp;b");
        row("line feed", "Send: \nx", "Send:&nbsp;<br>x");
        row("carriage return and line feed", "x\r\ny", "x<br><br>y");
    }
    void escapeEntry()
    {
        QFETCH(QString, text);
        QFETCH(QString, html);
        QCOMPARE(SerialFrames::escapeEntry(text), html);
    }

    void entryColourAndTimeStamp()
    {
        // Two hex digits for every component, small ones too.
        QCOMPARE(
            SerialFrames::entryHtml(QStringLiteral("a<b"), 0, 10, 1), QStringLiteral("<font color=#000a01>a&lt;b"));
        const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 7, 3));
        QCOMPARE(SerialFrames::timeStamp(when), QStringLiteral("[2026-12-06 09:05:07.003] "));
    }

    void resultByte_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("ok");
        QTest::newRow("no data byte") << QByteArray() << false;
        QTest::newRow("0") << hx("00") << false;
        QTest::newRow("1") << hx("01") << true;
        QTest::newRow("ff") << hx("FF") << true;
        QTest::newRow("0 then more") << hx("00 01") << false;
    }
    void resultByte()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, ok);
        QCOMPARE(ResultByte::succeeded(reinterpret_cast<const quint8*>(data.constData()), data.size()), ok);
    }
};

QTEST_APPLESS_MAIN(TestSerialFrames)
#include "tst_serialframes.moc"
