#pragma once

#include "discoverysession.h"

#include <QDateTime>
#include <QPoint>
#include <QSet>
#include <QStringList>
#include <QWidget>

#include <memory>

class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

// The widgets of the search page.
struct UI_DevSereachPage {
    QVBoxLayout* verticalLayout = nullptr;
    QTreeWidget* treeWidgetDevice = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
    QLabel* labelFound = nullptr;
    QLabel* labelIntf = nullptr;
    QComboBox* comboBoxIntf = nullptr;
    QPushButton* btnRefresh = nullptr;

    void setupUi(QWidget* page);
    void retranslateUi(QWidget* page);
};

// Finds the network-management cards on the local network by two protocols
// at once, on the interface the technician chose: a UDP multicast search and
// a link-layer search that also reaches cards whose IP settings do not fit
// the PC's subnet. Each card becomes a row with its interfaces below it; from
// a card's context menu the technician opens its web page, gives it new IP
// settings or reboots it. The last two go over the link layer to the card's
// hardware address only, never to every card. The searching, the commands
// and their answers are a DiscoverySession's; the page shows what it reports.
class DevSereachPage : public QWidget {
    Q_OBJECT

public:
    // `cycleIntervalMs`: the time between the cycles of a search.
    explicit DevSereachPage(QWidget* parent = nullptr, int cycleIntervalMs = DiscoverySession::kCycleIntervalMs);

    // Columns of the result tree.
    enum Column { ColHost, ColProduct, ColInterface, ColIP, ColNetmask, ColMAC };
    // Data of a card row's first column.
    static constexpr int kCardAddressRole = Qt::UserRole + 1;
    static constexpr int kCardHardwareAddressRole = Qt::UserRole + 2;
    // Of an entry of the interface list: its IPv4 addresses, shown beside
    // the name (the entry's text stays the name alone).
    static constexpr int kInterfaceAddressRole = Qt::UserRole + 1;

signals:
    // The technician double-clicked a card: connect to it.
    void connectRequested(const QString& address);
    // Set-IP or reboot went to a card over the link layer (or could not);
    // `what` tells the settings sent.
    void cardCommandSent(
        const QString& address, const QString& hardwareAddress, int command, const QString& what, bool sent);
    // A card answered set-IP or reboot (the answer does not say which card).
    void cardResultReceived(bool succeeded);

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void onBtnRefreshClicked();
    void onCustomContextMenuRequested(QPoint pos);
    void onTimerIntfTimeout();
    void onCardsFound(int first, int count);
    void onRowCompleted(int row);
    void onResultReceived(bool succeeded);
    void onCaptureFailed(const QString& interfaceName, const QString& reason);
    void onTreeWidgetDeviceItemDoubleClicked(QTreeWidgetItem* item);

private:
    static void fillCardRow(QTreeWidgetItem* row, const Discovery::CardInfo& card);
    bool refuseUnreachable(const QString& hardwareAddress);
    void sendToCard(quint32 command, const QString& address, const QString& hardwareAddress, const QByteArray& payload,
        const QString& what);
    static QList<QNetworkInterface> usableInterfaces();
    void updateMarks();
    void updateFound();

    std::unique_ptr<UI_DevSereachPage> ui;
    QTreeWidgetItem* currentItem = nullptr;
    QTimer timerIntf;
    DiscoverySession* m_session; // its cards are the tree's rows, the newest on top
    QStringList intfList;
    QSet<QString> m_captureWarned; // interfaces whose capture failure was told already
    QVector<Discovery::Subnet> m_subnets; // of the interface searched last
    QString m_searchedInterface;
    QVector<quint8> m_marks; // shown, in step with the session's cards
    QDateTime m_lastSearch;
};
