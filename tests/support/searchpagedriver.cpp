#include "searchpagedriver.h"

#include "discovery/dialogsetip.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUdpSocket>
#include <QtTest>

namespace {

template <typename Condition> bool waitFor(Condition done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(5);
    return done();
}

} // namespace

SearchPageDriver::SearchPageDriver(int cycleIntervalMs)
    : page(nullptr, cycleIntervalMs)
    , session(page.findChild<DiscoverySession*>())
{
    page.resize(1000, 600);
    page.show();
    tree = page.findChild<QTreeWidget*>(QStringLiteral("treeWidgetDevice"));
    combo = page.findChild<QComboBox*>(QStringLiteral("comboBoxIntf"));
    cycles = session->findChild<QTimer*>(QStringLiteral("timerRefresh"));
}

QStringList SearchPageDriver::interfaces() const
{
    QStringList names;
    for (int i = 0; i < combo->count(); ++i)
        names.append(combo->itemText(i));
    return names;
}

bool SearchPageDriver::choose(const QString& interfaceName)
{
    waitFor([&] { return combo->findText(interfaceName) >= 0; }, 3000);
    combo->setCurrentIndex(combo->findText(interfaceName));
    return combo->currentText() == interfaceName;
}

void SearchPageDriver::search()
{
    QTest::mouseClick(page.findChild<QPushButton*>(QStringLiteral("btnRefresh")), Qt::LeftButton);
}

bool SearchPageDriver::waitSearchEnd(int ms)
{
    return waitFor([&] { return !cycles->isActive(); }, ms);
}

bool SearchPageDriver::searchAndWait(int rows)
{
    search();
    const bool done = waitSearchEnd() && waitFor([&] { return tree->topLevelItemCount() >= rows; }, 10000);
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
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(i);
        if (item->text(0) == host
            && (hardwareAddress.isEmpty()
                || item->data(0, DevSereachPage::kCardHardwareAddressRole).toString() == hardwareAddress))
            return item;
    }
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
    for (QUdpSocket* s : session->findChildren<QUdpSocket*>()) {
        if (s->localPort() == 8888)
            m_listener = s;
    }
}

bool SessionFeeder::deliver(const QString& from, const QByteArray& datagram)
{
    QUdpSocket sender;
    if (!m_listener || !sender.bind(QHostAddress(from), 0))
        return false;
    if (sender.writeDatagram(datagram, QHostAddress::LocalHost, 8888) != datagram.size())
        return false;
    // Loopback delivers at once; the session takes it at its next notification.
    return waitFor([&] { return m_listener->hasPendingDatagrams(); }, 2000) && taken();
}

bool SessionFeeder::networkInfo(const QByteArray& text)
{
    return QMetaObject::invokeMethod(m_session, "onCommLinkNetworkInfo", Q_ARG(QByteArray, text)) && taken();
}

bool SessionFeeder::taken() const
{
    // The session takes replies in batches, one a turn of the event loop.
    return waitFor([&] { return !m_listener->hasPendingDatagrams() && !m_nextReplies->isActive(); }, 2000);
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray udpReply(const QString& address, const QByteArray& product, const char* mac)
{
    QByteArray reply = hex("00 25 18");
    reply.append(char(product.size())).append(product);
    if (mac)
        reply.append(hex("00 12"));
    reply.append(hex("04")).append("eth0");
    const quint32 a = QHostAddress(address).toIPv4Address();
    for (int shift = 24; shift >= 0; shift -= 8)
        reply.append(char(a >> shift));
    reply.append(hex("FF FF FF 00"));
    if (mac)
        reply.append(hex(mac));
    return reply;
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

std::function<void(DialogSetIP*)> fillSetIP(
    const QString& interface, const QString& ip, const QString& netmask, const QString& gateway)
{
    return [=](DialogSetIP* dialog) {
        auto* combo = dialog->findChild<QComboBox*>(QStringLiteral("comboBoxIntf"));
        combo->setCurrentIndex(combo->findText(interface));
        dialog->findChild<QLineEdit*>(QStringLiteral("leIP"))->setText(ip);
        dialog->findChild<QLineEdit*>(QStringLiteral("leNetmask"))->setText(netmask);
        dialog->findChild<QLineEdit*>(QStringLiteral("leGateway"))->setText(gateway);
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("btnSure")), Qt::LeftButton);
    };
}
