#include "devsereachpage.h"

#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"
#include "cardframe.h"
#include "commlink.h"
#include "dialogsetip.h"
#include "discoveryparsers.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kInterfacePollMs = 250;
// Room for the replies of some hundred cards arriving at once; the kernel
// may grant less.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
// Datagrams taken per readiness notification, so a flood cannot hold the
// GUI thread; the rest come with the next notification.
constexpr int kDatagramsPerRead = 4096;

int g_cycleIntervalMs = 1000;

const QHostAddress& multicastGroup()
{
    static const QHostAddress group(QString::fromLatin1(Discovery::kMulticastGroup));
    return group;
}

} // namespace

void UI_DevSereachPage::setupUi(QWidget* page)
{
    page->setObjectName(QStringLiteral("DevSearchPage"));
    verticalLayout = new QVBoxLayout(page);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    treeWidgetDevice = new QTreeWidget(page);
    treeWidgetDevice->setObjectName(QStringLiteral("treeWidgetDevice"));
    treeWidgetDevice->setColumnCount(6);
    treeWidgetDevice->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    treeWidgetDevice->header()->setStretchLastSection(true);
    treeWidgetDevice->setContextMenuPolicy(Qt::CustomContextMenu);
    verticalLayout->addWidget(treeWidgetDevice);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addStretch();
    labelIntf = new QLabel(page);
    labelIntf->setObjectName(QStringLiteral("labelIntf"));
    horizontalLayout->addWidget(labelIntf);
    comboBoxIntf = new QComboBox(page);
    comboBoxIntf->setObjectName(QStringLiteral("comboBoxIntf"));
    comboBoxIntf->setMinimumWidth(100);
    labelIntf->setBuddy(comboBoxIntf);
    horizontalLayout->addWidget(comboBoxIntf);
    btnRefresh = new QPushButton(page);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    horizontalLayout->addWidget(btnRefresh);
    verticalLayout->addLayout(horizontalLayout);

    QWidget::setTabOrder(treeWidgetDevice, comboBoxIntf);
    QWidget::setTabOrder(comboBoxIntf, btnRefresh);
    retranslateUi(page);
}

void UI_DevSereachPage::retranslateUi(QWidget*)
{
    treeWidgetDevice->setHeaderLabels({ QCoreApplication::translate("DevSearchPage", "Host"),
        QCoreApplication::translate("DevSearchPage", "Product"),
        QCoreApplication::translate("DevSearchPage", "Interface"), QCoreApplication::translate("DevSearchPage", "IP"),
        QCoreApplication::translate("DevSearchPage", "Netmask"), QCoreApplication::translate("DevSearchPage", "MAC") });
    treeWidgetDevice->setAccessibleName(QCoreApplication::translate("DevSearchPage", "Cards found"));
    labelIntf->setText(QCoreApplication::translate("DevSearchPage", "Interface:"));
    btnRefresh->setText(QCoreApplication::translate("DevSearchPage", "Refresh"));
}

void DevSereachPage::setCycleIntervalMs(int ms)
{
    g_cycleIntervalMs = ms;
}

DevSereachPage::DevSereachPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_unique<UI_DevSereachPage>())
    , timerRefresh(this)
    , timerIntf(this)
    , udpRecv(new QUdpSocket(this))
    , udpSend(new QUdpSocket(this))
    , commLink(new CommLink(this))
{
    ui->setupUi(this);
    timerRefresh.setObjectName(QStringLiteral("timerRefresh"));
    timerIntf.setObjectName(QStringLiteral("timerIntf"));

    // Shared, so a second copy of the tool on this PC (or another listener
    // of the search port) does not leave this one deaf.
    udpRecv->bind(
        QHostAddress::AnyIPv4, Discovery::kSearchPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    udpRecv->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    udpSend->bind(QHostAddress::AnyIPv4, Discovery::kRequestSourcePort);
    // The page's own requests begin like a reply. Where the platform loops
    // multicast back by the sending socket's option (Linux), the sender's
    // switch is the one that counts; elsewhere the receiver's does.
    udpRecv->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    udpSend->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);

    connect(ui->btnRefresh, &QPushButton::clicked, this, &DevSereachPage::onBtnRefreshClicked);
    connect(ui->treeWidgetDevice, &QWidget::customContextMenuRequested, this,
        &DevSereachPage::onCustomContextMenuRequested);
    connect(udpRecv, &QUdpSocket::readyRead, this, &DevSereachPage::onDataReady);
    connect(&timerRefresh, &QTimer::timeout, this, &DevSereachPage::onTimerRefreshTimeout);
    connect(&timerIntf, &QTimer::timeout, this, &DevSereachPage::onTimerIntfTimeout);
    connect(commLink, &CommLink::gotNetworkInfo, this, &DevSereachPage::onCommLinkNetworkInfo);
    connect(commLink, &CommLink::gotResult, this, &DevSereachPage::onCommLinkResult);
    connect(commLink, &CommLink::captureFailed, this, &DevSereachPage::onCommLinkCaptureFailed);

    timerIntf.start(kInterfacePollMs);
}

