#pragma once

#include "cardreply.h"

#include <QObject>

class CommTcp;

// Requests to one card awaiting their replies, each reply finished once:
// replied or refused by the card, timed out, or lost with the connection.
// A reply goes to the oldest request awaiting its code; one nobody awaits is
// left to the caller.
//
// Without a link the owner sends its requests and hands every reply in
// (a page, which reaches the card only through its signals and slots). With
// one, the requests go out through the link, and the client hears the
// link's replies, its answers to the codes it acknowledges itself, and the
// loss of the connection.
class CardRequests : public QObject {
    Q_OBJECT

public:
    explicit CardRequests(CommTcp* link = nullptr, QObject* parent = nullptr);

    // The longest wait for each reply; 0 (the default) waits until the
    // reply comes or the request is forgotten.
    void setTimeout(int ms) { m_timeoutMs = ms; }

    // Awaits a reply of code `replyCmd` to a request the owner sends.
    CardReply* expect(int replyCmd);
    // Hands a reply to the oldest request awaiting its code; false when
    // none did.
    bool take(int cmd, const quint8* data, int size);
    // Forgets the requests awaiting `replyCmd` (0: every one) unfinished.
    void forget(int replyCmd = 0);

    // Sends through the link and waits for the reply of code `replyCmd` (0:
    // the request's own); `frames` receives its data. With `settleMs` the
    // answer may come in several frames, each within that long of the last.
    CardReply::Outcome ask(
        int cmd, const QByteArray& data, QByteArrayList* frames = nullptr, int replyCmd = 0, int settleMs = 0);

private:
    void finish(CardReply* reply, CardReply::Outcome outcome);

    CommTcp* m_link;
    int m_timeoutMs = 0;
    QList<CardReply*> m_waiting; // oldest first
};
