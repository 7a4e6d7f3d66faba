#pragma once

#include "searchrows.h"

#include <QByteArray>
#include <QNetworkInterface>
#include <QPoint>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <memory>

class CommLink;
class QComboBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QUdpSocket;
class QVBoxLayout;

// The widgets of the search page.
struct UI_DevSereachPage {
    QVBoxLayout* verticalLayout = nullptr;
    QTreeWidget* treeWidgetDevice = nullptr;
    QHBoxLayout* horizontalLayout = nullptr;
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
// hardware address only, never to every card.
class DevSereachPage : public QWidget {
    Q_OBJECT

public:
    explicit DevSereachPage(QWidget* parent = nullptr);
    ~DevSereachPage() override;

    // Columns of the result tree.
    enum Column { ColHost, ColProduct, ColInterface, ColIP, ColNetmask, ColMAC };
    // Data of a card row's first column.
    static constexpr int kCardAddressRole = Qt::UserRole + 1;
    static constexpr int kCardHardwareAddressRole = Qt::UserRole + 2;
    static constexpr int kSearchCycles = 3;

    // The time between the cycles of a search (1000 ms). Tests shorten it.
    static void setCycleIntervalMs(int ms);

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void onBtnRefreshClicked();
    void onCustomContextMenuRequested(QPoint pos);
    void onDataReady();
    void onTimerRefreshTimeout();
    void onTimerIntfTimeout();
    void onCommLinkNetworkInfo(QByteArray data);
    void onCommLinkResult(QByteArray data);

private:
    void addCard(const Discovery::CardInfo& card, bool fromUdp);
    static void fillCardRow(QTreeWidgetItem* row, const Discovery::CardInfo& card);
    void onCommLinkCaptureFailed(const QString& interfaceName, const QString& reason);
    bool refuseUnreachable(const QString& hardwareAddress);
    void sendToCard(quint32 command, const QString& hardwareAddress, const QByteArray& payload);
    static QList<QNetworkInterface> usableInterfaces();

    std::unique_ptr<UI_DevSereachPage> ui;
    QTreeWidgetItem* currentItem = nullptr;
    QTimer timerRefresh;
    QTimer timerIntf;
    QUdpSocket* udpRecv;
    QUdpSocket* udpSend;
    CommLink* commLink;
    Discovery::SearchRows m_rows; // the rows of the tree, oldest first
    QStringList intfList;
    int refreshCount = 0;

    QNetworkInterface m_joinedInterface;
    QSet<QString> m_captureWarned; // interfaces whose capture failure was told already
};