DevSereachPage::~DevSereachPage()
{
    if (m_joinedInterface.isValid())
        udpRecv->leaveMulticastGroup(multicastGroup(), m_joinedInterface);
}

void DevSereachPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
    QWidget::changeEvent(event);
}

QList<QNetworkInterface> DevSereachPage::usableInterfaces()
{
    QList<QNetworkInterface> usable;
    const QList<QNetworkInterface> all = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : all) {
        if (Discovery::isUsableInterface(iface.flags()))
            usable.append(iface);
    }
    return usable;
}

void DevSereachPage::onTimerIntfTimeout()
{
    QStringList names;
    for (const QNetworkInterface& iface : usableInterfaces())
        names.append(iface.humanReadableName());
    if (names == intfList)
        return;
    intfList = names;
    ui->comboBoxIntf->clear();
    ui->comboBoxIntf->addItems(names);
}

void DevSereachPage::onBtnRefreshClicked()
{
    if (refreshCount > 0) {
        MessageBox::standard(
            this, QMessageBox::Information, tr("Search device"), tr("Searching device..."), QMessageBox::Ok);
        return;
    }
    const QString chosen = ui->comboBoxIntf->currentText();
    QNetworkInterface target;
    for (const QNetworkInterface& iface : usableInterfaces()) {
        if (iface.humanReadableName() == chosen) {
            target = iface;
            break;
        }
    }
    if (!target.isValid()) {
        MessageBox::standard(this, QMessageBox::Information, tr("Search device"),
            tr("Network interface is not accessible!"), QMessageBox::Ok);
        return;
    }

    commLink->setInterface(target.name(), target.hardwareAddress());
    if (m_joinedInterface.isValid() && m_joinedInterface.name() != target.name())
        udpRecv->leaveMulticastGroup(multicastGroup(), m_joinedInterface);
    udpRecv->joinMulticastGroup(multicastGroup(), target); // a repeated join fails harmlessly
    m_joinedInterface = target;
    udpSend->setMulticastInterface(target);

    ui->treeWidgetDevice->clear();
    currentItem = nullptr;
    m_rows.clear();

    refreshCount = kSearchCycles;
    onTimerRefreshTimeout();
    timerRefresh.start(g_cycleIntervalMs);
}

void DevSereachPage::onTimerRefreshTimeout()
{
    if (refreshCount == 0) {
        timerRefresh.stop();
        return;
    }
    quint32 address = 0;
    quint32 netmask = 0;
    const QList<QNetworkAddressEntry> entries = udpSend->multicastInterface().addressEntries();
    for (const QNetworkAddressEntry& entry : entries) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
            address = entry.ip().toIPv4Address();
            netmask = entry.netmask().toIPv4Address();
        }
    }
    commLink->sendCommand(CardFrame::Search, QString(), QByteArray());
    udpSend->writeDatagram(Discovery::buildRequest(address, netmask), multicastGroup(), Discovery::kSearchPort);
    --refreshCount;
}

void DevSereachPage::onDataReady()
{
    for (int taken = 0; taken < kDatagramsPerRead && udpRecv->hasPendingDatagrams(); ++taken) {
        const QNetworkDatagram datagram = udpRecv->receiveDatagram();
        if (!datagram.isValid())
            break;
        if (const auto card = Discovery::parseUdpReply(datagram.data(), datagram.senderAddress()))
            addCard(*card, true);
    }
    // The socket announces only datagrams that arrive later: come back for
    // what is left.
    if (udpRecv->hasPendingDatagrams())
        QTimer::singleShot(0, this, &DevSereachPage::onDataReady);
}

void DevSereachPage::onCommLinkNetworkInfo(QByteArray data)
{
    if (const auto card = Discovery::parseNetworkInfo(data))
        addCard(*card, false);
}

void DevSereachPage::addCard(const Discovery::CardInfo& card, bool fromUdp)
{
    int index = 0;
    switch (m_rows.add(card, fromUdp, &index)) {
    case Discovery::SearchRows::Outcome::Repeated: return;
    case Discovery::SearchRows::Outcome::Completed: {
        // The newest card is on top: the tree holds the rows in reverse.
        QTreeWidget* tree = ui->treeWidgetDevice;
        QTreeWidgetItem* row = tree->topLevelItem(tree->topLevelItemCount() - 1 - index);
        fillCardRow(row, m_rows.rows().at(index));
        row->setExpanded(true);
        return;
    }
    case Discovery::SearchRows::Outcome::Added: {
        auto* row = new QTreeWidgetItem();
        fillCardRow(row, card);
        ui->treeWidgetDevice->insertTopLevelItem(0, row);
        row->setExpanded(true);
        return;
    }
    }
}

