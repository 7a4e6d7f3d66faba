#include "devsereachpage.h"

#include "cardframe.h"
#include "commlink.h"
#include "dialogsetip.h"
#include "discoveryparsers.h"
#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStylePainter>
#include <QStyledItemDelegate>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

constexpr int kInterfacePollMs = 250;

// The result tree sizes every column to its widest cell, as a header sizing
// its columns to their contents does, but measures each row once, when it
// comes: such a header measures up to a thousand rows whenever one is added.
class DeviceTree : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    int sizeHintForColumn(int column) const override { return m_widths.value(column, -1); }
    void rowsInserted(const QModelIndex& parent, int start, int end) override
    {
        for (int row = start; row <= end; ++row)
            measure(itemFromIndex(model()->index(row, 0, parent)));
        QTreeWidget::rowsInserted(parent, start, end);
    }
    void reset() override
    {
        m_widths.fill(-1);
        QTreeWidget::reset();
    }
    void changeEvent(QEvent* event) override
    {
        if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
            m_widths.fill(-1);
            for (int row = 0; row < topLevelItemCount(); ++row)
                measure(topLevelItem(row));
        }
        QTreeWidget::changeEvent(event);
    }

private:
    void measure(const QTreeWidgetItem* item) // and the rows below it
    {
        const int indent = indentation() * ((rootIsDecorated() ? 1 : 0) + (item->parent() ? 1 : 0));
        for (int column = 0; column < m_widths.size(); ++column) {
            const QModelIndex index = indexFromItem(item, column);
            const int width = itemDelegate(index)->sizeHint(viewOptions(), index).width() + (column ? 0 : indent);
            m_widths[column] = qMax(m_widths.at(column), width);
        }
        for (int i = 0; i < item->childCount(); ++i)
            measure(item->child(i));
    }

    QVector<int> m_widths = QVector<int>(DevSereachPage::ColMAC + 1, -1);
};

QString withAddresses(const QString& name, const QVariant& addresses)
{
    const QString text = addresses.toString();
    return text.isEmpty() ? name : name + QStringLiteral("  (") + text + QLatin1Char(')');
}

// The interface list: each entry's text is the interface's name, by which the
// search finds the interface; its IPv4 addresses are painted beside it, in
// the list and in the closed box, so the technician sees which adapter is
// on which network.
class InterfaceDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->text = withAddresses(option->text, index.data(DevSereachPage::kInterfaceAddressRole));
    }
};

class InterfaceComboBox : public QComboBox {
public:
    explicit InterfaceComboBox(QWidget* parent)
        : QComboBox(parent)
    {
        setItemDelegate(new InterfaceDelegate(this));
    }

    QSize minimumSizeHint() const override { return widened(QComboBox::minimumSizeHint()); }
    QSize sizeHint() const override { return widened(QComboBox::sizeHint()); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.currentText = withAddresses(option.currentText, currentData(DevSereachPage::kInterfaceAddressRole));
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        painter.drawControl(QStyle::CE_ComboBoxLabel, option);
    }

private:
    QSize widened(QSize size) const
    {
        int extra = 0;
        for (int i = 0; i < count(); ++i) {
            extra = qMax(extra,
                fontMetrics().horizontalAdvance(
                    withAddresses(itemText(i), itemData(i, DevSereachPage::kInterfaceAddressRole)))
                    - fontMetrics().horizontalAdvance(itemText(i)));
        }
        size.rwidth() += extra;
        return size;
    }
};

QString interfaceAddresses(const QNetworkInterface& iface)
{
    QStringList addresses;
    for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            addresses.append(entry.ip().toString());
    }
    return addresses.join(QStringLiteral(", "));
}

const QColor kDuplicateColour(255, 200, 200);
const QColor kOutsideColour(255, 228, 170);

} // namespace

