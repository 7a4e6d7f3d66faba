// The command frame and its reassembly, without sockets.

#include "link/commandframe.h"
#include "link/crc16.h"

#include <QtTest>

namespace {
const auto hx = [](const char* text) { return QByteArray::fromHex(text); };
}

class TestFrames : public QObject {
    Q_OBJECT

private slots:
    void build_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("reboot") << 2 << QByteArray() << hx("68 00 02 00 02 6C");
        QTest::newRow("console abc") << 18 << QByteArray("abc") << hx("68 00 05 00 12 61 62 63 A5");
        QTest::newRow("code above 255") << 257 << hx("00 01") << hx("68 00 04 01 01 00 01 6F");
        QTest::newRow("only low 16 bits of the code") << 0x10002 << QByteArray() << hx("68 00 02 00 02 6C");
        QTest::newRow("largest data") << 1 << QByteArray(CommandFrame::kMaxSentData, 'x') << QByteArray();
        QTest::newRow("data too large") << 1 << QByteArray(CommandFrame::kMaxSentData + 1, 'x') << QByteArray();
    }
    void build()
    {
        QFETCH(int, cmd);
        QFETCH(QByteArray, data);
        QFETCH(QByteArray, expected);
        const QByteArray got = CommandFrame::build(cmd, data);
        if (data.size() < CommandFrame::kMaxSentData)
            QCOMPARE(got.toHex(' '), expected.toHex(' '));
        else // refused beyond the largest
            QCOMPARE(got.size(), data.size() > CommandFrame::kMaxSentData ? 0 : data.size() + CommandFrame::kOverhead);
    }

    void assemble_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QList<QByteArray>>("expected");
        const QByteArray a = CommandFrame::build(16, hx("01 00 16")), b = CommandFrame::build(19, "OK");
        const QByteArray largest = CommandFrame::build(10, QByteArray(4090, 'L'));
        QByteArray badSum = a;
        badSum[badSum.size() - 1] = char(badSum.at(badSum.size() - 1) ^ 0x01);
        QTest::newRow("one frame") << a << QList<QByteArray> { a };
        QTest::newRow("two frames in one read") << a + b << QList<QByteArray> { a, b };
        QTest::newRow("bytes before the start byte") << hx("00 11 FF 22") + a << QList<QByteArray> { a };
        QTest::newRow("wrong checksum dropped, next dispatched") << badSum + b << QList<QByteArray> { b };
        QTest::newRow("no data") << hx("68 00 02 00 10 7A") << QList<QByteArray> { hx("68 00 02 00 10 7A") };
        QTest::newRow("4096-byte frame") << largest + b << QList<QByteArray> { largest, b };
        // Length 0 or 1 leaves no room for a command code.
        QTest::newRow("length 0 never dispatched") << hx("68 00 00 68") + b << QList<QByteArray> { b };
        QTest::newRow("length 1 never dispatched") << hx("68 00 01 05 6E") + b << QList<QByteArray> { b };
        // The bytes of a dropped frame are not rescanned for 0x68.
        QTest::newRow("dropped frame's bytes not rescanned")
            << hx("68 00 04 00 13 68 00 00") + b << QList<QByteArray> { b };
    }
    void assemble()
    {
        QFETCH(QByteArray, input);
        QFETCH(QList<QByteArray>, expected);
        FrameAssembler whole, single;
        QList<QByteArray> got, one; // the second fed byte by byte gives the same frames
        const auto into = [](QList<QByteArray>& list) {
            return
                [&list](const quint8* f, int size) { list.append(QByteArray(reinterpret_cast<const char*>(f), size)); };
        };
        whole.feed(input.constData(), input.size(), into(got));
        for (char c : input)
            single.feed(&c, 1, into(one));
        QCOMPARE(got, expected);
        QCOMPARE(one, expected);
        QVERIFY(whole.hunting());
    }

    void crc16Modbus_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("crc");
        QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
        QTest::newRow("no bytes") << QByteArray() << 0xFFFF;
        QTest::newRow("modbus read holding registers") << hx("01 03 00 00 00 0A") << 0xCDC5;
    }
    void crc16Modbus()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, crc);
        QCOMPARE(int(::crc16Modbus(bytes)), crc);
    }
};

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
