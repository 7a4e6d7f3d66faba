// What goes over the wire in a search, byte for byte: the link layer's card
// frames, the UDP request and replies, the network information, and the rows
// and marks they make.

#include "discovery/cardframe.h"
#include "discovery/discoveryparsers.h"
#include "discovery/searchrows.h"
#include "link/crc16.h"
#include "support/tablerows.h"

#include <QtEndian>
#include <QtTest>

using Discovery::CardInfo;
using Discovery::CardInterface;
using Outcome = Discovery::SearchRows::Outcome;
using Marks = QVector<quint8>;
Q_DECLARE_METATYPE(Outcome)

namespace {

const CardFrame::HardwareAddress kSource { 0x02, 0x4E, 0x51, 0x00, 0x00, 0x01 };

// A frame as a card sends it: header, payload, CRC over both, low byte first.
QByteArray cardFrame(quint32 command, const QByteArray& payload, bool swapCrc = false)
{
    const auto le32 = [](quint32 v) { return v = qToLittleEndian(v), QByteArray(reinterpret_cast<char*>(&v), 4); };
    QByteArray frame = hx("02 4E 51 00 00 01 00 1A 2B 3C 4D 5E 54 41 00 00 00 01") + le32(command)
        + le32(quint32(payload.size() + 28)) + payload;
    const quint16 crc = crc16Modbus(frame);
    return frame.append(char(swapCrc ? crc >> 8 : crc & 0xFF)).append(char(swapCrc ? crc & 0xFF : crc >> 8));
}

const QHostAddress kSender(QStringLiteral("192.168.1.5"));

// 00 25 18 03 "abc", then eth0 192.168.1.5/24 in short form.
const char* const kShortReply = "00 25 18 03 616263  04 65746830 C0A80105 FFFFFF00";
// The same card in long form, with a second interface after the first.
const char* const kLongReply = "00 25 18 03 616263"
                               "  0012 04 65746830 C0A80105 FFFFFF00 001A2B3C4D5E"
                               "  0012 04 65746831 AC100001 FFFF0000 001A2B3C4D5F";

// Product, card hardware address, flags (u: product unknown, c: carries
// hardware addresses, t: truncated), then each interface.
QString described(const CardInfo& c)
{
    QStringList s { c.product, c.cardHardwareAddress,
        QString(c.productUnknown ? "u" : "") + (c.carriesHardwareAddresses ? "c" : "") + (c.truncated ? "t" : "") };
    for (const CardInterface& i : c.interfaces)
        s << QStringList { i.name, i.address, i.netmask, i.hardwareAddress }.join(' ').trimmed();
    return s.join('|');
}

} // namespace