void UI_DevSereachPage::setupUi(QWidget* page)
{
    page->setObjectName(QStringLiteral("DevSearchPage"));
    verticalLayout = new QVBoxLayout(page);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    treeWidgetDevice = new DeviceTree(page);
    treeWidgetDevice->setObjectName(QStringLiteral("treeWidgetDevice"));
    treeWidgetDevice->setColumnCount(6);
    treeWidgetDevice->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    treeWidgetDevice->header()->setStretchLastSection(true);
    treeWidgetDevice->setContextMenuPolicy(Qt::CustomContextMenu);
    treeWidgetDevice->setUniformRowHeights(true);
    // A double click connects to the card; the row stays open.
    treeWidgetDevice->setExpandsOnDoubleClick(false);
    verticalLayout->addWidget(treeWidgetDevice);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    labelFound = new QLabel(page);
    labelFound->setObjectName(QStringLiteral("labelFound"));
    horizontalLayout->addWidget(labelFound);
    horizontalLayout->addStretch();
    labelIntf = new QLabel(page);
    labelIntf->setObjectName(QStringLiteral("labelIntf"));
    horizontalLayout->addWidget(labelIntf);
    comboBoxIntf = new InterfaceComboBox(page);
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

DevSereachPage::DevSereachPage(QWidget* parent, int cycleIntervalMs)
    : QWidget(parent)
    , ui(std::make_unique<UI_DevSereachPage>())
    , timerIntf(this)
    , m_session(new DiscoverySession(this, cycleIntervalMs))
{
    ui->setupUi(this);
    timerIntf.setObjectName(QStringLiteral("timerIntf"));

    connect(ui->btnRefresh, &QPushButton::clicked, this, &DevSereachPage::onBtnRefreshClicked);
    connect(ui->treeWidgetDevice, &QWidget::customContextMenuRequested, this,
        &DevSereachPage::onCustomContextMenuRequested);
    connect(&timerIntf, &QTimer::timeout, this, &DevSereachPage::onTimerIntfTimeout);
    connect(m_session, &DiscoverySession::cardsFound, this, &DevSereachPage::onCardsFound);
    connect(m_session, &DiscoverySession::rowCompleted, this, &DevSereachPage::onRowCompleted);
    connect(m_session, &DiscoverySession::resultReceived, this, &DevSereachPage::onResultReceived);
    connect(m_session, &DiscoverySession::captureFailed, this, &DevSereachPage::onCaptureFailed);
    connect(ui->treeWidgetDevice, &QTreeWidget::itemDoubleClicked, this,
        &DevSereachPage::onTreeWidgetDeviceItemDoubleClicked);
    updateFound();

    timerIntf.start(kInterfacePollMs);
}

void DevSereachPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        updateFound();
        m_marks.fill(0xff); // differs from every mark: the tooltips again, in the new language
        updateMarks();
    }
    QWidget::changeEvent(event);
}

QList<QNetworkInterface> DevSereachPage::usableInterfaces()
{
    QList<QNetworkInterface> usable;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (Discovery::isUsableInterface(iface.flags()))
            usable.append(iface);
    }
    return usable;
}

void DevSereachPage::onTimerIntfTimeout()
{
    QStringList names;
    QStringList addresses;
    for (const QNetworkInterface& iface : usableInterfaces()) {
        names.append(iface.humanReadableName());
        addresses.append(interfaceAddresses(iface));
    }
    QComboBox* combo = ui->comboBoxIntf;
    if (names != intfList) {
        intfList = names;
        combo->clear();
        combo->addItems(names);
    }
    // An address that changes (a lease renewed) is shown without a refill,
    // which would change the entry chosen.
    bool changed = false;
    for (int i = 0; i < names.size() && i < combo->count(); ++i) {
        if (combo->itemData(i, kInterfaceAddressRole).toString() != addresses.at(i)) {
            combo->setItemData(i, addresses.at(i), kInterfaceAddressRole);
            changed = true;
        }
    }
    if (changed) {
        combo->updateGeometry();
        combo->update();
    }
}

void DevSereachPage::onBtnRefreshClicked()
{
    if (m_session->isSearching()) {
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

    ui->treeWidgetDevice->clear();
    currentItem = nullptr;
    m_marks.clear();
    m_subnets.clear();
    for (const QNetworkAddressEntry& entry : target.addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol)
            m_subnets.append({ entry.ip().toIPv4Address(), entry.netmask().toIPv4Address() });
    }
    m_searchedInterface = withAddresses(chosen, interfaceAddresses(target));
    m_lastSearch = QDateTime::currentDateTime();
    m_session->search(target);
    updateFound();
}

void DevSereachPage::updateFound()
{
    if (!m_lastSearch.isValid()) {
        ui->labelFound->setText(QCoreApplication::translate("DevSearchPage", "No search yet"));
        return;
    }
    ui->labelFound->setText(QCoreApplication::translate("DevSearchPage", "Cards found: %1    Last search: %2")
                                .arg(m_session->cards().size())
                                .arg(m_lastSearch.toString(QStringLiteral("hh:mm:ss"))));
}

