// The bytes the tool puts on the wire and into files, without sockets or windows: the command frame and its
// reassembly, requests awaiting their replies (the owner hands each reply in, as a page does), and what the pages send
// and keep: the fixed parameters (reply, write object, MAC completion, parameter file on real files), the port records
// and date, the serial port's frames and record, the log list and the console's answer.

#include "link/cardrequests.h"
#include "link/commandframe.h"
#include "link/crc16.h"
#include "link/resultbyte.h"
#include "pages/consoletext.h"
#include "pages/devicedate.h"
#include "pages/fixedparams.h"
#include "pages/loglist.h"
#include "pages/portrecords.h"
#include "pages/serialframes.h"
#include "support/tablerows.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using FixedParams::Row;
using P = FixedParams::WritePlan;
Q_DECLARE_METATYPE(P::Outcome)

namespace {

// "k=v|k2=v2": rows in order; "k=" an empty value; "~" a row lacking a cell.
QVector<Row> rows(const QString& text)
{
    QVector<Row> result;
    for (const QString& part : text.split(QLatin1Char('|'), Qt::SkipEmptyParts))
        result.append(part == QLatin1String("~")
                ? Row { QString(), QString(), false }
                : Row { part.section(QLatin1Char('='), 0, 0), part.section(QLatin1Char('='), 1), true });
    return result;
}
QString joined(const QVector<Row>& list)
{
    QStringList parts;
    for (const Row& row : list)
        parts.append(row.key + QLatin1Char('=') + row.value);
    return parts.join(QLatin1Char('|'));
}
QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
const auto entries = [](const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
};

// "on:22 off:23 on:80 off:443" as a port table, and back.
PortRecords::Table table(const QString& text)
{
    PortRecords::Table t;
    for (int i = 0; i < PortRecords::kServiceCount; ++i) {
        const QString part = text.section(QLatin1Char(' '), i, i);
        t[size_t(i)] = { part.startsWith(QLatin1String("on:")), part.section(QLatin1Char(':'), 1).toInt() };
    }
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
const auto exact = [](const QByteArray& wire) { return std::vector<quint8>(wire.begin(), wire.end()); };

const auto entry = [](const QByteArray& name) { return char(name.size()) + name; };
const char* const kOutcomes[] = { "waiting", "replied", "refused", "timed out", "connection lost" };

} // namespace

class TestWireData : public QObject {
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
            return [&list](const quint8* f, int size) { list << QByteArray(reinterpret_cast<const char*>(f), size); };
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
            said += QString::number(
                requests.take(reply.section(QLatin1Char(':'), 0, 0).toInt(), bytes(data), data.size()));
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