class TestDiscoveryParsers : public QObject {
    Q_OBJECT

private slots:
    void buildCardFrame_data()
    {
        QTest::addColumn<quint32>("command");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("expected");
        row("search to broadcast", 0u, "", QByteArray(),
            hx("FF FF FF FF FF FF 02 4E 51 00 00 01 54 41 00 00 00 01 00 00 00 00 1C 00 00 00 05 00"));
        row("reboot to one card", 4u, "00:1A:2B:3C:4D:5E", QByteArray(),
            hx("00 1A 2B 3C 4D 5E 02 4E 51 00 00 01 54 41 00 00 00 01 04 00 00 00 1C 00 00 00 61 6C"));
        row("set IP settings", 2u, "00:1A:2B:3C:4D:5E",
            QByteArray(R"({"gateway":"10.0.0.1","interface":"eth0","ip":"10.0.0.5","netmask":"255.255.255.0"})"),
            hx("00 1A 2B 3C 4D 5E 02 4E 51 00 00 01 54 41 00 00 00 01 02 00 00 00 6F 00 00 00"
               "7B 22 67 61 74 65 77 61 79 22 3A 22 31 30 2E 30 2E 30 2E 31 22 2C 22 69 6E 74 65 72 66 61"
               "63 65 22 3A 22 65 74 68 30 22 2C 22 69 70 22 3A 22 31 30 2E 30 2E 30 2E 35 22 2C 22 6E 65"
               "74 6D 61 73 6B 22 3A 22 32 35 35 2E 32 35 35 2E 32 35 35 2E 30 22 7D D0 FB"));
        // Missing fields give zero bytes; nothing is read beyond the fields
        // present, nor written beyond the sixth.
        row("three fields, lower case", 4u, "00:1a:2b", QByteArray(),
            hx("00 1A 2B 00 00 00 02 4E 51 00 00 01 54 41 00 00 00 01 04 00 00 00 1C 00 00 00 88 FA"));
        row("a seventh field is ignored", 4u, "00:1A:2B:3C:4D:5E:77", QByteArray(),
            hx("00 1A 2B 3C 4D 5E 02 4E 51 00 00 01 54 41 00 00 00 01 04 00 00 00 1C 00 00 00 61 6C"));
    }
    void buildCardFrame()
    {
        QFETCH(quint32, command);
        QFETCH(QString, destination);
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, expected);
        QCOMPARE(CardFrame::build(command, kSource, destination, payload).toHex(' '), expected.toHex(' '));
    }

    void cardFrameLimitsPayload()
    {
        const QByteArray frame = CardFrame::build(2, kSource, QString(), QByteArray(CardFrame::kMaxPayload, 'x'));
        QVERIFY(frame.size() == 2048 && qFromLittleEndian<quint32>(frame.constData() + 22) == 2048u);
        QCOMPARE(qFromLittleEndian<quint16>(frame.constData() + 2046), crc16Modbus(frame.constData(), 2046));
        // One byte more is refused whole: never a frame whose length field
        // disagrees with the bytes sent, never a JSON text cut short.
        QVERIFY(CardFrame::build(2, kSource, QString(), QByteArray(CardFrame::kMaxPayload + 1, 'x')).isEmpty());
        CardFrame::Buffer buffer;
        QCOMPARE(CardFrame::build(buffer, 2, kSource, QString(), QByteArray(5000, 'x')), -1);
    }

    void hardwareAddressText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("wellFormed");
        QTest::addColumn<bool>("unicast");
        auto row = [](const char* text, bool wellFormed, bool unicast) { ::row(text, text, wellFormed, unicast); };
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
    void hardwareAddressText()
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

    void receiveCardFrame_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<int>("status");
        QTest::addColumn<quint32>("command"); // when the frame checks out
        QTest::addColumn<QByteArray>("text");
        using R = CardFrame::Received;
        auto row = [](const char* tag, const QByteArray& frame, R::Status status, quint32 command, const char* text) {
            QTest::newRow(tag) << frame << int(status) << command << QByteArray(text);
        };
        const QByteArray info(
            R"({"host":"10.0.0.5","product":"abc","intfInfo":[["eth0","10.0.0.5","255.0.0.0","00:1A:2B:3C:4D:5E"]]})");
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
    void receiveCardFrame()
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
    void receiveNeverReadsBeyondFrame()
    {
        // Every prefix of a valid reply, each in a buffer of exactly its size
        // (an address sanitizer build catches a read past it).
        const QByteArray whole = cardFrame(1, R"({"host":"10.0.0.5"})");
        for (int n = 0; n <= whole.size(); ++n)
            QCOMPARE(CardFrame::receive(QByteArray(whole.constData(), n)).status == CardFrame::Received::Ok,
                n == whole.size());
    }

    void udpRequest()
    {
        // 192.168.1.10/24: address and netmask low byte first.
        QCOMPARE(Discovery::buildRequest(QHostAddress(QStringLiteral("192.168.1.10")).toIPv4Address(),
                     QHostAddress(QStringLiteral("255.255.255.0")).toIPv4Address())
                     .toHex(' '),
            QByteArray("00 25 18 0a 01 a8 c0 00 ff ff ff"));
    }

    void udpReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QString>("card"); // see described(); "none": not a reply
        QTest::newRow("short form") << hx(kShortReply) << "abc|||eth0 192.168.1.5 255.255.255.0";
        QTest::newRow("long form") << hx(kLongReply)
                                   << "abc|00:1A:2B:3C:4D:5E|c|eth0 192.168.1.5 255.255.255.0 00:1A:2B:3C:4D:5E"
                                      "|eth1 172.16.0.1 255.255.0.0 00:1A:2B:3C:4D:5F";
        // The card's hardware address is that of the interface holding the
        // address the reply came from; a later match overrides an earlier one.
        QTest::newRow("long form, address on the second interface")
            << hx("00 25 18 00  0012 04 65746830 0A000001 FF000000 AAAAAAAAAAAA"
                  "  0012 04 65746831 C0A80105 FFFFFF00 0000000000BB"
                  "  0012 04 65746832 C0A80105 FFFFFF00 0000000000CC")
            << "|00:00:00:00:00:CC|c|eth0 10.0.0.1 255.0.0.0 AA:AA:AA:AA:AA:AA|eth1 192.168.1.5 255.255.255.0 "
               "00:00:00:00:00:BB|eth2 192.168.1.5 255.255.255.0 00:00:00:00:00:CC";
        QTest::newRow("long form, no interface holds the address")
            << hx("00 25 18 01 78  0012 04 65746830 0A000001 FF000000 AAAAAAAAAAAA")
            << "x||c|eth0 10.0.0.1 255.0.0.0 AA:AA:AA:AA:AA:AA";
        QTest::newRow("seven bytes") << hx("00 25 18 05 61 62 63") << "||u";
        QTest::newRow("name cut at a zero byte")
            << hx("00 25 18 05 61 00 63 64 65  03 650074 01020304 FFFFFFFF") << "a|||e 1.2.3.4 255.255.255.255";
        QTest::newRow("three bytes") << hx("00 25 18") << "||";
        // Only our own request, read as a reply, runs out inside its "product".
        QTest::newRow("our own request") << hx("00 25 18 0A 01 A8 C0 00 FF FF FF")
                                         << QString::fromUtf8("\x01\xA8\xC0", 3) + "||t";
        QTest::newRow("two bytes") << hx("00 25") << "none";
        QTest::newRow("wrong magic") << hx("00 25 19 03 616263") << "none";
    }
    void udpReply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QString, card);
        const auto parsed = Discovery::parseUdpReply(datagram, kSender);
        QCOMPARE(parsed ? described(*parsed) : QStringLiteral("none"), card);
        if (parsed)
            QVERIFY(parsed->host == "192.168.1.5" && parsed->cardAddress == "192.168.1.5");
    }

    void truncatedUdpReplyKeepsCompleteEntries_data()
    {
        QTest::addColumn<QByteArray>("whole");
        QTest::newRow("short form") << hx(kShortReply) + hx("04 65746831 AC100001 FFFF0000");
        QTest::newRow("long form") << hx(kLongReply);
    }
    void truncatedUdpReplyKeepsCompleteEntries()
    {
        // The reply cut at every length, each cut in a buffer of exactly that
        // size: the entries that fit whole are kept, in order, and nothing else.
        QFETCH(QByteArray, whole);
        const auto full = Discovery::parseUdpReply(whole, kSender);
        QVERIFY(full && full->interfaces.size() == 2);
        const int firstEnd = whole.size() - (whole.size() - 7) / 2;
        for (int n = 0; n < whole.size(); ++n) {
            const auto card = Discovery::parseUdpReply(QByteArray(whole.constData(), n), kSender);
            QCOMPARE(card.has_value(), n >= 3);
            if (!card)
                continue;
            QCOMPARE(card->interfaces, full->interfaces.mid(0, n >= firstEnd ? 1 : 0));
            if (n == 7)
                QVERIFY(card->productUnknown);
            else if (n >= 4)
                QCOMPARE(card->product, QStringLiteral("abc").left(qMin(3, n - 4)));
            // A cut inside the product name or an entry is noted; a cut at an
            // entry boundary is not a cut anyone could see.
            if (n > 7 && n != firstEnd)
                QVERIFY2(card->truncated, qPrintable(QStringLiteral("length %1").arg(n)));
        }
    }

    void networkInfo_data()
    {
        // The card: host|product|card address|card hardware address|interfaces; "none": refused.
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("card");
        row("host on its interface",
            R"({"host":"10.0.0.5","product":"abc","intfInfo":[["eth0","10.0.0.5","255.0.0.0","00:1a:2b:3c:4d:5e"],["eth1","172.16.0.1","255.255.0.0","00:1a:2b:3c:4d:5f"]]})",
            "10.0.0.5|abc|10.0.0.5|00:1A:2B:3C:4D:5E|2");
        row("later match overrides",
            R"({"host":"10.0.0.5","intfInfo":[["a","10.0.0.5","","11:11:11:11:11:11"],["b","10.0.0.5","","22:22:22:22:22:22"]]})",
            "10.0.0.5||10.0.0.5|22:22:22:22:22:22|2");
        row("host on no interface",
            R"({"host":"10.0.0.5","product":"abc","intfInfo":[["eth0","10.0.0.6","255.0.0.0","00:1A:2B:3C:4D:5E"]]})",
            "10.0.0.5|abc|||1");
        row("values of the wrong type", R"({"host":5,"product":[1],"intfInfo":{"a":1}})", "||||0");
        row("short interface element", R"({"host":"1.2.3.4","intfInfo":[["eth0","1.2.3.4"]]})", "1.2.3.4||1.2.3.4||1");
        row("not JSON", "{\"host\":", "none");
        row("an array", "[1,2]", "none");
        // Found by fuzzing: Qt's parser leaks the first of two arrays under one
        // name, so a flood of such frames would grow the tool without bound.
        row("a member named twice",
            R"({"host":"1.2.3.4","intfInfo":[["a","1.2.3.4","",""]],"intfInfo":[["b","1.2.3.4","",""]]})", "none");
        row("named twice, once escaped", R"({"host":"1.2.3.4","host":"1.2.3.5"})", "none");
        row("one name in two objects",
            R"({"host":"1.2.3.4","intfInfo":[["a","1.2.3.4","",""]],"x":{"host":"5.6.7.8","x":[{"host":1}]}})",
            "1.2.3.4||1.2.3.4||1");
        row("a name inside a string value", "{\"host\":\"1.2.3.4\",\"product\":\"\\\"host\\\":\"}",
            "1.2.3.4|\"host\":|||0");
    }
    void networkInfo()
    {
        QFETCH(QString, text);
        QFETCH(QString, card);
        const auto p = Discovery::parseNetworkInfo(text.toUtf8());
        QCOMPARE(p ? (QStringList { p->host, p->product, p->cardAddress, p->cardHardwareAddress,
                     QString::number(p->interfaces.size()) }
                          .join('|'))
                   : QStringLiteral("none"),
            card);
    }

    void result()
    {
        QStringList results; // -: ignored
        for (const char* text : { R"({"result":true})", R"({"result":false})", "{}", R"({"result":1})",
                 R"({"result":tru})", R"({"result":[true],"result":true})" }) {
            const auto result = Discovery::parseResult(text);
            results << (result ? QString::number(*result) : QStringLiteral("-"));
        }
        QCOMPARE(results.join(' '), QStringLiteral("1 0 0 0 - -"));
    }

    void oneRowPerCard_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<bool>("fromUdp");
        QTest::addColumn<bool>("carriesMacs");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<int>("row"); // the row made or completed
        // Shown so far: 10.0.0.1 without hardware address (a short UDP reply),
        // 10.0.0.2 with AA.
        row("new address", "10.0.0.3", "", true, false, Outcome::Added, 2);
        row("UDP short form, seen address", "10.0.0.1", "", true, false, Outcome::Repeated, -1);
        row("UDP short form, seen address, whatever it holds", "10.0.0.2", "CC", true, false, Outcome::Repeated, -1);
        row("UDP long form, same MAC", "10.0.0.2", "AA", true, true, Outcome::Repeated, -1);
        row("UDP long form, other MAC: two cards, one address", "10.0.0.2", "BB", true, true, Outcome::Added, 2);
        row("UDP long form, no MAC matched", "10.0.0.2", "", true, true, Outcome::Repeated, -1);
        row("UDP long form at the address without MAC", "10.0.0.1", "BB", true, true, Outcome::Added, 2);
        row("link layer, same pair", "10.0.0.2", "AA", false, true, Outcome::Repeated, -1);
        row("link layer, case differs", "10.0.0.2", "aa", false, true, Outcome::Added, 2);
        row("link layer, host in none of its interfaces", "10.0.0.1", "", false, true, Outcome::Repeated, -1);
        // The UDP reply came first: the link layer completes its row.
        row("link layer completes the row without MAC", "10.0.0.1", "BB", false, true, Outcome::Completed, 0);
        row("link layer completes it even with a MAC shown", "10.0.0.1", "AA", false, true, Outcome::Completed, 0);
    }
    void oneRowPerCard()
    {
        QFETCH(QString, host);
        QFETCH(QString, mac);
        QFETCH(bool, fromUdp);
        QFETCH(bool, carriesMacs);
        QFETCH(Outcome, outcome);
        QFETCH(int, row);
        Discovery::SearchRows rows;
        rows.add(*Discovery::parseUdpReply(hx(kShortReply), QHostAddress(QStringLiteral("10.0.0.1"))), true);
        CardInfo shown;
        shown.host = shown.cardAddress = QStringLiteral("10.0.0.2");
        shown.cardHardwareAddress = QStringLiteral("AA");
        shown.carriesHardwareAddresses = true;
        rows.add(shown, true);
        CardInfo card;
        card.host = host;
        card.cardAddress = fromUdp || !mac.isEmpty() ? host : QString();
        card.cardHardwareAddress = mac;
        card.carriesHardwareAddresses = carriesMacs;
        card.interfaces = { { "eth0", "10.0.0.1", "255.0.0.0", "00:00:00:00:00:BB" } };
        int index = -1;
        QCOMPARE(rows.add(card, fromUdp, &index), outcome);
        QCOMPARE(rows.rows().size(), outcome == Outcome::Added ? 3 : 2);
        if (outcome == Outcome::Repeated)
            return;
        QCOMPARE(index, row);
        const CardInfo& made = rows.rows().at(index);
        QVERIFY(made.host == host && made.cardHardwareAddress == mac && made.interfaces == card.interfaces);
        // Completed, the rest of the row stays.
        QCOMPARE(made.product, outcome == Outcome::Completed ? "abc" : "");
        // The card's replies that follow, by either protocol, repeat its row.
        QCOMPARE(rows.add(card, fromUdp), Outcome::Repeated);
    }

    void rowMarks_data()
    {
        QTest::addColumn<QStringList>("hosts");
        QTest::addColumn<QStringList>("subnets"); // address/netmask
        QTest::addColumn<Marks>("marks");
        const quint8 none = Discovery::NoMark, dup = Discovery::DuplicateAddress, out = Discovery::OutsideSubnet;
        const QStringList lan { "192.168.1.10/255.255.255.0" };
        auto row = [](const char* tag, const QStringList& hosts, const QStringList& subnets, const Marks& marks) {
            QTest::newRow(tag) << hosts << subnets << marks;
        };
        row("inside, distinct", { "192.168.1.5", "192.168.1.6" }, lan, { none, none });
        row("same address twice", { "192.168.1.5", "192.168.1.6", "192.168.1.5" }, lan, { dup, none, dup });
        row("outside", { "192.168.2.5" }, lan, { out });
        row("both", { "10.0.0.1", "10.0.0.1" }, lan, { dup | out, dup | out });
        row("second subnet of the adapter", { "10.0.0.1" }, { lan.first(), "10.0.0.9/255.0.0.0" }, { none });
        row("adapter without IPv4", { "10.0.0.1" }, {}, { none });
        row("no address, twice", { "", "" }, lan, { none, none });
        row("not an address", { "card-1" }, lan, { none });
        row("wide netmask", { "172.16.200.1" }, { "172.16.0.1/255.255.0.0" }, { none });
    }
    void rowMarks()
    {
        QFETCH(QStringList, hosts);
        QFETCH(QStringList, subnets);
        QFETCH(Marks, marks);
        QVector<CardInfo> rows(hosts.size());
        for (int i = 0; i < hosts.size(); ++i)
            rows[i].host = hosts.at(i);
        QVector<Discovery::Subnet> nets;
        for (const QString& net : qAsConst(subnets))
            nets.append({ QHostAddress(net.section('/', 0, 0)).toIPv4Address(),
                QHostAddress(net.section('/', 1)).toIPv4Address() });
        QCOMPARE(Discovery::rowMarks(rows, nets), marks);
    }

    void usableInterfaces()
    {
        // Ethernet and up; then loopback, peer down, point-to-point, no
        // multicast, up but not running.
        QVERIFY(Discovery::isUsableInterface(QNetworkInterface::InterfaceFlags(0x27)));
        for (int flags : { 0x0B, 0x24, 0x33, 0x07, 0x25 })
            QVERIFY2(!Discovery::isUsableInterface(QNetworkInterface::InterfaceFlags(flags)),
                qPrintable(QString::number(flags, 16)));
    }
};

QTEST_APPLESS_MAIN(TestDiscoveryParsers)
#include "tst_discoveryparsers.moc"
