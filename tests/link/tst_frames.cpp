// The command frame and its reassembly, and requests awaiting their replies,
// without sockets: the owner hands each reply in, as a page does. (Through a
// link, against a card, the command-line tool's tests run the requests.)

#include "link/cardrequests.h"
#include "link/commandframe.h"
#include "link/crc16.h"
#include "link/tablerows.h"

#include <QtTest>

namespace {
const char* const kOutcomes[] = { "waiting", "replied", "refused", "timed out", "connection lost" };
}

class TestFrames : public QObject {
    Q_OBJECT

private slots:
    void build_data()
    {
        QTest::addColumn<int>("cmd");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QByteArray>("expected");
        row("reboot", 2, QByteArray(), hx("68 00 02 00 02 6C"));
        row("console abc", 18, QByteArray("abc"), hx("68 00 05 00 12 61 62 63 A5"));
        row("code above 255", 257, hx("00 01"), hx("68 00 04 01 01 00 01 6F"));
        row("only low 16 bits of the code", 0x10002, QByteArray(), hx("68 00 02 00 02 6C"));
        row("largest data", 1, QByteArray(CommandFrame::kMaxSentData, 'x'), QByteArray());
        row("data too large", 1, QByteArray(CommandFrame::kMaxSentData + 1, 'x'), QByteArray());
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
        row("one frame", a, QList<QByteArray> { a });
        row("two frames in one read", a + b, QList<QByteArray> { a, b });
        row("bytes before the start byte", hx("00 11 FF 22") + a, QList<QByteArray> { a });
        row("wrong checksum dropped, next dispatched", badSum + b, QList<QByteArray> { b });
        row("no data", hx("68 00 02 00 10 7A"), QList<QByteArray> { hx("68 00 02 00 10 7A") });
        row("4096-byte frame", largest + b, QList<QByteArray> { largest, b });
        // Length 0 or 1 leaves no room for a command code.
        row("length 0 never dispatched", hx("68 00 00 68") + b, QList<QByteArray> { b });
        row("length 1 never dispatched", hx("68 00 01 05 6E") + b, QList<QByteArray> { b });
        // The bytes of a dropped frame are not rescanned for 0x68.
        row("dropped frame's bytes not rescanned", hx("68 00 04 00 13 68 00 00") + b, QList<QByteArray> { b });
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
        row("check string", QByteArray("123456789"), 0x4B37);
        row("no bytes", QByteArray(), 0xFFFF);
        row("modbus read holding registers", hx("01 03 00 00 00 0A"), 0xCDC5);
    }
    void crc16Modbus()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, crc);
        QCOMPARE(int(::crc16Modbus(bytes)), crc);
    }

    void repliesFinishTheirRequests_data()
    {
        QTest::addColumn<QString>("awaited"); // the reply codes awaited, in order
        QTest::addColumn<QString>("handed"); // replies handed in: "code:hex data"
        QTest::addColumn<QString>("taken"); // what take() said for each
        QTest::addColumn<QString>("finished"); // "request outcome data", in the order they finished
        row("result byte: done", "17", "17:01", "1", "0 replied 01");
        row("result byte: refused", "17", "17:00", "1", "0 refused 00");
        row("result reply without its byte is a refusal", "9", "9:", "1", "0 refused ");
        row("data reply beginning with 0 is no refusal", "16", "16:000016", "1", "0 replied 000016");
        row("a reply nobody awaits", "", "9:01", "0", "");
        row("another code's reply answers nothing", "9", "8:01", "0", "");
        row("the oldest request of a code first", "9 11 9", "9:01 9:00 11:01 9:01", "1110",
            "0 replied 01|2 refused 00|1 replied 01");
    }
    void repliesFinishTheirRequests()
    {
        QFETCH(QString, awaited);
        QFETCH(QString, handed);
        QFETCH(QString, taken);
        QFETCH(QString, finished);
        CardRequests requests;
        QStringList seen;
        const QStringList codes = awaited.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (int i = 0; i < codes.size(); ++i) {
            CardReply* reply = requests.expect(codes[i].toInt());
            connect(reply, &CardReply::finished, this, [&seen, reply, i] {
                seen << QStringLiteral("%1 %2 %3")
                            .arg(i)
                            .arg(QLatin1String(kOutcomes[reply->outcome()]), reply->frames().value(0).toHex());
            });
        }
        QString said;
        for (const QString& reply : handed.split(QLatin1Char(' '))) {
            const QByteArray data = QByteArray::fromHex(reply.section(QLatin1Char(':'), 1).toLatin1());
            said += requests.take(reply.section(QLatin1Char(':'), 0, 0).toInt(),
                        reinterpret_cast<const quint8*>(data.constData()), data.size())
                ? '1'
                : '0';
        }
        QCOMPARE(said, taken);
        QCOMPARE(seen.join(QLatin1Char('|')), finished);
    }

    void timedOutOrForgotten()
    {
        CardRequests requests;
        requests.setTimeout(20);
        CardReply* late = requests.expect(9);
        auto outcome = CardReply::Waiting;
        connect(late, &CardReply::finished, this, [&outcome, late] { outcome = late->outcome(); });
        QTRY_COMPARE(outcome, CardReply::TimedOut);
        const quint8 yes = 1;
        QVERIFY(!requests.take(9, &yes, 1));

        // Forgotten requests finish never, and take no reply.
        requests.setTimeout(0);
        QSignalSpy log(requests.expect(9), &CardReply::finished);
        QSignalSpy serial(requests.expect(11), &CardReply::finished);
        requests.forget(11);
        QVERIFY(!requests.take(11, &yes, 1));
        requests.forget();
        QVERIFY(!requests.take(9, &yes, 1));
        QTest::qWait(40);
        QVERIFY(log.isEmpty() && serial.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
