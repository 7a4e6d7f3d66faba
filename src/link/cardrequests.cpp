#include "cardrequests.h"

#include "commandcodes.h"
#include "commtcp.h"
#include "resultbyte.h"

#include <QEventLoop>
#include <algorithm>

CardRequests::CardRequests(CommTcp* link, QObject* parent)
    : QObject(parent)
    , m_link(link)
{
    if (!link)
        return;
    for (auto family : { &CommTcp::gotProgRespond, &CommTcp::gotSettingsRespond, &CommTcp::gotLogRespond,
             &CommTcp::gotSPTestRespond, &CommTcp::gotFixedParamRespond, &CommTcp::gotRootRespond })
        connect(link, family, this, &CardRequests::take);
    // The link answers these codes itself and reports only the result.
    connect(link, &CommTcp::notice, this, [this](int cmd, bool succeeded) {
        const quint8 result = succeeded ? 1 : 0;
        take(cmd, &result, 1);
    });
    for (auto loss : { &CommTcp::disconnected, &CommTcp::sendError, &CommTcp::notConnected }) {
        connect(link, loss, this, [this] {
            // Requests made by the receivers of finished() are the next link's.
            for (CardReply* reply : QList<CardReply*>(m_waiting))
                finish(reply, CardReply::ConnectionLost);
        });
    }
}

CardReply* CardRequests::expect(int replyCmd)
{
    auto* reply = new CardReply(this);
    reply->m_cmd = replyCmd;
    reply->m_timer.setSingleShot(true);
    connect(&reply->m_timer, &QTimer::timeout, this,
        [this, reply] { finish(reply, reply->m_frames.isEmpty() ? CardReply::TimedOut : CardReply::Replied); });
    if (m_timeoutMs > 0)
        reply->m_timer.start(m_timeoutMs);
    m_waiting.append(reply);
    return reply;
}

bool CardRequests::take(int cmd, const quint8* data, int size)
{
    const auto it = std::find_if(m_waiting.begin(), m_waiting.end(), [cmd](CardReply* r) { return r->m_cmd == cmd; });
    if (it == m_waiting.end())
        return false;
    CardReply* reply = *it;
    reply->m_frames.append(QByteArray(reinterpret_cast<const char*>(data), data && size > 0 ? size : 0));
    if (reply->m_settleMs > 0)
        reply->m_timer.start(reply->m_settleMs);
    else if (CommandCode::repliesWithResult(cmd) && !ResultByte::succeeded(data, size))
        finish(reply, CardReply::Refused);
    else
        finish(reply, CardReply::Replied);
    return true;
}

void CardRequests::forget(int replyCmd)
{
    for (CardReply* reply : QList<CardReply*>(m_waiting)) {
        if (replyCmd == 0 || reply->m_cmd == replyCmd) {
            m_waiting.removeOne(reply);
            reply->deleteLater();
        }
    }
}

void CardRequests::finish(CardReply* reply, CardReply::Outcome outcome)
{
    if (!m_waiting.removeOne(reply))
        return;
    reply->m_timer.stop();
    reply->m_outcome = outcome;
    emit reply->finished();
    reply->deleteLater();
}

CardReply::Outcome CardRequests::ask(
    int cmd, const QByteArray& data, QByteArrayList* frames, int replyCmd, int settleMs)
{
    CardReply* reply = expect(replyCmd ? replyCmd : cmd);
    reply->m_settleMs = settleMs;
    CardReply::Outcome outcome = CardReply::Waiting;
    QEventLoop loop;
    connect(reply, &CardReply::finished, &loop, [&] {
        outcome = reply->outcome();
        if (frames)
            *frames = reply->frames();
        loop.quit();
    });
    m_link->send(cmd, data);
    if (outcome == CardReply::Waiting)
        loop.exec();
    return outcome;
}
