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

QByteArray frameWithData(int cmd, int dataSize)
{
    QByteArray data(dataSize, '\0');
    for (int i = 0; i < dataSize; ++i)
        data[i] = char(i * 7);
    return CommandFrame::build(cmd, data);
}

} // namespace

class TestFrames : public QObject {
    Q_OBJECT

private slots:
    void build_data();
    void build();
    void buildRefusesOversizedData();
    void assemble_data();
    void assemble();
    void assembleAcrossFeeds();
    void largestFrameCompletes();
    void oversizedFrameNeverCompletes();
    void crc16Modbus_data();
    void crc16Modbus();
    void crc16ModbusIsIncremental();
};

void TestFrames::build_data()
{
    QTest::addColumn<int>("cmd");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("reboot") << 2 << QByteArray() << hex("68 00 02 00 02 6C");
    QTest::newRow("console abc") << 18 << QByteArray("abc") << hex("68 00 05 00 12 61 62 63 A5");
    QTest::newRow("console ver") << 18 << QByteArray("ver") << hex("68 00 05 00 12 76 65 72 CC");
    QTest::newRow("console empty") << 18 << QByteArray() << hex("68 00 02 00 12 7C");
    QTest::newRow("read ports") << 16 << QByteArray() << hex("68 00 02 00 10 7A");
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

void TestFrames::assembleAcrossFeeds()
{
    const QByteArray frame = CommandFrame::build(257, hex("01"));
    FrameAssembler assembler;
    Collected got;
    assembler.feed(frame.constData(), 3, std::ref(got));
    QCOMPARE(assembler.held(), 3);
    QVERIFY(got.frames.isEmpty());
    assembler.feed(frame.constData() + 3, frame.size() - 3, std::ref(got));
    QCOMPARE(got.frames, QList<QByteArray> { frame });
}

void TestFrames::largestFrameCompletes()
{
    const QByteArray frame = frameWithData(10, CommandFrame::kMaxReceivedFrame - CommandFrame::kOverhead);
    QCOMPARE(frame.size(), 4096);
    FrameAssembler assembler;
    Collected got;
    assembler.feed(frame.constData(), frame.size(), std::ref(got));
    QCOMPARE(got.frames.size(), 1);
    QCOMPARE(got.frames.first(), frame);
}

void TestFrames::oversizedFrameNeverCompletes()
{
    const QByteArray big = frameWithData(10, CommandFrame::kMaxReceivedFrame - CommandFrame::kOverhead + 1);
    const QByteArray next = CommandFrame::build(19, QByteArray("after"));
    FrameAssembler assembler;
    Collected got;
    assembler.feed(big.constData(), big.size(), std::ref(got));
    QVERIFY(got.frames.isEmpty());
    // The buffer restarted after 4096 bytes; once that stray content is
    // discarded (the link's 100 ms timer does it), reassembly goes on.
    assembler.reset();
    assembler.feed(next.constData(), next.size(), std::ref(got));
    QCOMPARE(got.frames, QList<QByteArray> { next });
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

void TestFrames::crc16ModbusIsIncremental()
{
    const QByteArray all("123456789");
    QCOMPARE(::crc16Modbus(all.mid(4), ::crc16Modbus(all.left(4))), ::crc16Modbus(all));
}

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
