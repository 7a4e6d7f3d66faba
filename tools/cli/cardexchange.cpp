#include "cardexchange.h"

#include "link/commtcp.h"

#include <QEventLoop>
#include <QTimer>

namespace {
// Further frames of one answer follow within the link's reassembly time.
constexpr int kSettleMs = 300;
}

CardExchange::CardExchange(const QString& ip)
    : m_ip(ip)
    , m_link(std::make_unique<CommTcp>())
{
}

CardExchange::~CardExchange()
{
    disconnect();
}

bool CardExchange::connectToCard(QString* error)
{
    QString reason;
    bool connected = false;
    auto onError = QObject::connect(m_link.get(), &CommTcp::connectionError, [&reason](QString e) { reason = e; });
    auto onConnected = QObject::connect(m_link.get(), &CommTcp::connectedToDevice, [&connected] { connected = true; });
    m_link->connectToDevice(m_ip);
    QObject::disconnect(onError);
    QObject::disconnect(onConnected);
    if (!connected && error)
        *error = reason.isEmpty() ? QStringLiteral("no connection") : reason;
    return connected;
}

void CardExchange::send(int cmd, const QByteArray& data)
{
    m_link->send(cmd, data);
}

void CardExchange::disconnect()
{
    if (m_link->isConnected())
        m_link->disconnectFromDevice();
}

CardExchange::Outcome CardExchange::exchange(int cmd, const QByteArray& data, const Handler& handler, int timeoutMs)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    Outcome outcome = Outcome::TimedOut;
    bool settling = false;
    bool ended = false;
    auto end = [&](Outcome o) {
        if (ended)
            return;
        ended = true;
        outcome = o;
        loop.quit();
    };
    auto take = [&](const Reply& reply) {
        if (ended)
            return;
        switch (handler(reply)) {
        case Step::Wait: timer.start(settling ? kSettleMs : timeoutMs); break;
        case Step::Done: end(Outcome::Done); break;
        case Step::Failed: end(Outcome::Failed); break;
        case Step::Settle:
            settling = true;
            timer.start(kSettleMs);
            break;
        }
    };
    auto onReply = [&](int code, const quint8* bytes, int size) { take(Reply { code, bytes, size, QString() }); };
    CommTcp* link = m_link.get();
    QObject context;
    QObject::connect(link, &CommTcp::gotProgRespond, &context, onReply);
    QObject::connect(link, &CommTcp::gotSettingsRespond, &context, onReply);
    QObject::connect(link, &CommTcp::gotLogRespond, &context, onReply);
    QObject::connect(link, &CommTcp::gotSPTestRespond, &context, onReply);
    QObject::connect(link, &CommTcp::gotFixedParamRespond, &context, onReply);
    QObject::connect(link, &CommTcp::gotRootRespond, &context, onReply);
    QObject::connect(link, &CommTcp::notice, &context, [&](int cmd, bool succeeded) {
        take(Reply { 0, nullptr, 0, CommTcp::noticeText(cmd, succeeded), !succeeded });
    });
    QObject::connect(link, &CommTcp::disconnected, &context, [&] { end(Outcome::ConnectionLost); });
    QObject::connect(link, &CommTcp::sendError, &context, [&] { end(Outcome::ConnectionLost); });
    QObject::connect(link, &CommTcp::notConnected, &context, [&] { end(Outcome::ConnectionLost); });
    QObject::connect(&timer, &QTimer::timeout, &context, [&] { end(settling ? Outcome::Done : Outcome::TimedOut); });

    timer.start(timeoutMs);
    if (cmd != 0)
        m_link->send(cmd, data);
    if (!ended)
        loop.exec();
    return outcome;
}

QString CardExchange::outcomeText(Outcome outcome, int timeoutMs)
{
    switch (outcome) {
    case Outcome::ConnectionLost: return QStringLiteral("connection lost");
    case Outcome::TimedOut: return QStringLiteral("no reply within %1 s").arg(timeoutMs / 1000.0);
    case Outcome::Done:
    case Outcome::Failed: break;
    }
    return QString();
}