    void paramsReadReply_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("rows"); // null: refused
        row("sorted by key", QByteArray(R"({"name":"NMC","ethaddr":"02:00:00:00:00:01","devserial":"7"})"),
            "devserial=7|ethaddr=02:00:00:00:00:01|name=NMC");
        row("number shows empty", QByteArray(R"({"name":"x","count":5})"), "count=|name=x");
        row("null, bool, object", QByteArray(R"({"a":null,"b":true,"c":{"d":"e"}})"), "a=|b=|c=");
        row("empty object", QByteArray("{}"), "");
        row("array", QByteArray(R"(["name","x"])"), QString());
        row("null document", QByteArray("null"), QString());
        row("cut off", QByteArray(R"({"name":"x")"), QString());
        row("empty", QByteArray(), QString());
        // Found by fuzzing: Qt's parser leaks the first of two objects under one name.
        row("a member named twice", QByteArray(R"({"name":{"a":"b"},"name":"x"})"), QString());
        // Found by fuzzing: Qt folds member names that differ only behind zero
        // characters into one.
        const QByteArray zeros(8, '\0');
        row("zero characters in names",
            QByteArray("{\"ame\":\"NMC\",\"" + zeros + "\0\0\0alno\":\"1\",\"" + zeros + "hwver\":\"3\"}"), QString());
        row("escaped zero character", QByteArray(R"({"a\u0000b":"1"})"), QString());
        row("zero character in a value", QByteArray(R"({"a":"1\u00002"})"), QString("a=1" + QString(QChar(0)) + "2"));
    }
    void paramsReadReply()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, rows);
        QVector<Row> got = ::rows(QStringLiteral("kept=1"));
        QCOMPARE(FixedParams::parseReadReply(json, &got), !rows.isNull());
        QCOMPARE(joined(got), rows.isNull() ? QStringLiteral("kept=1") : rows);
    }

    void macCompletion_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("shown");
        row("bare MAC", "ethaddr", "001a2b3c4d5e", "00:1a:2b:3c:4d:5e");
        row("upper case", "ethaddr", "001A2B3C4D5E", "00:1A:2B:3C:4D:5E");
        row("characters not checked", "ethaddr", "zzzzzzzzzzzz", "zz:zz:zz:zz:zz:zz");
        row("11 characters", "ethaddr", "001a2b3c4d5", "001a2b3c4d5");
        row("13 characters", "ethaddr", "001a2b3c4d5e6", "001a2b3c4d5e6");
        row("12 with a colon", "ethaddr", "001a2b3c4d:e", "001a2b3c4d:e");
        row("key in other case", "Ethaddr", "001a2b3c4d5e", "001a2b3c4d5e");
        row("key with a space", "ethaddr ", "001a2b3c4d5e", "001a2b3c4d5e");
    }
    void macCompletion()
    {
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, shown);
        QCOMPARE(FixedParams::completedValue(key, value), shown);
        // The completed text changes the cell again; that pass must leave it.
        QCOMPARE(FixedParams::completedValue(key, shown), shown);
    }

    void planWrite_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<P::Outcome>("outcome");
        QTest::addColumn<QByteArray>("json");
        row("compact and sorted", "name=A|ethaddr=00:11:22:33:44:55|devserial=S1", P::Send,
            QByteArray(R"({"devserial":"S1","ethaddr":"00:11:22:33:44:55","name":"A"})"));
        row("lower-case MAC", "ethaddr=0a:bb:cc:dd:ee:ff", P::Send, QByteArray(R"({"ethaddr":"0a:bb:cc:dd:ee:ff"})"));
        row("later duplicate wins", "name=first|name=second", P::Send, QByteArray(R"({"name":"second"})"));
        row("empty value asks", "name=A|devserial=", P::AskAboutEmpty, QByteArray(R"({"name":"A"})"));
        row("empty key asks", "name=A|=orphan", P::AskAboutEmpty, QByteArray(R"({"name":"A"})"));
        row("row without cells is skipped", "name=A|~", P::Send, QByteArray(R"({"name":"A"})"));
        row("five groups", "ethaddr=00:11:22:33:44", P::Invalid, QByteArray());
        row("MAC with trailing text", "ethaddr=00:11:22:33:44:55x", P::Invalid, QByteArray());
        row("empty MAC", "name=A|ethaddr=", P::Invalid, QByteArray());
        row("other-case key not checked", "Ethaddr=xyz", P::Send, QByteArray(R"({"Ethaddr":"xyz"})"));
        row("nothing complete", "name=|=x", P::Invalid, QByteArray());
        // Found by fuzzing: a name with a zero character in it cannot be sent.
        row("zero character in a key", QString("name=A|ser" + QString(QChar(0)) + "o=1"), P::Invalid, QByteArray());
    }
    void planWrite()
    {
        QFETCH(QString, rows);
        QFETCH(P::Outcome, outcome);
        QFETCH(QByteArray, json);
        const P plan = FixedParams::planWrite(::rows(rows));
        QCOMPARE(plan.outcome, outcome);
        if (outcome != P::Invalid)
            QCOMPARE(plan.json, json);
    }

    void paramsFileRoundTrip()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("card.ini"));
        QVERIFY(FixedParams::saveFile(path,
            rows(QString::fromUtf8("name=NMC 7; x=y|devserial=|ethaddr=00:1A:2B:3C:4D:5E|=lost|a/b=c,d|"
                                   "@at=@Variant(1)|z=M\xc3\xbcnchen"))));
        QVERIFY(readAll(path).startsWith("[fixed_param]"));
        // Only the draft's final rename touched the folder: no lock or temporary file is left.
        QCOMPARE(entries(dir), QStringList { QStringLiteral("card.ini") });
        QVector<Row> loaded;
        QVERIFY(FixedParams::loadFile(path, &loaded));
        QCOMPARE(joined(loaded),
            QString::fromUtf8("@at=@Variant(1)|a/b=c,d|ethaddr=00:1A:2B:3C:4D:5E|name=NMC 7; x=y|z=M\xc3\xbcnchen"));
        // Saving again replaces the group and keeps the other groups.
        QVERIFY(writeAll(path, "[other]\nkeep=1\n\n[fixed_param]\nstale=old\nname=old\n"));
        QVERIFY(FixedParams::saveFile(path, rows(QStringLiteral("name=new"))));
        QVERIFY(FixedParams::loadFile(path, &loaded));
        QCOMPARE(joined(loaded), QStringLiteral("name=new"));
        QVERIFY(readAll(path).contains("[other]\nkeep=1"));
    }

    // A failed save leaves the folder and the old file as they were. Keys with
    // stray slashes were found by fuzzing: the INI format folds the slashes of
    // a key, so "/name" was saved and loaded back as "name", a parameter the
    // card never had.
    void failedSaveLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("target"); // relative to the temporary folder
        QTest::addColumn<QString>("rows");
        row("a folder", "folder", "name=new");
        row("inside a missing folder", "missing/card.ini", "name=new");
        row("below a plain file", "plain.ini/card.ini", "name=new");
        row("leading slash", "plain.ini", "name=x|/name=y");
        row("trailing slash", "plain.ini", "name/=y");
        row("doubled slash", "plain.ini", "a//b=y");
        row("two keys, one after folding", "plain.ini", "a/b=x|a//b=y");
        row("only a slash", "plain.ini", "/=y");
    }
    void failedSaveLeavesNothingBehind()
    {
        QFETCH(QString, target);
        QFETCH(QString, rows);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        QVERIFY(writeAll(dir.filePath(QStringLiteral("plain.ini")), "[fixed_param]\nname=old\n"));
        const QStringList before = entries(dir);
        QString error;
        QVERIFY(!FixedParams::saveFile(dir.filePath(target), ::rows(rows), &error));
        QVERIFY(!error.isEmpty());
        QCOMPARE(entries(dir), before);
        QVERIFY(QDir(dir.filePath(QStringLiteral("folder"))).isEmpty());
        QCOMPARE(readAll(dir.filePath(QStringLiteral("plain.ini"))), QByteArray("[fixed_param]\nname=old\n"));
    }

    void paramsLoadFile_data()
    {
        QTest::addColumn<QByteArray>("content"); // "<dir>": a folder; "<none>": no file
        QTest::addColumn<QString>("rows"); // null: refused
        row("keys outside the group ignored", QByteArray("name=top\n[fixed_param]\nname=in\n[x]\nname=other\n"),
            "name=in");
        row("hand-written list value", QByteArray("[fixed_param]\nname=a,b\n"), "name=a,b");
        row("a folder", QByteArray("<dir>"), QString());
        row("no such file", QByteArray("<none>"), QString());
    }
    void paramsLoadFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, rows);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("in.ini"));
        if (content == "<dir>")
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("in.ini")));
        else if (content != "<none>")
            QVERIFY(writeAll(path, content));
        QVector<Row> got = ::rows(QStringLiteral("kept=1"));
        QCOMPARE(FixedParams::loadFile(path, &got), !rows.isNull());
        QCOMPARE(joined(got), rows.isNull() ? QStringLiteral("kept=1") : rows);
    }

    void portsEncode_data()
    {
        QTest::addColumn<QString>("rows");
        QTest::addColumn<QByteArray>("wire"); // empty: refused
        row("SSH on 22 .. HTTPS off on 443", "on:22 on:23 on:80 off:443", hx("010016 010017 010050 0001BB"));
        row("limits 1 and 65534", "off:1 on:65534 off:256 on:255", hx("000001 01FFFE 000100 0100FF"));
        row("negative", "on:22 on:-22 on:80 on:443", QByteArray());
        row("beyond 16 bits", "on:65558 on:23 on:80 on:443", QByteArray());
    }
    void portsEncode()
    {
        QFETCH(QString, rows);
        QFETCH(QByteArray, wire);
        QCOMPARE(PortRecords::encode(table(rows)).toHex(' '), wire.toHex(' '));
    }

    void portsDecode_data()
    {
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("rows"); // "on:7 on:7 on:7 on:7": refused, the table untouched
        row("enable byte 2 and FF", hx("020016 FF0017 800050 0101BB"), "on:22 on:23 on:80 on:443");
        row("ports FF FE and 00 00 and FF FF", hx("01FFFE 010000 01FFFF 000001"), "on:65534 on:0 on:65535 off:1");
        row("13 bytes", hx("010016 010017 010050 0101BB 00"), "on:7 on:7 on:7 on:7");
        row("empty", QByteArray(), "on:7 on:7 on:7 on:7");
    }
    void portsDecode()
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
        row("22", "22", 22);
        row("empty", "", 0);
        row("letters", "ssh", 0);
        row("leading zero is decimal", "022", 22);
        row("huge", "99999999999", 0);
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
        row("19 bytes", QByteArray("2026-12-06 10:11:12"), "2026-12-06 10:11:12");
        row("18 bytes", QByteArray("2026-12-06 10:11:1"), QString());
        row("empty", QByteArray(), QString());
    }
    void dateReply()
    {
        QFETCH(QByteArray, wire);
        QFETCH(QString, text);
        auto data = exact(wire);
        const QString got = DeviceDate::fromReply(data.data(), int(data.size()));
        QCOMPARE(got.isNull(), text.isNull());
        QCOMPARE(got, text);
        QCOMPARE(DeviceDate::syncData(QDateTime(QDate(2027, 1, 2), QTime(3, 4, 5), Qt::LocalTime)),
            QByteArray("2027-01-02 03:04:05"));
    }

    void serialEncode_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("bytes");
        using namespace SerialFrames;
        row("hex modbus request", int(Hex), "01 03 00 00 00 0A", hx("01 03 00 00 00 0A"));
        row("hex two spaces give an empty part", int(Hex), "01  02", hx("01 00 02"));
        row("hex trailing space", int(Hex), "01 ", hx("01 00"));
        row("hex more than two digits: low 8 bits", int(Hex), "1FF", hx("FF"));
        row("hex far too many digits", int(Hex), "123456789abcdef0123", hx("23"));
        row("hex not hexadecimal", int(Hex), "zz", hx("00"));
        row("hex half hexadecimal", int(Hex), "1g", hx("00"));
        row("hex sign is not hexadecimal", int(Hex), "-1 +1", hx("00 00"));
        row("hex with 0x prefix", int(Hex), "0x1f 0XA", hx("1F 0A"));
        row("hex lower and upper case", int(Hex), "ab CD eF", hx("AB CD EF"));
        row("hex tab is not a separator", int(Hex), "01\t02", hx("00"));
        row("modbus read 10 registers", int(Modbus), "01 03 00 00 00 0A", hx("01 03 00 00 00 0A C5 CD"));
        row("modbus crc covers the bytes sent, not the text", int(Modbus), "1 3 0 0 0 a",
            hx("01 03 00 00 00 0A C5 CD"));
        row("ascii a<b", int(Ascii), "a<b", hx("61 3C 62"));
        row("ascii spaces kept", int(Ascii), " a  b ", QByteArray(" a  b "));
        row("ascii latin-1", int(Ascii), QStringLiteral("caf\u00e9"), hx("63 61 66 E9"));
    }
    void serialEncode()
    {
        QFETCH(int, type);
        QFETCH(QString, text);
        QFETCH(QByteArray, bytes);
        QCOMPARE(SerialFrames::encode(SerialFrames::SendType(type), text).toHex(' '), bytes.toHex(' '));
    }

    // The name's length byte counts what is left of it once cut at a whole
    // character within 255 bytes.
    void serialOpenRequest_data()
    {
        QTest::addColumn<bool>("rs485");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QList<int>>("indexes"); // baud, data bits, flow control, parity, stop bits
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("fits");
        const QList<int> defaults { 3, 3, 0, 0, 0 };
        const QByteArray tail = hx("03 03 00 00 00");
        row("COM1, RS-485, defaults", true, QString("COM1"), defaults, hx("01 04 43 4F 4D 31") + tail, true);
        row("parity goes before flow control", false, QString("A"), QList<int> { 0, 0, 1, 2, 1 },
            hx("00 01 41 00 00 02 01 01"), true);
        row("name in UTF-8", false, QStringLiteral("\u00e9"), defaults, hx("00 02 C3 A9") + tail, true);
        const auto cut = [&](const char* name, const QString& port, int bytes, bool fits) {
            row(name, false, port, defaults, hx("00") + char(bytes) + port.toUtf8().left(bytes) + tail, fits);
        };
        cut("255 ASCII", QString(255, QLatin1Char('a')), 255, true);
        cut("256 ASCII", QString(256, QLatin1Char('a')), 255, false);
        // 128 two-byte characters are 256 bytes: the last one does not fit whole.
        cut("128 two-byte characters", QString(128, QChar(0xe9)), 254, false);
        cut("86 three-byte characters", QString(86, QChar(0x4e2d)), 255, false);
        cut("a four-byte character across the limit", QString(253, QLatin1Char('a')) + QString::fromUcs4(U"\U0001F600"),
            253, false);
    }
    void serialOpenRequest()
    {
        QFETCH(bool, rs485);
        QFETCH(QString, name);
        QFETCH(QList<int>, indexes);
        QFETCH(QByteArray, data);
        QFETCH(bool, fits);
        const SerialFrames::PortSettings s { rs485, name, indexes.at(0), indexes.at(1), indexes.at(2), indexes.at(3),
            indexes.at(4) };
        QCOMPARE(SerialFrames::openRequest(s).toHex(' '), data.toHex(' '));
        QCOMPARE(SerialFrames::portNameFits(name), fits);
        QCOMPARE(SerialFrames::portNameBytes(name), data.mid(2, quint8(data.at(1))));
    }

    void serialEntry_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("html");
        row("a<b", "a<b", "a&lt;b");
        row("tag", "<b>x</b>", "&lt;b&gt;x&lt;/b&gt;");
        row("ampersand first", "&lt;", "&amp;lt;");
        row("quotes", "\"'", "&quot;&#39;");
        row("spaces", "a  b", "a&nbsp;&nbsp;b");
        row("line feed", "Send: \nx", "Send:&nbsp;<br>x");
        row("carriage return and line feed", "x\r\ny", "x<br><br>y");
    }
    void serialEntry()
    {
        QFETCH(QString, text);
        QFETCH(QString, html);
        QCOMPARE(SerialFrames::escapeEntry(text), html);
        // Two hex digits for every colour component, small ones too.
        QCOMPARE(SerialFrames::entryHtml(text, 0, 10, 1), QStringLiteral("<font color=#000a01>") + html);
        QCOMPARE(SerialFrames::timeStamp(QDateTime(QDate(2026, 12, 6), QTime(9, 5, 7, 3))),
            QStringLiteral("[2026-12-06 09:05:07.003] "));
    }

    void resultByte_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("ok");
        row("no data byte", QByteArray(), false);
        row("0", hx("00"), false);
        row("1", hx("01"), true);
        row("ff", hx("FF"), true);
        row("0 then more", hx("00 01"), false);
    }
    void resultByte()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, ok);
        QCOMPARE(ResultByte::succeeded(bytes(data), data.size()), ok);
    }

    void logList_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("shown"); // "name|name longest", then " cut" if truncated
        row("empty", QByteArray(), " 0");
        row("five then three letters", entry("alpha") + entry("sys"), "alpha|sys 5");
        row("repeats are kept in order", entry("a.log") + entry("b.log") + entry("a.log"), "a.log|b.log|a.log 5");
        row("zero-length name", QByteArray(1, '\0') + entry("abc"), "|abc 3");
        row("UTF-8 name, length in bytes", entry("\xe6\x97\xa5\xe5\xbf\x97.log"),
            QStringLiteral("\u65e5\u5fd7.log 10"));
        row("255-byte name", entry(QByteArray(255, 'n')), QString(255, QLatin1Char('n')) + " 255");
        row("only entry runs past the end", QByteArray("\5ab"), " 0 cut");
        row("length byte alone at the end", entry("abc") + '\1', "abc 3 cut");
    }
    void logList()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, shown);
        const LogList::Entries e = LogList::parse(data);
        QCOMPARE(
            QStringLiteral("%1 %2%3").arg(e.names.join(QLatin1Char('|'))).arg(e.longest).arg(e.truncated ? " cut" : ""),
            shown);
    }

    void logListNeverReadsPastTheData()
    {
        // A buffer whose tail would complete the entry is handed over without it.
        const QByteArray buffer = entry("abc") + entry("defgh");
        const LogList::Entries e = LogList::parse(bytes(buffer), buffer.size() - 1);
        QCOMPARE(e.names, QStringList { "abc" });
        QVERIFY(e.truncated);
        QCOMPARE(LogList::parse(nullptr, 10).names, QStringList());
        QCOMPARE(LogList::parse(bytes(buffer), -1).names, QStringList());
        // What is built is read back; a name beyond 255 bytes is cut.
        const QStringList names { "system.log", QStringLiteral("\u65e5\u5fd7"), QString(300, QLatin1Char('x')) };
        const LogList::Entries back = LogList::parse(LogList::build(names));
        QCOMPARE(back.names, (QStringList { names.at(0), names.at(1), QString(255, QLatin1Char('x')) }));
        QCOMPARE(back.longest, 255);
    }

    void logChoiceWidth_data()
    {
        QTest::addColumn<qreal>("points");
        QTest::addColumn<int>("longest");
        QTest::addColumn<int>("width");
        row("20 bytes at 9 pt", qreal(9), 20, 144);
        row("1 byte at 9 pt rounds down", qreal(9), 1, 7); // 7.2
        row("3 bytes at 9 pt rounds up", qreal(9), 3, 22); // 21.6
        row("half rounds up", qreal(0.625), 1, 1); // 0.5
        row("no name length", qreal(9), 0, 0);
        row("no point size", qreal(-1), 20, 0);
    }
    void logChoiceWidth()
    {
        QFETCH(qreal, points);
        QFETCH(int, longest);
        QFETCH(int, width);
        QCOMPARE(LogList::choiceWidth(points, longest), width);
    }

    // The console's answer ends at its zero byte; only "clear" itself clears.
    void console_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("clears");
        row("OK, zero, more bytes", QByteArray("OK\0garbage", 10), "OK", false);
        row("no zero byte", QByteArray("v1.3.0"), "v1.3.0", false);
        row("zero first", QByteArray("\0OK", 3), "", false);
        row("nothing", QByteArray(), "", false);
        row("UTF-8", QByteArray("\xe6\xb8\xa9\xe5\xba\xa6 25\0", 10), QStringLiteral("\u6e29\u5ea6 25"), false);
        row("clear", QByteArray("clear"), "clear", true);
        row("Clear", QByteArray("Clear"), "Clear", false);
        row("leading space", QByteArray(" clear"), " clear", false);
        row("trailing space", QByteArray("clear "), "clear ", false);
    }
    void console()
    {
        QFETCH(QByteArray, data);
        QFETCH(QString, text);
        QFETCH(bool, clears);
        QCOMPARE(ConsoleText::decodeAnswer(bytes(data), data.size()), text);
        QCOMPARE(ConsoleText::isClearCommand(text), clears);
    }
};

QTEST_GUILESS_MAIN(TestWireData)
#include "tst_wiredata.moc"
