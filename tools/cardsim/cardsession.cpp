#include "cardsession.h"

#include "card.h"
#include "recorder.h"

#include <QJsonObject>
#include <QStringList>
#include <QTcpSocket>
#include <QTimer>

CardSession::CardSession(Card& card, QTcpSocket* socket, int id)
    : QObject(&card)
    , m_card(card)
    , m_socket(socket)
    , m_id(id)
    , m_writeTimer(new QTimer(this))
{
    m_socket->setParent(this);
    m_writeTimer->setSingleShot(true);
    connect(m_writeTimer, &QTimer::timeout, this, &CardSession::writeNext);
    connect(m_socket, &QTcpSocket::readyRead, this, &CardSession::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this,
        [this] { finish(m_closedByCard ? QStringLiteral("card") : QStringLiteral("peer")); });
    connect(m_socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_closeWhenDrained && m_queue.isEmpty() && m_socket->bytesToWrite() == 0)
            abort();
    });
    m_card.recorder().event(m_card.address(), m_id, QStringLiteral("connected"),
        QJsonObject { { QStringLiteral("peer"), m_socket->peerAddress().toString() } });
}

CardSession::~CardSession()
{
    m_socket->disconnect(this);
}

bool CardSession::isOpen() const
{
    return !m_finished && m_socket->state() == QAbstractSocket::ConnectedState;
}

void CardSession::onReadyRead()
{
    const QByteArray bytes = m_socket->readAll();
    m_assembler.feed(bytes.constData(), bytes.size(), [this](const quint8* frame, int size) { onFrame(frame, size); });
}

void CardSession::onFrame(const quint8* frame, int size)
{
    if (m_finished)
        return;
    const int cmd = frame[3] * 256 + frame[4];
    const QByteArray data(
        reinterpret_cast<const char*>(frame) + CommandFrame::kHeaderSize, size - CommandFrame::kOverhead);
    const QByteArray whole(reinterpret_cast<const char*>(frame), size);
    m_card.recorder().frame(m_card.address(), m_id, true, cmd, data, whole);
    ++m_framesReceived;

    const qint64 closeAfter = m_card.config().integer(QStringLiteral("close-after"));
    if (closeAfter > 0 && m_framesReceived >= closeAfter) {
        abort();
        return;
    }
    m_card.dispatch(*this, cmd, data);
}

// The data size --reply-size asks for replies of `cmd`, or -1.
static int replySizeFor(const CardConfig& config, int cmd)
{
    const QStringList entries = config.text(QStringLiteral("reply-size")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& entry : entries) {
        bool codeOk = false;
        bool sizeOk = false;
        const int code = entry.section(QLatin1Char(':'), 0, 0).trimmed().toInt(&codeOk, 0);
        const int size = entry.section(QLatin1Char(':'), 1, 1).trimmed().toInt(&sizeOk, 0);
        if (codeOk && sizeOk && code == cmd && size >= 0 && size <= CommandFrame::kMaxReceivedFrame)
            return size;
    }
    return -1;
}

void CardSession::reply(int cmd, const QByteArray& given)
{
    if (m_finished)
        return;
    QByteArray data = given;
    const int size = replySizeFor(m_card.config(), cmd);
    if (size >= 0)
        data = data.left(size) + QByteArray(qMax(0, size - data.size()), '\0');
    QByteArray frame = CommandFrame::build(cmd, data);
    ++m_repliesSent;
    const qint64 corruptEvery = m_card.config().integer(QStringLiteral("corrupt-every"));
    if (corruptEvery > 0 && m_repliesSent % corruptEvery == 0)
        frame[frame.size() - 1] = char(frame.at(frame.size() - 1) + 1);
    m_card.recorder().frame(m_card.address(), m_id, false, cmd, data, frame);

    const QByteArray garbage = QByteArray::fromHex(m_card.config().text(QStringLiteral("garbage")).toLatin1());
    const qint64 garbageEvery = qMax<qint64>(1, m_card.config().integer(QStringLiteral("garbage-every"), 1));
    if (!garbage.isEmpty() && m_repliesSent % garbageEvery == 0)
        sendRaw(garbage);

    const qint64 gap = m_card.config().integer(QStringLiteral("split-gap-ms"), -1);
    if (gap >= 0) {
        const int at = int(qBound<qint64>(1, m_card.config().integer(QStringLiteral("split-at"), 3), frame.size()));
        enqueue(frame.left(at), 0);
        enqueue(frame.mid(at), int(gap));
    } else {
        enqueue(frame, 0);
    }
}

void CardSession::sendRaw(const QByteArray& bytes)
{
    if (m_finished)
        return;
    m_card.recorder().event(m_card.address(), m_id, QStringLiteral("raw"),
        QJsonObject { { QStringLiteral("data"), QString::fromLatin1(bytes.toHex()) } });
    enqueue(bytes, 0);
}

void CardSession::enqueue(const QByteArray& bytes, int delayMs)
{
    if (bytes.isEmpty())
        return;
    m_queue.enqueue(Pending { bytes, delayMs });
    if (!m_writeTimer->isActive())
        writeNext();
}

// Writes queued pieces in order; a piece with a delay waits that long after
// the previous one, and nothing overtakes it.
void CardSession::writeNext()
{
    while (!m_queue.isEmpty() && !m_finished) {
        Pending& next = m_queue.head();
        if (next.delayMs > 0) {
            const int delay = next.delayMs;
            next.delayMs = 0;
            m_writeTimer->start(delay);
            return;
        }
        m_socket->write(next.bytes);
        m_queue.dequeue();
    }
    if (m_queue.isEmpty() && m_closeWhenDrained && m_socket->bytesToWrite() == 0)
        abort();
}

void CardSession::close()
{
    if (m_finished)
        return;
    m_closeWhenDrained = true;
    if (m_queue.isEmpty() && m_socket->bytesToWrite() == 0)
        abort();
}

void CardSession::abort()
{
    if (m_finished)
        return;
    m_closedByCard = true;
    m_queue.clear();
    m_writeTimer->stop();
    m_socket->flush();
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    finish(QStringLiteral("card"));
}

void CardSession::finish(const QString& by)
{
    if (m_finished)
        return;
    m_finished = true;
    m_card.recorder().event(
        m_card.address(), m_id, QStringLiteral("closed"), QJsonObject { { QStringLiteral("by"), by } });
    emit closed();
    deleteLater();
}
