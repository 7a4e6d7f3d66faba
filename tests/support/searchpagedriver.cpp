#include "searchpagedriver.h"

#include "discovery/dialogsetip.h"
#include "waituntil.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

SearchPageDriver::SearchPageDriver(int cycleIntervalMs)
    : page(nullptr, cycleIntervalMs)
    , session(page.findChild<DiscoverySession*>())
{
    page.resize(1000, 600);
    page.show();
    tree = page.findChild<QTreeWidget*>(QStringLiteral("treeWidgetDevice"));
}

bool SearchPageDriver::choose(const QString& interfaceName)
{
    auto* combo = page.findChild<QComboBox*>(QStringLiteral("comboBoxIntf"));
    waitUntil([&] { return combo->findText(interfaceName) >= 0; }, 3000);
    combo->setCurrentIndex(combo->findText(interfaceName));
    return combo->currentText() == interfaceName;
}

bool SearchPageDriver::searchAndWait(int rows)
{
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnRefresh")), Qt::LeftButton);
    auto* cycles = session->findChild<QTimer*>(QStringLiteral("timerRefresh"));
    const bool done = waitUntil([&] { return !cycles->isActive() && tree->topLevelItemCount() >= rows; }, 20000);
    QTest::qWait(100);
    return done;
}

QStringList SearchPageDriver::hosts() const
{
    QStringList result;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        result.append(tree->topLevelItem(i)->text(0));
    return result;
}

QStringList SearchPageDriver::macs() const
{
    QStringList result;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        result.append(tree->topLevelItem(i)->data(0, DevSereachPage::kCardHardwareAddressRole).toString());
    return result;
}

QTreeWidgetItem* SearchPageDriver::row(const QString& host, const QString& hardwareAddress) const
{
    const QStringList all = hosts(), found = macs();
    for (int i = 0; i < all.size(); ++i)
        if (all.at(i) == host && (hardwareAddress.isEmpty() || found.at(i) == hardwareAddress))
            return tree->topLevelItem(i);
    return nullptr;
}

void SearchPageDriver::menuOn(QTreeWidgetItem* item)
{
    QPoint pos(5, tree->viewport()->height() - 5);
    if (item) {
        tree->scrollToItem(item);
        pos = tree->visualItemRect(item).center();
    }
    emit tree->customContextMenuRequested(pos);
}

SessionFeeder::SessionFeeder(DiscoverySession* session)
    : m_session(session)
    , m_nextReplies(session->findChild<QTimer*>(QStringLiteral("timerReplies")))
{
    for (QUdpSocket* s : session->findChildren<QUdpSocket*>())
        if (s->localPort() == 8888)
            m_listener = s;
}

bool SessionFeeder::deliver(const QString& from, const QByteArray& datagram)
{
    QUdpSocket sender;
    return m_listener && sender.bind(QHostAddress(from), 0)
        && sender.writeDatagram(datagram, QHostAddress::LocalHost, 8888) == datagram.size()
        && waitUntil([&] { return m_listener->hasPendingDatagrams(); }, 2000) && taken();
}

bool SessionFeeder::networkInfo(const QByteArray& text)
{
    return QMetaObject::invokeMethod(m_session, "onCommLinkNetworkInfo", Q_ARG(QByteArray, text)) && taken();
}

bool SessionFeeder::taken() const
{
    // The session takes replies in batches, one a turn of the event loop.
    return waitUntil([&] { return !m_listener->hasPendingDatagrams() && !m_nextReplies->isActive(); }, 2000);
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray udpReply(const QString& address, const QByteArray& product, const char* mac)
{
    QByteArray reply = hex("00 25 18");
    reply.append(char(product.size()))
        .append(product)
        .append(mac ? hex("00 12") : QByteArray())
        .append("\x04"
                "eth0");
    const quint32 a = QHostAddress(address).toIPv4Address();
    for (int shift = 24; shift >= 0; shift -= 8)
        reply.append(char(a >> shift));
    return reply.append(hex("FF FF FF 00")).append(mac ? hex(mac) : QByteArray());
}

QByteArray networkInfoText(const QString& host, const QString& interfaceAddress, const QString& mac)
{
    return QStringLiteral(
        R"({"host":"%1","product":"NQ","intfInfo":[["eth0","%2","255.255.0.0","%3"],["eth1","172.17.0.1","255.255.0.0","02:00:00:00:00:99"]]})")
        .arg(host, interfaceAddress, mac)
        .toUtf8();
}

DialogSetIPWatcher::DialogSetIPWatcher(std::function<void(DialogSetIP*)> act)
{
    connect(&m_timer, &QTimer::timeout, this, [this, act] {
        if (++m_ticks > 1000)
            return;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<DialogSetIP*>(w);
            if (dialog && dialog->isVisible()) {
                seen = true;
                act(dialog);
            }
        }
    });
    m_timer.start(10);
}