void DevSereachPage::fillCardRow(QTreeWidgetItem* row, const Discovery::CardInfo& card)
{
    row->setText(ColHost, card.host);
    row->setText(ColProduct, card.productUnknown ? tr("Unknown") : card.product);
    if (!card.cardAddress.isEmpty())
        row->setData(ColHost, kCardAddressRole, card.cardAddress);
    if (!card.cardHardwareAddress.isEmpty())
        row->setData(ColHost, kCardHardwareAddressRole, card.cardHardwareAddress);
    qDeleteAll(row->takeChildren());
    for (const Discovery::CardInterface& entry : card.interfaces) {
        auto* child = new QTreeWidgetItem(row);
        child->setText(ColInterface, entry.name);
        child->setText(ColIP, entry.address);
        child->setText(ColNetmask, entry.netmask);
        child->setText(ColMAC, entry.hardwareAddress);
    }
}

void DevSereachPage::onCommLinkResult(QByteArray data)
{
    const auto result = Discovery::parseResult(data);
    if (!result)
        return;
    MessageBox::standard(this, QMessageBox::Information, tr("Device Reply"),
        tr("Operation %1!").arg(*result ? tr("succeed") : tr("failed")), QMessageBox::Ok);
}

void DevSereachPage::onCommLinkCaptureFailed(const QString& interfaceName, const QString& reason)
{
    // Told once per interface: every later search on it tries again quietly.
    if (m_captureWarned.contains(interfaceName))
        return;
    m_captureWarned.insert(interfaceName);
    MessageBox::standard(this, QMessageBox::Warning, tr("Search device"),
        tr("The link-layer search cannot run on %1: %2.\n"
           "Cards whose IP settings do not fit this PC's network will not be found, and no card can be "
           "given new IP settings or rebooted from here. The UDP search goes on.")
            .arg(interfaceName, reason),
        QMessageBox::Ok);
}

void DevSereachPage::onCustomContextMenuRequested(QPoint pos)
{
    QTreeWidgetItem* item = ui->treeWidgetDevice->itemAt(pos);
    if (!item)
        return;
    if (item->text(ColHost).isEmpty()) {
        // An interface row stands for its card. A card row without an
        // address has no row above it: no menu then.
        item = item->parent();
        if (!item)
            return;
    }
    currentItem = item;

    // What the actions need, taken now: the tree may change while the menu
    // and the dialog run their own event loops.
    const QString address = item->data(ColHost, kCardAddressRole).toString();
    const QString hardwareAddress = item->data(ColHost, kCardHardwareAddressRole).toString();
    QStringList interfaces;
    for (int i = 0; i < item->childCount(); ++i)
        interfaces.append(item->child(i)->text(ColInterface));

    QMenu menu(this);
    QAction* browse = menu.addAction(tr("Browse device"));
    QAction* setIp = interfaces.isEmpty() ? nullptr : menu.addAction(tr("Set IP address"));
    QAction* reboot = menu.addAction(tr("Reboot"));
    // At the pointer for a mouse click; at the current row for the menu key.
    QAction* chosen = DialogPrompt::popup(&menu, ui->treeWidgetDevice->viewport()->mapToGlobal(pos));
    if (!chosen)
        return;

    if (chosen == browse) {
        QDesktopServices::openUrl(QUrl(QStringLiteral("http://") + address, QUrl::TolerantMode));
    } else if (chosen == setIp) {
        if (refuseUnreachable(hardwareAddress))
            return;
        DialogSetIP dialog(nullptr);
        dialog.setInterfaces(interfaces);
        if (dialog.exec() != QDialog::Accepted)
            return;
        const QStringList settings = dialog.ipSettings();
        sendToCard(CardFrame::SetIp, hardwareAddress,
            Discovery::setIpRequest(settings.at(0), settings.at(1), settings.at(2), settings.at(3)));
    } else if (chosen == reboot) {
        if (refuseUnreachable(hardwareAddress))
            return;
        sendToCard(CardFrame::Reboot, hardwareAddress, QByteArray());
    }
}

bool DevSereachPage::refuseUnreachable(const QString& hardwareAddress)
{
    // Without a hardware address the frame would go to the broadcast address
    // and reach every card on the segment.
    if (hardwareAddress.isEmpty()) {
        MessageBox::standard(this, QMessageBox::Warning, tr("Warning"),
            tr("This card did not report its hardware address, and this command reaches a card only by "
               "its hardware address. Nothing was sent.\n"
               "Search again: a card that answers the link-layer search reports it."),
            QMessageBox::Ok);
        return true;
    }
    if (!CardFrame::isUnicastHardwareAddressText(hardwareAddress)) {
        MessageBox::standard(this, QMessageBox::Warning, tr("Warning"),
            tr("The hardware address %1 that this card reported does not name a single card. Nothing was "
               "sent.")
                .arg(hardwareAddress),
            QMessageBox::Ok);
        return true;
    }
    return false;
}

void DevSereachPage::sendToCard(quint32 command, const QString& hardwareAddress, const QByteArray& payload)
{
    if (commLink->sendCommand(command, hardwareAddress, payload))
        return;
    MessageBox::standard(this, QMessageBox::Warning, tr("Warning"),
        tr("The command could not be sent: the link-layer search is not running on %1. Search again on the "
           "card's interface.")
            .arg(commLink->interfaceName().isEmpty() ? tr("any interface") : commLink->interfaceName()),
        QMessageBox::Ok);
}
