#pragma once

#include <QByteArrayList>
#include <QObject>
#include <QTimer>

// The awaited reply to one request to the card. CardRequests makes it,
// finishes it once with its outcome, and deletes it after finished() has
// been delivered: read it in the slot connected to finished().
class CardReply : public QObject {
    Q_OBJECT

public:
    enum Outcome {
        Waiting,
        Replied,
        Refused, // the reply's result byte says the card did not do it
        TimedOut,
        ConnectionLost, // the link closed or could not send
    };

    using QObject::QObject;

    Outcome outcome() const { return m_outcome; }
    // The reply's data; an answer of several frames, frame by frame.
    const QByteArrayList& frames() const { return m_frames; }

signals:
    void finished();

private:
    friend class CardRequests;

    int m_cmd = 0;
    Outcome m_outcome = Waiting;
    QByteArrayList m_frames;
    // Above 0: the answer may come in several frames, each within this long
    // of the one before.
    int m_settleMs = 0;
    QTimer m_timer;
};
