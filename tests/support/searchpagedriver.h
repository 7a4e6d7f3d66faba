#pragma once

#include "discovery/devsereachpage.h"

#include <QTimer>
#include <functional>

class DialogSetIP;
class QTreeWidget;
class QTreeWidgetItem;
class QUdpSocket;

// Replies handed to a discovery session without any search: datagrams to its
// listening socket over loopback, texts as if its link layer had received
// them. Each waits (bounded) until the session has taken them.
class SessionFeeder {
public:
    explicit SessionFeeder(DiscoverySession* session);
    bool deliver(const QString& from, const QByteArray& datagram); // from a loopback address
    bool networkInfo(const QByteArray& text);

private:
    bool taken() const;
    DiscoverySession* m_session;
    QUdpSocket* m_listener = nullptr;
    QTimer* m_nextReplies = nullptr;
};

QByteArray hex(const char* text);
// A UDP reply of a card with one interface eth0 at `address`; long form with
// `mac` (hexadecimal bytes) when one is given.
QByteArray udpReply(const QString& address, const QByteArray& product, const char* mac = nullptr);
// Network information: eth0 at `interfaceAddress` with `mac`, and an eth1.
QByteArray networkInfoText(const QString& host, const QString& interfaceAddress, const QString& mac);

// The device search page, shown, and the moves a technician makes on it.
// Waits are bounded; they return false on time-out.
class SearchPageDriver {
public:
    explicit SearchPageDriver(int cycleIntervalMs = DiscoverySession::kCycleIntervalMs);

    DevSereachPage page;
    QTreeWidget* tree = nullptr;
    DiscoverySession* session = nullptr; // the page's
    SessionFeeder feed { session };

    bool choose(const QString& interfaceName);
    // Presses "Refresh" (only ever inside a network namespace of the test's
    // own), waits for its last cycle and for at least `rows` rows, then a
    // moment for the last cycle's replies.
    bool searchAndWait(int rows = 0);

    QStringList hosts() const;
    QStringList macs() const; // the card hardware address of each row, empty where none
    QTreeWidgetItem* row(const QString& host, const QString& hardwareAddress = QString()) const;
    void menuOn(QTreeWidgetItem* item); // the context menu on a row, or on empty space for null
};

// Runs `act` on the set-IP dialog once it is open (the page runs it modally).
class DialogSetIPWatcher : public QObject {
public:
    explicit DialogSetIPWatcher(std::function<void(DialogSetIP*)> act);
    bool seen = false;

private:
    QTimer m_timer;
    int m_ticks = 0;
};
