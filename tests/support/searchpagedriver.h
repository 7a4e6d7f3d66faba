#pragma once

#include "discovery/devsereachpage.h"

#include <QByteArray>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <functional>

class DialogSetIP;
class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;
class QUdpSocket;

// The device search page, shown, with handles on its parts and the moves a
// technician makes on it. Waits are bounded; they return false on time-out.
class SearchPageDriver {
public:
    explicit SearchPageDriver(int cycleIntervalMs = DiscoverySession::kCycleIntervalMs);

    DevSereachPage page;
    QTreeWidget* tree = nullptr;
    QComboBox* combo = nullptr;
    DiscoverySession* session = nullptr; // the page's
    QTimer* cycles = nullptr; // the session's search-cycle timer
    QUdpSocket* listener = nullptr; // the session's socket on port 8888

    QStringList interfaces() const;
    bool choose(const QString& interfaceName);
    // Presses "Refresh". Only ever inside a network namespace of the test's own.
    void search();
    bool waitSearchEnd(int ms = 10000);
    // A whole search: presses "Refresh", waits for its last cycle and for at
    // least `rows` rows, then a moment for the last cycle's replies.
    bool searchAndWait(int rows = 0);

    QStringList hosts() const;
    QStringList macs() const; // the card hardware address of each row, empty where none
    QTreeWidgetItem* row(const QString& host, const QString& hardwareAddress = QString()) const;
    // Asks for the context menu on a row, or on empty space for null.
    void menuOn(QTreeWidgetItem* item);

    // Sends a datagram from `from` (a loopback address) to the page's port
    // and waits until the page has taken it.
    bool deliver(const QString& from, const QByteArray& datagram);
    // Hands a text to the page's session as if the link layer had received it.
    bool networkInfo(const QByteArray& text);
    bool result(const QByteArray& text);
    // Waits until the page's session has taken every reply it was given.
    bool allShown();
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

// Fills in the set-IP dialog and presses "Sure".
std::function<void(DialogSetIP*)> fillSetIP(
    const QString& interface, const QString& ip, const QString& netmask, const QString& gateway);
