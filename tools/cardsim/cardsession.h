#pragma once

#include "link/commandframe.h"

#include <QByteArray>
#include <QObject>
#include <QQueue>

class Card;
class QTcpSocket;
class QTimer;

// One TCP connection to a simulated card. It reassembles the tool's command
// frames, hands each to the card's features and writes their replies,
// applying the card's wire faults (split replies, corrupted checksums, a
// connection closed after N frames).
class CardSession : public QObject {
    Q_OBJECT

public:
    CardSession(Card& card, QTcpSocket* socket, int id);
    ~CardSession() override;

    Card& card() const { return m_card; }
    int id() const { return m_id; }
    bool isOpen() const;

    // Sends one frame, asked for or not.
    void reply(int cmd, const QByteArray& data = QByteArray());
    // Writes bytes as they are, outside any frame (for hostile-peer tests).
    void sendRaw(const QByteArray& bytes);
    // The card closes the connection once everything queued has been written.
    void close();
    // The card drops the connection at once, discarding queued writes.
    void abort();

signals:
    void closed();

private:
    void onReadyRead();
    void onFrame(const quint8* frame, int size);
    void enqueue(const QByteArray& bytes, int delayMs);
    void writeNext();
    void finish(const QString& by);

    struct Pending {
        QByteArray bytes;
        int delayMs;
    };

    Card& m_card;
    QTcpSocket* m_socket;
    int m_id;
    FrameAssembler m_assembler;
    QQueue<Pending> m_queue;
    QTimer* m_writeTimer;
    int m_framesReceived = 0;
    int m_repliesSent = 0;
    bool m_closeWhenDrained = false;
    bool m_finished = false;
    bool m_closedByCard = false;
};
