// The discovery session without a search: replies come to its real listening
// socket over loopback and as texts of its link layer, and what it reports is
// checked. No search is started here, so no discovery traffic leaves the
// machine; the searches run in network namespaces (tst_discovery_netns).

#include "discovery/discoverysession.h"
#include "support/searchpagedriver.h"
#include "support/testaddresses.h"

#include <QUdpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

constexpr int kArea = 61;

} // namespace

class TestDiscoverySession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void oneRowPerCard_data();
    void oneRowPerCard();
    void aBurstIsTakenInTurns();

private:
    int m_case = 0;
    QString address(int card) const { return TestAddresses::card(kArea, m_case, card); }
};

void TestDiscoverySession::initTestCase()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress(TestAddresses::card(kArea, 250)), 0))
        QSKIP("loopback addresses beyond 127.0.0.1 are not usable here");
}

void TestDiscoverySession::oneRowPerCard_data()
{
    // Events: "u:N" short UDP reply from card N, "l:N:M" long UDP reply from
    // card N with hardware address M, "i:N:M" network information of card N
    // with M; each card answers from its own address.
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<QStringList>("macs"); // each row's card hardware address, oldest row first
    QTest::addColumn<QList<int>>("completed");
    const QString mac1 = QStringLiteral("02:4E:51:00:00:01");
    QTest::newRow("both protocols, long form")
        << QStringList { "l:1:01", "i:1:01", "i:1:01", "l:1:01" } << QStringList { mac1 } << QList<int>();
    // The network information completes the row of the short reply.
    QTest::newRow("both protocols, short form first") << QStringList { "u:1", "u:2", "i:1:01", "u:1", "i:1:01" }
                                                      << QStringList { mac1, QString() } << QList<int> { 0 };
    QTest::newRow("link layer first, then short form")
        << QStringList { "i:1:01", "u:1" } << QStringList { mac1 } << QList<int>();
}

void TestDiscoverySession::oneRowPerCard()
{
    QFETCH(QStringList, events);
    QFETCH(QStringList, macs);
    QFETCH(QList<int>, completed);
    ++m_case;
    DiscoverySession session;
    SessionFeeder feed(&session);
    QSignalSpy found(&session, &DiscoverySession::cardsFound);
    QSignalSpy completions(&session, &DiscoverySession::rowCompleted);
    for (const QString& event : events) {
        const QStringList parts = event.split(QLatin1Char(':'));
        const QString from = address(parts.at(1).toInt());
        if (parts.at(0) == QLatin1String("u")) {
            QVERIFY(feed.deliver(from, udpReply(from, "NQ")));
        } else {
            const QByteArray mac = "02 4E 51 00 00 " + parts.at(2).toLatin1();
            if (parts.at(0) == QLatin1String("l"))
                QVERIFY(feed.deliver(from, udpReply(from, "NQ", mac.constData())));
            else
                QVERIFY(feed.networkInfo(networkInfoText(from, from, QStringLiteral("02:4E:51:00:00:") + parts.at(2))));
        }
    }
    QStringList shown;
    for (const Discovery::CardInfo& card : session.cards())
        shown.append(card.cardHardwareAddress);
    QCOMPARE(shown, macs);
    QCOMPARE(found.count(), macs.size()); // one report per row
    QList<int> completedRows;
    for (const QList<QVariant>& completion : qAsConst(completions))
        completedRows.append(completion.first().toInt());
    QCOMPARE(completedRows, completed);
}

void TestDiscoverySession::aBurstIsTakenInTurns()
{
    // 150 cards answer by UDP and 150 others by the link layer at once: no
    // turn of the event loop takes more than 64 replies of either protocol,
    // and every card is reported once, in order. The first link-layer card
    // answers without its hardware address, then with it, in one turn: its
    // row is reported complete, not completed afterwards.
    ++m_case;
    DiscoverySession session;
    QSignalSpy found(&session, &DiscoverySession::cardsFound);
    QSignalSpy completions(&session, &DiscoverySession::rowCompleted);
    auto info = [&](const QString& host, const QString& mac) {
        QMetaObject::invokeMethod(
            &session, "onCommLinkNetworkInfo", Q_ARG(QByteArray, networkInfoText(host, host, mac)));
    };
    std::vector<std::unique_ptr<QUdpSocket>> senders;
    for (int card = 1; card <= 150; ++card) {
        senders.push_back(std::make_unique<QUdpSocket>());
        QVERIFY(senders.back()->bind(QHostAddress(address(card)), 0));
        senders.back()->writeDatagram(udpReply(address(card), "NQ"), QHostAddress::LocalHost, 8888);
        const QString host = QStringLiteral("10.61.0.%1").arg(card);
        if (card == 1)
            info(host, QString());
        info(host, QStringLiteral("02:4E:51:00:01:%1").arg(card, 2, 16, QLatin1Char('0')).toUpper());
    }
    QTRY_COMPARE(session.cards().size(), 300);
    int next = 0;
    for (const QList<QVariant>& report : qAsConst(found)) {
        QCOMPARE(report.at(0).toInt(), next);
        QVERIFY2(report.at(1).toInt() <= 64, qPrintable(QString::number(report.at(1).toInt())));
        next += report.at(1).toInt();
    }
    QCOMPARE(next, 300);
    QVERIFY(completions.isEmpty());
    QVERIFY(std::any_of(session.cards().begin(), session.cards().end(), [](const Discovery::CardInfo& card) {
        return card.host == QLatin1String("10.61.0.1")
            && card.cardHardwareAddress == QLatin1String("02:4E:51:00:01:01");
    }));
}

QTEST_GUILESS_MAIN(TestDiscoverySession)
#include "tst_discoverysession.moc"
