// The discovery session without a search: replies come to its real listening
// socket over loopback and as texts of its link layer.

#include "discovery/discoverysession.h"
#include "support/searchpagedriver.h"
#include "support/testaddresses.h"

#include <QUdpSocket>
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

class TestDiscoverySession : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void aBurstIsTakenInTurns();

private:
    int m_case = 0;
    QString address(int card) const { return TestAddresses::card(61, m_case, card); }
};

void TestDiscoverySession::initTestCase()
{
    QUdpSocket probe;
    if (!probe.bind(QHostAddress(TestAddresses::card(61, 250)), 0))
        QSKIP("loopback addresses beyond 127.0.0.1 are not usable here");
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
        QVERIFY2(report.at(1).toInt() <= 64, qPrintable(report.at(1).toString()));
        next += report.at(1).toInt();
    }
    QVERIFY(next == 300 && completions.isEmpty());
    QVERIFY(std::any_of(session.cards().begin(), session.cards().end(), [](const Discovery::CardInfo& card) {
        return card.host == "10.61.0.1" && card.cardHardwareAddress == "02:4E:51:00:01:01";
    }));
}

QTEST_GUILESS_MAIN(TestDiscoverySession)
#include "tst_discoverysession.moc"
