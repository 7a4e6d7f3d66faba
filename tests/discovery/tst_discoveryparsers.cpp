#include "discovery/discoveryparsers.h"
#include "discovery/searchrows.h"

#include <QtTest>

using Discovery::CardInfo;
using Discovery::CardInterface;

namespace {

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
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

Q_DECLARE_METATYPE(Discovery::SearchRows::Outcome)

class TestDiscoveryParsers : public QObject {
    Q_OBJECT

private slots:
    void request();
    void udpReply_data();
    void udpReply();
    void truncatedUdpReplyKeepsCompleteEntries_data();
    void truncatedUdpReplyKeepsCompleteEntries();
    void networkInfo_data();
    void networkInfo();
    void result_data();
    void result();
    void oneRowPerCard_data();
    void oneRowPerCard();
    void usableInterfaces_data();
    void usableInterfaces();
};

void TestDiscoveryParsers::request()
{
    // 192.168.1.10/24: address and netmask low byte first.
    const QByteArray request = Discovery::buildRequest(QHostAddress(QStringLiteral("192.168.1.10")).toIPv4Address(),
        QHostAddress(QStringLiteral("255.255.255.0")).toIPv4Address());
    QCOMPARE(request.toHex(' '), hex("00 25 18 0A 01 A8 C0 00 FF FF FF").toHex(' '));
}

void TestDiscoveryParsers::udpReply_data()
{
    QTest::addColumn<QByteArray>("datagram");
    QTest::addColumn<QString>("card"); // see described(); "none": not a reply
    QTest::newRow("short form") << hex(kShortReply) << "abc|||eth0 192.168.1.5 255.255.255.0";
    QTest::newRow("long form") << hex(kLongReply)
                               << "abc|00:1A:2B:3C:4D:5E|c|eth0 192.168.1.5 255.255.255.0 00:1A:2B:3C:4D:5E"
                                  "|eth1 172.16.0.1 255.255.0.0 00:1A:2B:3C:4D:5F";
    // The card's hardware address is that of the interface holding the
    // address the reply came from; a later match overrides an earlier one.
    QTest::newRow("long form, address on the second interface")
        << hex("00 25 18 00  0012 04 65746830 0A000001 FF000000 AAAAAAAAAAAA"
               "  0012 04 65746831 C0A80105 FFFFFF00 0000000000BB"
               "  0012 04 65746832 C0A80105 FFFFFF00 0000000000CC")
        << "|00:00:00:00:00:CC|c|eth0 10.0.0.1 255.0.0.0 AA:AA:AA:AA:AA:AA|eth1 192.168.1.5 255.255.255.0 "
           "00:00:00:00:00:BB|eth2 192.168.1.5 255.255.255.0 00:00:00:00:00:CC";
    QTest::newRow("long form, no interface holds the address")
        << hex("00 25 18 01 78  0012 04 65746830 0A000001 FF000000 AAAAAAAAAAAA")
        << "x||c|eth0 10.0.0.1 255.0.0.0 AA:AA:AA:AA:AA:AA";
    QTest::newRow("seven bytes") << hex("00 25 18 05 61 62 63") << "||u";
    QTest::newRow("name cut at a zero byte")
        << hex("00 25 18 05 61 00 63 64 65  03 650074 01020304 FFFFFFFF") << "a|||e 1.2.3.4 255.255.255.255";
    QTest::newRow("three bytes") << hex("00 25 18") << "||";
    // Only our own request, read as a reply, runs out inside its "product".
    QTest::newRow("our own request") << hex("00 25 18 0A 01 A8 C0 00 FF FF FF")
                                     << QString::fromUtf8("\x01\xA8\xC0", 3) + "||t";
    QTest::newRow("two bytes") << hex("00 25") << "none";
    QTest::newRow("wrong magic") << hex("00 25 19 03 616263") << "none";
}

void TestDiscoveryParsers::udpReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(QString, card);
    const auto parsed = Discovery::parseUdpReply(datagram, kSender);
    QCOMPARE(parsed ? described(*parsed) : QStringLiteral("none"), card);
    if (parsed)
        QVERIFY(parsed->host == "192.168.1.5" && parsed->cardAddress == "192.168.1.5");
}

void TestDiscoveryParsers::truncatedUdpReplyKeepsCompleteEntries_data()
{
    QTest::addColumn<QByteArray>("whole");
    QTest::newRow("short form") << hex(kShortReply) + hex("04 65746831 AC100001 FFFF0000");
    QTest::newRow("long form") << hex(kLongReply);
}

