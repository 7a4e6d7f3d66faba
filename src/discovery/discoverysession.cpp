#include "discoverysession.h"

#include "cardframe.h"
#include "commlink.h"

#include <QNetworkDatagram>
#include <QUdpSocket>

namespace {

// Room for the replies of some thousand cards arriving at once; the kernel
// may grant less.
constexpr int kReceiveBufferBytes = 4 * 1024 * 1024;
// Replies of each protocol taken per turn of the event loop, so that a burst
// of them never holds it for long; the rest wait for the next turn.
constexpr int kRepliesPerTurn = 64;

const QHostAddress& multicastGroup()
{
    static const QHostAddress group(QString::fromLatin1(Discovery::kMulticastGroup));
    return group;
}

} // namespace

DiscoverySession::DiscoverySession(QObject* parent, int cycleIntervalMs)
    : QObject(parent)
    , timerRefresh(this)
    , m_nextReplies(this)
    , udpRecv(new QUdpSocket(this))
    , udpSend(new QUdpSocket(this))
    , m_link(new CommLink(this))
    , m_cycleIntervalMs(cycleIntervalMs)
{
    timerRefresh.setObjectName(QStringLiteral("timerRefresh"));
    m_nextReplies.setObjectName(QStringLiteral("timerReplies"));
    m_nextReplies.setSingleShot(true); // at the next turn
    // Shared, so that a second listener on this PC does not leave this one deaf.
    udpRecv->bind(
        QHostAddress::AnyIPv4, Discovery::kSearchPort, QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    udpRecv->setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, kReceiveBufferBytes);
    udpSend->bind(QHostAddress::AnyIPv4, Discovery::kRequestSourcePort);
    // The requests begin like a reply. Where the platform loops multicast
    // back by the sending socket's option (Linux), the sender's switch is the
    // one that counts; elsewhere the receiver's does.
    udpRecv->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);
    udpSend->setSocketOption(QAbstractSocket::MulticastLoopbackOption, 0);

    connect(udpRecv, &QUdpSocket::readyRead, this, &DiscoverySession::onDataReady);
    connect(&m_nextReplies, &QTimer::timeout, this, &DiscoverySession::onDataReady);
    connect(&timerRefresh, &QTimer::timeout, this, &DiscoverySession::onTimerRefreshTimeout);
    connect(m_link, &CommLink::gotNetworkInfo, this, &DiscoverySession::onCommLinkNetworkInfo);
    connect(m_link, &CommLink::gotResult, this, &DiscoverySession::onCommLinkResult);
    connect(m_link, &CommLink::captureFailed, this, &DiscoverySession::captureFailed);
}

DiscoverySession::~DiscoverySession()
{
    if (m_joinedInterface.isValid())
        udpRecv->leaveMulticastGroup(multicastGroup(), m_joinedInterface);
}

bool DiscoverySession::search(const QNetworkInterface& iface)
{
    if (isSearching())
        return false;
    m_link->setInterface(iface.name(), iface.hardwareAddress());
    if (m_joinedInterface.isValid() && m_joinedInterface.name() != iface.name())
        udpRecv->leaveMulticastGroup(multicastGroup(), m_joinedInterface);
    udpRecv->joinMulticastGroup(multicastGroup(), iface); // a repeated join fails harmlessly
    m_joinedInterface = iface;
    udpSend->setMulticastInterface(iface);

    m_rows.clear();
    m_announced = 0;
    m_networkInfo.clear();
    m_cyclesLeft = kSearchCycles;
    onTimerRefreshTimeout();
    timerRefresh.start(m_cycleIntervalMs);
    return true;
}

bool DiscoverySession::sendToCard(quint32 command, const QString& hardwareAddress, const QByteArray& payload)
{
    // An empty text or a group address would reach every card on the segment.
    return CardFrame::isUnicastHardwareAddressText(hardwareAddress)
        && m_link->sendCommand(command, hardwareAddress, payload);
}

void DiscoverySession::onTimerRefreshTimeout()
{
    if (m_cyclesLeft == 0) {
        timerRefresh.stop();
        emit searchFinished();
        return;
    }
    quint32 address = 0;
    quint32 netmask = 0;
    for (const QNetworkAddressEntry& entry : udpSend->multicastInterface().addressEntries()) {
        if (entry.ip().protocol() == QAbstractSocket::IPv4Protocol) {
            address = entry.ip().toIPv4Address();
            netmask = entry.netmask().toIPv4Address();
        }
    }
    m_link->sendCommand(CardFrame::Search, QString(), QByteArray());
    udpSend->writeDatagram(Discovery::buildRequest(address, netmask), multicastGroup(), Discovery::kSearchPort);
    --m_cyclesLeft;
}

void DiscoverySession::onDataReady()
{
    for (int taken = 0; taken < kRepliesPerTurn && udpRecv->hasPendingDatagrams(); ++taken) {
        const QNetworkDatagram datagram = udpRecv->receiveDatagram();
        if (!datagram.isValid())
            break;
        if (const auto card = Discovery::parseUdpReply(datagram.data(), datagram.senderAddress()))
            add(*card, true);
    }
    announce(true);
    for (int taken = 0; taken < kRepliesPerTurn && !m_networkInfo.isEmpty(); ++taken) {
        if (const auto card = Discovery::parseNetworkInfo(m_networkInfo.dequeue()))
            add(*card, false);
    }
    announce(false);
    // The socket announces only datagrams that arrive later: come back for
    // what is left.
    if (udpRecv->hasPendingDatagrams() || !m_networkInfo.isEmpty())
        m_nextReplies.start();
}

void DiscoverySession::onCommLinkNetworkInfo(QByteArray data)
{
    m_networkInfo.enqueue(data);
    if (!m_nextReplies.isActive())
        m_nextReplies.start();
}

void DiscoverySession::onCommLinkResult(QByteArray data)
{
    if (const auto result = Discovery::parseResult(data))
        emit resultReceived(*result);
}

void DiscoverySession::add(const Discovery::CardInfo& card, bool overUdp)
{
    int row = 0;
    // A row not announced yet is announced as it is now.
    if (m_rows.add(card, overUdp, &row) == Discovery::SearchRows::Outcome::Completed && row < m_announced)
        emit rowCompleted(row);
}

void DiscoverySession::announce(bool overUdp)
{
    const int first = m_announced;
    m_announced = cards().size();
    if (m_announced > first)
        emit cardsFound(first, m_announced - first, overUdp);
}
