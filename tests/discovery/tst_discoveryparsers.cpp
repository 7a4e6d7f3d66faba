// The discovery protocols' requests and replies as bytes and texts, and the
// rule that keeps one row per card.

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

CardInterface entry(const char* name, const char* address, const char* netmask, const char* mac = "")
{
    return { QString::fromLatin1(name), QString::fromLatin1(address), QString::fromLatin1(netmask),
        QString::fromLatin1(mac) };
}

} // namespace

Q_DECLARE_METATYPE(QVector<Discovery::CardInterface>)
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
    QTest::addColumn<bool>("isReply");
    QTest::addColumn<QString>("product");
    QTest::addColumn<bool>("unknown");
    QTest::addColumn<QString>("cardMac");
    QTest::addColumn<bool>("carriesMacs");
    QTest::addColumn<QVector<CardInterface>>("interfaces");

    QTest::newRow("short form") << hex(kShortReply) << true << "abc" << false << "" << false
                                << QVector<CardInterface> { entry("eth0", "192.168.1.5", "255.255.255.0") };
    QTest::newRow("long form") << hex(kLongReply) << true << "abc" << false << "00:1A:2B:3C:4D:5E" << true
                               << QVector<CardInterface> { entry("eth0", "192.168.1.5", "255.255.255.0",
                                                               "00:1A:2B:3C:4D:5E"),
                                      entry("eth1", "172.16.0.1", "255.255.0.0", "00:1A:2B:3C:4D:5F") };
    // The card's hardware address is that of the interface holding the
    // address the reply came from; a later match overrides an earlier one.
    QTest::newRow("long form, address on the second interface")
        << hex("00 25 18 00  0012 04 65746830 0A000001 FF000000 AAAAAAAAAAAA"
               "  0012 04 65746831 C0A80105 FFFFFF00 0000000000BB"
               "  0012 04 65746832 C0A80105 FFFFFF00 0000000000CC")
        << true << "" << false << "00:00:00:00:00:CC" << true
        << QVector<CardInterface> { entry("eth0", "10.0.0.1", "255.0.0.0", "AA:AA:AA:AA:AA:AA"),
               entry("eth1", "192.168.1.5", "255.255.255.0", "00:00:00:00:00:BB"),
               entry("eth2", "192.168.1.5", "255.255.255.0", "00:00:00:00:00:CC") };
    QTest::newRow("long form, no interface holds the address")
        << hex("00 25 18 01 78  0012 04 65746830 0A000001 FF000000 AAAAAAAAAAAA") << true << "x" << false << "" << true
        << QVector<CardInterface> { entry("eth0", "10.0.0.1", "255.0.0.0", "AA:AA:AA:AA:AA:AA") };
    QTest::newRow("seven bytes") << hex("00 25 18 05 61 62 63") << true << "" << true << "" << false
                                 << QVector<CardInterface> {};
    QTest::newRow("name cut at a zero byte")
        << hex("00 25 18 05 61 00 63 64 65  03 650074 01020304 FFFFFFFF") << true << "a" << false << "" << false
        << QVector<CardInterface> { entry("e", "1.2.3.4", "255.255.255.255") };
    QTest::newRow("three bytes") << hex("00 25 18") << true << "" << false << "" << false << QVector<CardInterface> {};
    QTest::newRow("our own request") << hex("00 25 18 0A 01 A8 C0 00 FF FF FF") << true
                                     << QString::fromUtf8("\x01\xA8\xC0", 3) << false << "" << false
                                     << QVector<CardInterface> {};
    QTest::newRow("two bytes") << hex("00 25") << false << "" << false << "" << false << QVector<CardInterface> {};
    QTest::newRow("wrong magic") << hex("00 25 19 03 616263") << false << "" << false << "" << false
                                 << QVector<CardInterface> {};
}