// Marks the cards the technician will not reach as found: a shared address,
// or one outside the adapter's subnets. A new card may mark an older one.
void DevSereachPage::updateMarks()
{
    const QVector<quint8> marks = Discovery::rowMarks(m_session->cards(), m_subnets);
    QTreeWidget* tree = ui->treeWidgetDevice;
    const int count = qMin(marks.size(), tree->topLevelItemCount());
    m_marks.resize(count); // new rows: NoMark
    for (int row = 0; row < count; ++row) {
        const quint8 mark = marks.at(row);
        if (mark == m_marks.at(row))
            continue;
        m_marks[row] = mark;
        QTreeWidgetItem* item = tree->topLevelItem(tree->topLevelItemCount() - 1 - row);
        const QString host = item->text(ColHost);
        QStringList why;
        if (mark & Discovery::DuplicateAddress)
            why.append(tr("Another card answered with the same IP address %1: only one of them can be reached at "
                          "it. Give one of them other IP settings.")
                           .arg(host));
        if (mark & Discovery::OutsideSubnet)
            why.append(tr("%1 is outside the subnet of %2: this PC cannot reach the card over IP until the card "
                          "gets IP settings in that subnet.")
                           .arg(host, m_searchedInterface));
        const QBrush background = mark & Discovery::DuplicateAddress ? QBrush(kDuplicateColour)
            : mark & Discovery::OutsideSubnet                        ? QBrush(kOutsideColour)
                                                                     : QBrush();
        const QBrush foreground = mark ? QBrush(Qt::black) : QBrush();
        for (int column = ColHost; column <= ColMAC; ++column) {
            item->setBackground(column, background);
            item->setForeground(column, foreground);
            item->setToolTip(column, why.join(QLatin1Char('\n')));
        }
    }
}

void DevSereachPage::onTreeWidgetDeviceItemDoubleClicked(QTreeWidgetItem* item)
{
    if (item && item->text(ColHost).isEmpty())
        item = item->parent();
    if (!item)
        return;
    QString address = item->data(ColHost, kCardAddressRole).toString();
    if (address.isEmpty())
        address = item->text(ColHost);
    emit connectRequested(address);
}

void DevSereachPage::onCardsFound(int first, int count)
{
    // Newest on top, expanded so that the interfaces show. The cards of a
    // burst go in together: the tree lays itself out once for them.
    QList<QTreeWidgetItem*> rows;
    for (int row = first + count - 1; row >= first; --row) {
        rows.append(new QTreeWidgetItem());
        fillCardRow(rows.last(), m_session->cards().at(row));
    }
    ui->treeWidgetDevice->insertTopLevelItems(0, rows);
    for (QTreeWidgetItem* item : qAsConst(rows))
        item->setExpanded(true);
    updateMarks();
    updateFound();
}

void DevSereachPage::onRowCompleted(int row)
{
    QTreeWidget* tree = ui->treeWidgetDevice;
    QTreeWidgetItem* item = tree->topLevelItem(tree->topLevelItemCount() - 1 - row);
    fillCardRow(item, m_session->cards().at(row));
    item->setExpanded(true);
    updateMarks();
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

void DevSereachPage::onResultReceived(bool succeeded)
{
    emit cardResultReceived(succeeded);
    MessageBox::standard(this, QMessageBox::Information, tr("Device Reply"),
        tr("Operation %1!").arg(succeeded ? tr("succeed") : tr("failed")), QMessageBox::Ok);
}

void DevSereachPage::onCaptureFailed(const QString& interfaceName, const QString& reason)
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
        sendToCard(CardFrame::SetIp, address, hardwareAddress,
            Discovery::setIpRequest(settings.at(0), settings.at(1), settings.at(2), settings.at(3)),
            QStringLiteral("%1 %2/%3 %4").arg(settings.at(0), settings.at(1), settings.at(2), settings.at(3)));
    } else if (chosen == reboot) {
        if (refuseUnreachable(hardwareAddress))
            return;
        sendToCard(CardFrame::Reboot, address, hardwareAddress, QByteArray(), QString());
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

void DevSereachPage::sendToCard(quint32 command, const QString& address, const QString& hardwareAddress,
    const QByteArray& payload, const QString& what)
{
    const bool sent = m_session->sendToCard(command, hardwareAddress, payload);
    emit cardCommandSent(address, hardwareAddress, int(command), what, sent);
    if (sent)
        return;
    MessageBox::standard(this, QMessageBox::Warning, tr("Warning"),
        tr("The command could not be sent: the link-layer search is not running on %1. Search again on the "
           "card's interface.")
            .arg(m_session->link()->interfaceName().isEmpty() ? tr("any interface")
                                                              : m_session->link()->interfaceName()),
        QMessageBox::Ok);
}
