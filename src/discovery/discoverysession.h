#pragma once

#include "searchrows.h"

#include <QByteArray>
#include <QNetworkInterface>
#include <QObject>
#include <QQueue>
#include <QTimer>

class CommLink;
class QUdpSocket;

// The search for cards on one network interface by both protocols at once,
// and the commands that reach one card by its hardware address: the two UDP
// sockets, the link-layer service (CommLink), the search cycles, the parsing
// of every reply and the decision which reply is a new card. It reports by
// signals and shows nothing: the search page and netquill-cli drive it.
class DiscoverySession : public QObject {
    Q_OBJECT

public:
    static constexpr int kSearchCycles = 3;
    static constexpr int kCycleIntervalMs = 1000;

    // Binds both sockets at once: replies are taken from the start.
    explicit DiscoverySession(QObject* parent = nullptr, int cycleIntervalMs = kCycleIntervalMs);
    ~DiscoverySession() override;

    // (Re)starts the link-layer capture on the interface, joins the group
    // there, forgets the cards found so far and sends the first cycle at
    // once, the others a cycle interval apart. False while a search runs.
    bool search(const QNetworkInterface& iface);
    bool isSearching() const { return m_cyclesLeft > 0; }
    // The cards found since the search began, oldest first.
    const QVector<Discovery::CardInfo>& cards() const { return m_rows.rows(); }

    // Set-IP or reboot to one card; its answer comes as resultReceived.
    // False when nothing went out: the text names no single card (never the
    // broadcast address), or no capture is open.
    bool sendToCard(quint32 command, const QString& hardwareAddress, const QByteArray& payload);
    CommLink* link() const { return m_link; }

signals:
    // Rows first to first + count - 1 of cards() are cards not seen before.
    void cardsFound(int first, int count, bool overUdp);
    // A link-layer reply gave a row its hardware address and interfaces.
    void rowCompleted(int row);
    // The last cycle is out; replies are taken until the next search.
    void searchFinished();
    // A card answered set-IP or reboot (it does not say which card).
    void resultReceived(bool succeeded);
    void captureFailed(QString interfaceName, QString reason);

private slots:
    void onDataReady();
    void onTimerRefreshTimeout();
    void onCommLinkNetworkInfo(QByteArray data);
    void onCommLinkResult(QByteArray data);

private:
    void add(const Discovery::CardInfo& card, bool overUdp);
    void announce(bool overUdp);

    QTimer timerRefresh;
    QTimer m_nextReplies;
    QUdpSocket* udpRecv;
    QUdpSocket* udpSend;
    CommLink* m_link;
    Discovery::SearchRows m_rows;
    int m_announced = 0; // rows reported by cardsFound
    QQueue<QByteArray> m_networkInfo; // link-layer texts not taken yet
    QNetworkInterface m_joinedInterface;
    int m_cycleIntervalMs;
    int m_cyclesLeft = 0;
};