void TestDiscoveryParsers::udpReply()
{
    QFETCH(QByteArray, datagram);
    QFETCH(bool, isReply);
    QFETCH(QString, product);
    QFETCH(bool, unknown);
    QFETCH(QString, cardMac);
    QFETCH(bool, carriesMacs);
    QFETCH(QVector<CardInterface>, interfaces);

    const auto card = Discovery::parseUdpReply(datagram, kSender);
    QCOMPARE(card.has_value(), isReply);
    if (!card)
        return;
    QCOMPARE(card->host, QStringLiteral("192.168.1.5"));
    QCOMPARE(card->cardAddress, QStringLiteral("192.168.1.5"));
    QCOMPARE(card->product, product);
    QCOMPARE(card->productUnknown, unknown);
    QCOMPARE(card->cardHardwareAddress, cardMac);
    QCOMPARE(card->carriesHardwareAddresses, carriesMacs);
    QCOMPARE(card->interfaces.size(), interfaces.size());
    for (int i = 0; i < interfaces.size(); ++i) {
        QCOMPARE(card->interfaces.at(i).name, interfaces.at(i).name);
        QCOMPARE(card->interfaces.at(i).address, interfaces.at(i).address);
        QCOMPARE(card->interfaces.at(i).netmask, interfaces.at(i).netmask);
        QCOMPARE(card->interfaces.at(i).hardwareAddress, interfaces.at(i).hardwareAddress);
    }
    // Only our own request, read as a reply, runs out inside its "product".
    QCOMPARE(card->truncated, QByteArray(QTest::currentDataTag()) == "our own request");
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
    QVERIFY(full);
    QCOMPARE(full->interfaces.size(), 2);
    const int firstEnd = whole.size() - (whole.size() - 7) / 2;
    for (int n = 0; n < whole.size(); ++n) {
        const QByteArray cut(whole.constData(), n);
        const auto card = Discovery::parseUdpReply(cut, kSender);
        QCOMPARE(card.has_value(), n >= 3);
        if (!card)
            continue;
        const int expected = n >= whole.size() ? 2 : (n >= firstEnd ? 1 : 0);
        QCOMPARE(card->interfaces.size(), expected);
        for (int i = 0; i < card->interfaces.size(); ++i)
            QVERIFY(card->interfaces.at(i) == full->interfaces.at(i));
        if (n == 7)
            QVERIFY(card->productUnknown);
        else if (n >= 4)
            QCOMPARE(card->product, QStringLiteral("abc").left(qMin(3, n - 4)));
        // A cut inside the product name or an entry is noted; a cut at an
        // entry boundary is not a cut anyone could see.
        if (n > 7 && n != firstEnd && n != 7)
            QVERIFY2(card->truncated, qPrintable(QStringLiteral("length %1").arg(n)));
    }
}

void TestDiscoveryParsers::networkInfo_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QStringList>("card"); // host, product, card address, card hardware address
    QTest::addColumn<int>("interfaces");

    QTest::newRow("host on its interface") << QByteArray(
        R"({"host":"10.0.0.5","product":"abc","intfInfo":[["eth0","10.0.0.5","255.0.0.0","00:1a:2b:3c:4d:5e"],["eth1","172.16.0.1","255.255.0.0","00:1a:2b:3c:4d:5f"]]})")
                                           << true << QStringList { "10.0.0.5", "abc", "10.0.0.5", "00:1A:2B:3C:4D:5E" }
                                           << 2;
    QTest::newRow("later match overrides") << QByteArray(
        R"({"host":"10.0.0.5","intfInfo":[["a","10.0.0.5","","11:11:11:11:11:11"],["b","10.0.0.5","","22:22:22:22:22:22"]]})")
                                           << true << QStringList { "10.0.0.5", "", "10.0.0.5", "22:22:22:22:22:22" }
                                           << 2;
    QTest::newRow("host on no interface") << QByteArray(
        R"({"host":"10.0.0.5","product":"abc","intfInfo":[["eth0","10.0.0.6","255.0.0.0","00:1A:2B:3C:4D:5E"]]})")
                                          << true << QStringList { "10.0.0.5", "abc", "", "" } << 1;
    QTest::newRow("values of the wrong type")
        << QByteArray(R"({"host":5,"product":[1],"intfInfo":{"a":1}})") << true << QStringList { "", "", "", "" } << 0;
    QTest::newRow("short interface element") << QByteArray(R"({"host":"1.2.3.4","intfInfo":[["eth0","1.2.3.4"]]})")
                                             << true << QStringList { "1.2.3.4", "", "1.2.3.4", "" } << 1;
    QTest::newRow("not JSON") << QByteArray("{\"host\":") << false << QStringList() << 0;
    QTest::newRow("an array") << QByteArray("[1,2]") << false << QStringList() << 0;
    // Found by fuzzing: Qt's parser leaks the first of two arrays under one
    // name, so a flood of such frames would grow the tool without bound.
    QTest::newRow("a member named twice")
        << QByteArray(R"({"host":"1.2.3.4","intfInfo":[["a","1.2.3.4","",""]],"intfInfo":[["b","1.2.3.4","",""]]})")
        << false << QStringList() << 0;
    QTest::newRow("named twice, once escaped")
        << QByteArray(R"({"host":"1.2.3.4","host":"1.2.3.5"})") << false << QStringList() << 0;
    QTest::newRow("one name in two objects") << QByteArray(
        R"({"host":"1.2.3.4","intfInfo":[["a","1.2.3.4","",""]],"x":{"host":"5.6.7.8","x":[{"host":1}]}})")
                                             << true << QStringList { "1.2.3.4", "", "1.2.3.4", "" } << 1;
    QTest::newRow("a name inside a string value") << QByteArray(R"({"host":"1.2.3.4","product":"\"host\":"})") << true
                                                  << QStringList { "1.2.3.4", "\"host\":", "", "" } << 0;
}

