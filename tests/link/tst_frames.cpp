// The command frame and its reassembly, without sockets.

#include "link/commandframe.h"
#include "link/crc16.h"

#include <QtTest>

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

struct Collected {
    QList<QByteArray> frames;
    void operator()(const quint8* frame, int size)
    {
        frames.append(QByteArray(reinterpret_cast<const char*>(frame), size));
    }
};

} // namespace

class TestFrames : public QObject {
    Q_OBJECT

private slots:
    void build_data();
    void build();
    void buildRefusesOversizedData();
    void assemble_data();
    void assemble();
    void crc16Modbus_data();
    void crc16Modbus();
};

void TestFrames::build_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("reboot") << 2 << QByteArray() << hex("68 00 02 00 02 6C");
    QTest::newRow("console abc") << 18 << QByteArray("abc") << hex("68 00 05 00 12 61 62 63 A5");
    QTest::newRow("code above 255") << 257 << hex("00 01") << hex("68 00 04 01 01 00 01 6F");
    QTest::newRow("only low 16 bits of the code") << 0x10002 << QByteArray() << hex("68 00 02 00 02 6C");
}

void TestFrames::build()
{
    QFETCH(int, cmd);
    QFETCH(QByteArray, data);
    QFETCH(QByteArray, expected);
    QCOMPARE(CommandFrame::build(cmd, data).toHex(' '), expected.toHex(' '));
}

void TestFrames::buildRefusesOversizedData()
{
    QCOMPARE(CommandFrame::build(1, QByteArray(CommandFrame::kMaxSentData, 'x')).size(),
        CommandFrame::kMaxSentData + CommandFrame::kOverhead);
    QVERIFY(CommandFrame::build(1, QByteArray(CommandFrame::kMaxSentData + 1, 'x')).isEmpty());
}

void TestFrames::assemble_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QList<QByteArray>>("expected");
    const QByteArray a = CommandFrame::build(16, hex("01 00 16"));
    const QByteArray b = CommandFrame::build(19, QByteArray("OK"));
    QByteArray badSum = a;
    badSum[badSum.size() - 1] = char(badSum.at(badSum.size() - 1) ^ 0x01);

    QTest::newRow("one frame") << a << QList<QByteArray> { a };
    QTest::newRow("two frames in one read") << a + b << QList<QByteArray> { a, b };
    QTest::newRow("bytes before the start byte") << hex("00 11 FF 22") + a << QList<QByteArray> { a };
    QTest::newRow("wrong checksum dropped, next dispatched") << badSum + b << QList<QByteArray> { b };
    QTest::newRow("no data") << hex("68 00 02 00 10 7A") << QList<QByteArray> { hex("68 00 02 00 10 7A") };
    const QByteArray largest = CommandFrame::build(10, QByteArray(4090, 'L'));
    QTest::newRow("4096-byte frame") << largest + b << QList<QByteArray> { largest, b };
    // Length 0 or 1 leaves no room for a command code.
    QTest::newRow("length 0 never dispatched") << hex("68 00 00 68") + b << QList<QByteArray> { b };
    QTest::newRow("length 1 never dispatched") << hex("68 00 01 05 6E") + b << QList<QByteArray> { b };
    // The bytes of a dropped frame are not rescanned for 0x68.
    QTest::newRow("dropped frame's bytes not rescanned")
        << hex("68 00 04 00 13 68 00 00") + b << QList<QByteArray> { b };
}

void TestFrames::assemble()
{
    QFETCH(QByteArray, input);
    QFETCH(QList<QByteArray>, expected);
    FrameAssembler assembler;
    Collected got;
    assembler.feed(input.constData(), input.size(), std::ref(got));
    QCOMPARE(got.frames, expected);
    QVERIFY(assembler.hunting());

    // Byte by byte gives the same frames.
    FrameAssembler single;
    Collected one;
    for (char c : input)
        single.feed(&c, 1, std::ref(one));
    QCOMPARE(one.frames, expected);
}

void TestFrames::crc16Modbus_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("no bytes") << QByteArray() << 0xFFFF;
    QTest::newRow("modbus read holding registers") << hex("01 03 00 00 00 0A") << 0xCDC5;
}

void TestFrames::crc16Modbus()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    QCOMPARE(int(::crc16Modbus(bytes)), crc);
}

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