void TestDiscoveryParsers::truncatedUdpReplyKeepsCompleteEntries()
{
    // The reply cut at every length, each cut in a buffer of exactly that
    // size: the entries that fit whole are kept, in order, and nothing else.
    QFETCH(QByteArray, whole);
    const auto full = Discovery::parseUdpReply(whole, kSender);
    QVERIFY(full && full->interfaces.size() == 2);
    const int firstEnd = whole.size() - (whole.size() - 7) / 2;
    for (int n = 0; n < whole.size(); ++n) {
        const QByteArray cut(whole.constData(), n);
        const auto card = Discovery::parseUdpReply(cut, kSender);
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

void TestDiscoveryParsers::networkInfo_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("card"); // host|product|card address|card hardware address|interfaces; "none": refused
    auto row
        = [](const char* tag, const char* text, const char* card) { QTest::newRow(tag) << QByteArray(text) << card; };
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
    row("a name inside a string value", R"({"host":"1.2.3.4","product":"\"host\":"})", "1.2.3.4|\"host\":|||0");
}

void TestDiscoveryParsers::networkInfo()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, card);
    const auto p = Discovery::parseNetworkInfo(text);
    const QStringList parts = p ? QStringList { p->host, p->product, p->cardAddress, p->cardHardwareAddress,
        QString::number(p->interfaces.size()) }
                                : QStringList { "none" };
    QCOMPARE(parts.join('|'), card);
}

void TestDiscoveryParsers::result_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected"); // -1: ignored
    for (auto row : std::initializer_list<std::pair<const char*, int>> { { R"({"result":true})", 1 },
             { R"({"result":false})", 0 }, { "{}", 0 }, { R"({"result":1})", 0 }, { R"({"result":tru})", -1 },
             { R"({"result":[true],"result":true})", -1 } })
        QTest::newRow(row.first) << QByteArray(row.first) << row.second;
}

void TestDiscoveryParsers::result()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    const auto result = Discovery::parseResult(text);
    QCOMPARE(result ? int(*result) : -1, expected);
}

void TestDiscoveryParsers::oneRowPerCard_data()
{
    using Outcome = Discovery::SearchRows::Outcome;
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("mac");
    QTest::addColumn<bool>("fromUdp");
    QTest::addColumn<bool>("carriesMacs");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("row"); // the row made or completed
    auto row = [](const char* tag, const char* host, const char* mac, bool fromUdp, bool carriesMacs, Outcome outcome,
                   int index) {
        QTest::newRow(tag) << QString::fromLatin1(host) << QString::fromLatin1(mac) << fromUdp << carriesMacs << outcome
                           << index;
    };
    // Shown so far: 10.0.0.1 without hardware address (a short UDP reply),
    // 10.0.0.2 with AA.
    row("new address", "10.0.0.3", "", true, false, Outcome::Added, 2);
    row("UDP short form, seen address", "10.0.0.1", "", true, false, Outcome::Repeated, -1);
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

void TestDiscoveryParsers::oneRowPerCard()
{
    QFETCH(QString, host);
    QFETCH(QString, mac);
    QFETCH(bool, fromUdp);
    QFETCH(bool, carriesMacs);
    QFETCH(Discovery::SearchRows::Outcome, outcome);
    QFETCH(int, row);
    Discovery::SearchRows rows;
    rows.add(*Discovery::parseUdpReply(hex(kShortReply), QHostAddress(QStringLiteral("10.0.0.1"))), true);
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
    QCOMPARE(rows.rows().size(), outcome == Discovery::SearchRows::Outcome::Added ? 3 : 2);
    if (outcome == Discovery::SearchRows::Outcome::Repeated)
        return;
    QCOMPARE(index, row);
    const CardInfo& made = rows.rows().at(index);
    QVERIFY(made.host == host && made.cardHardwareAddress == mac && made.interfaces == card.interfaces);
    // Completed, the rest of the row stays.
    QCOMPARE(made.product, outcome == Discovery::SearchRows::Outcome::Completed ? "abc" : "");
    // The card's replies that follow, by either protocol, repeat its row.
    QCOMPARE(rows.add(card, fromUdp), Discovery::SearchRows::Outcome::Repeated);
}

void TestDiscoveryParsers::usableInterfaces_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("usable");
    QTest::newRow("Ethernet, up") << 0x27 << true;
    // Loopback, peer down, point-to-point, no multicast, up but not running.
    for (int flags : { 0x0B, 0x24, 0x33, 0x07, 0x25 })
        QTest::newRow(qPrintable(QString::number(flags, 16))) << flags << false;
}

void TestDiscoveryParsers::usableInterfaces()
{
    QFETCH(int, flags);
    QFETCH(bool, usable);
    QCOMPARE(Discovery::isUsableInterface(QNetworkInterface::InterfaceFlags(flags)), usable);
}

QTEST_APPLESS_MAIN(TestDiscoveryParsers)
#include "tst_discoveryparsers.moc"