void TestDiscoveryParsers::networkInfo()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);
    QFETCH(QStringList, card);
    QFETCH(int, interfaces);
    const auto parsed = Discovery::parseNetworkInfo(text);
    QCOMPARE(parsed.has_value(), valid);
    if (!parsed)
        return;
    QCOMPARE((QStringList { parsed->host, parsed->product, parsed->cardAddress, parsed->cardHardwareAddress }), card);
    QCOMPARE(parsed->interfaces.size(), interfaces);
}

void TestDiscoveryParsers::result_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("expected"); // -1: ignored
    QTest::newRow("true") << QByteArray("{\"result\":true}") << 1;
    QTest::newRow("false") << QByteArray("{\"result\":false}") << 0;
    QTest::newRow("absent") << QByteArray("{}") << 0;
    QTest::newRow("a number") << QByteArray("{\"result\":1}") << 0;
    QTest::newRow("not JSON") << QByteArray("{\"result\":tru}") << -1;
    QTest::newRow("result named twice") << QByteArray("{\"result\":[true],\"result\":true}") << -1;
}

void TestDiscoveryParsers::result()
{
    QFETCH(QByteArray, text);
    QFETCH(int, expected);
    const auto result = Discovery::parseResult(text);
    QCOMPARE(result.has_value(), expected >= 0);
    if (result)
        QCOMPARE(int(*result), expected);
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
    card.interfaces = { entry("eth0", "10.0.0.1", "255.0.0.0", "00:00:00:00:00:BB") };
    int index = -1;
    QCOMPARE(rows.add(card, fromUdp, &index), outcome);
    QCOMPARE(rows.rows().size(), outcome == Discovery::SearchRows::Outcome::Added ? 3 : 2);
    if (outcome == Discovery::SearchRows::Outcome::Repeated)
        return;
    QCOMPARE(index, row);
    const CardInfo& made = rows.rows().at(index);
    QCOMPARE(made.host, host);
    QCOMPARE(made.cardHardwareAddress, mac);
    QCOMPARE(made.interfaces, card.interfaces);
    if (outcome == Discovery::SearchRows::Outcome::Completed)
        QCOMPARE(made.product, QStringLiteral("abc")); // the rest of the row stays
    // The card's replies that follow, by either protocol, repeat its row.
    QCOMPARE(rows.add(card, fromUdp), Discovery::SearchRows::Outcome::Repeated);
}

void TestDiscoveryParsers::usableInterfaces_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<bool>("usable");
    QTest::newRow("Ethernet, up") << 0x27 << true;
    QTest::newRow("loopback") << 0x0B << false;
    QTest::newRow("peer down") << 0x24 << false;
    QTest::newRow("point-to-point") << 0x33 << false;
    QTest::newRow("no multicast") << 0x07 << false;
    QTest::newRow("up but not running") << 0x25 << false;
}

void TestDiscoveryParsers::usableInterfaces()
{
    QFETCH(int, flags);
    QFETCH(bool, usable);
    QCOMPARE(Discovery::isUsableInterface(QNetworkInterface::InterfaceFlags(flags)), usable);
}

QTEST_APPLESS_MAIN(TestDiscoveryParsers)
#include "tst_discoveryparsers.moc"
