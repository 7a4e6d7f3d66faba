#include "commtcp.h"

#include "resultbyte.h"

#include <QHostAddress>
#include <QTimer>

#include <sys/socket.h>

CommTcp::CommTcp(QObject* parent)
    : QObject(parent)
    , m_recvTimer(new QTimer(this))
{
    connect(&m_socket, &QTcpSocket::readyRead, this, &CommTcp::onSocketReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &CommTcp::onSocketDisconnected);
    connect(m_recvTimer, &QTimer::timeout, this, &CommTcp::onTimerTimeout);
}

CommTcp::~CommTcp()
{
    // The socket member outlives this body; it must not call back into a
    // link (and its receivers) that is being destroyed.
    m_socket.disconnect(this);
    m_socket.abort();
}

void CommTcp::connectToDevice(const QString& ip)
{
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.abort();
    m_address = ip;
    m_socket.connectToHost(QHostAddress(ip), kCommandPort, QIODevice::ReadWrite);
    const bool connected = m_socket.waitForConnected(kConnectTimeoutMs);
    m_assembler.reset();
    if (connected) {
        emit connectedToDevice();
        return;
    }
    const QString error = m_socket.errorString();
    // A connection attempt left pending would complete behind the caller's
    // back, for instance while the failure box is open.
    m_socket.abort();
    emit connectionError(error);
}

void CommTcp::disconnectFromDevice()
{
    m_recvTimer->stop();
    if (m_socket.state() != QAbstractSocket::UnconnectedState)
        m_socket.disconnectFromHost();
}

bool CommTcp::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

void CommTcp::onSocketDisconnected()
{
    m_recvTimer->stop();
    m_socket.close();
    emit disconnected();
}

void CommTcp::send(int cmd, QByteArray data)
{
    if (!isConnected()) {
        emit commandSent(cmd, data, SendOutcome::NotConnected);
        emit notConnected();
        return;
    }
    const QByteArray frame = CommandFrame::build(cmd, data);
    // An oversized payload cannot be framed: its length would not fit the
    // 16-bit field. It counts as a failed write.
    const bool written = !frame.isEmpty() && write(frame);
    emit commandSent(cmd, data, written ? SendOutcome::Sent : SendOutcome::WriteFailed);
    if (!written)
        emit sendError();
    m_recvTimer->stop();
}

// Straight to the socket while nothing waits in QTcpSocket's buffer: its own
// path arms and disarms the write notifier for every frame, two wake-ups of
// the event loop on the path of every chunk. What the socket does not take at
// once, and a write that fails, go QTcpSocket's way, out now rather than on
// the next pass of the event loop; a broken connection is reported as ever.
bool CommTcp::write(const QByteArray& frame)
{
    qint64 done = 0;
    if (m_socket.bytesToWrite() == 0)
        done = qMax<qint64>(0,
            ::send(int(m_socket.socketDescriptor()), frame.constData(), size_t(frame.size()),
                MSG_NOSIGNAL | MSG_DONTWAIT));
    if (done == frame.size())
        return true;
    if (m_socket.write(frame.constData() + done, frame.size() - done) == -1)
        return false;
    m_socket.flush();
    return true;
}

void CommTcp::onSocketReadyRead()
{
    // A receiver that opens a modal box runs a nested event loop. Bytes that
    // arrive meanwhile stay in the socket and are reassembled once the
    // receiver has returned, so no reply is lost behind the box.
    if (m_dispatching)
        return;
    m_noticesGiven = 0;
    bool readSomething = false;
    // Read in place: readAll() would allocate for every reply.
    char bytes[CommandFrame::kMaxReceivedFrame];
    qint64 got = 0;
    while ((got = m_socket.read(bytes, sizeof bytes)) > 0) {
        readSomething = true;
        m_assembler.feed(bytes, got, [this](const quint8* frame, int size) { dispatchFrame(frame, size); });
        if (m_socket.state() == QAbstractSocket::UnconnectedState)
            break;
    }
    if (readSomething)
        m_recvTimer->start(kReassemblyTimeoutMs);
}

void CommTcp::onTimerTimeout()
{
    m_recvTimer->stop();
    if (!m_dispatching)
        m_assembler.reset();
}

QString CommTcp::notConnectedText()
{
    return tr("Device not connected!");
}

QString CommTcp::sendFailedText()
{
    return tr("Send command failed!");
}

QString CommTcp::noticeText(int cmd, bool succeeded)
{
    switch (cmd) {
    case 4: return tr("Set device's IP Settings success!");
    case 5: return tr("Reset device's IP Settings success!");
    case 7: return succeeded ? tr("Set device's date success!") : tr("Set device's date failed!");
    default: return QString();
    }
}

QString CommTcp::noticeTitle(bool succeeded)
{
    return succeeded ? tr("Information") : warningTitle();
}

QString CommTcp::warningTitle()
{
    return tr("Warning");
}

// A card repeating one of these replies must not raise a report per frame:
// what came in behind the first one of a read is told by that one.
void CommTcp::noticeOnce(int cmd, bool succeeded)
{
    const unsigned bit = 1u << (cmd & 31);
    if (m_noticesGiven & bit)
        return;
    m_noticesGiven |= bit;
    emit notice(cmd, succeeded);
}

void CommTcp::dispatchFrame(const quint8* frame, int size)
{
    const int cmd = frame[3] * 256 + frame[4];
    const quint8* data = frame + CommandFrame::kHeaderSize;
    const int dataSize = size - CommandFrame::kOverhead;

    m_dispatching = true;
    emit frameReceived(cmd, data, dataSize);
    switch (cmd) {
    case 1:
    case 256:
    case 257:
    case 258:
    case 259:
    case 336:
    case 337:
    case 338: emit gotProgRespond(cmd, data, dataSize); break;
    case 3:
    case 6:
    case 16:
    case 17: emit gotSettingsRespond(cmd, data, dataSize); break;
    case 4:
    case 5: noticeOnce(cmd, true); break;
    case 7:
        // The card answers a set date with its result byte; a refusal must
        // not read as a clock that was set.
        noticeOnce(cmd, ResultByte::succeeded(data, dataSize));
        break;
    case 8:
    case 9:
    case 10: emit gotLogRespond(cmd, data, dataSize); break;
    case 11:
    case 12:
    case 13: emit gotSPTestRespond(cmd, data, dataSize); break;
    case 14:
    case 15: emit gotFixedParamRespond(cmd, data, dataSize); break;
    case 19: emit gotRootRespond(cmd, data, dataSize); break;
    default: // 2, 18 and every unlisted code are dropped
        break;
    }
    m_dispatching = false;
}
