#pragma once

#include "backuptransfer.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class QTimer;

// One backup of one of the card's program components: command 337 with the
// type, the card's size announcement (it may say 336, "preparing", first),
// then command 338 answered piece by piece until the announced number of
// bytes has come. The pieces go to a file that takes the chosen name only
// once complete (BackupTransfer).
//
// Like ProgrammingRun it knows no link and no widget: it asks for commands by
// sendCmd() and is told of replies by handleReply() and of a lost link by
// linkLost(). Between the announcement and the first piece its caller names
// the file (the page asks the technician, the command-line tool has it).
//
// A piece lost on the way cannot be asked for again (the card serves the
// next one): every wait for a piece is bounded by the time-out, and so is
// the wait for the announcement when an announce time-out is set.
class BackupRun : public QObject {
    Q_OBJECT

public:
    enum Result {
        Finished,
        StartFailed, // the announcement is malformed or 0
        CannotOpen, // the file cannot be written
        Failed, // an empty piece, or the file failed
        NoReply, // a wait ran out
        LinkLost,
    };

    // The programming page's text for a result ("Backup file finished!",
    // "Start backup failed!", "Cannot open backup file!", else "Backup file
    // failed!"), translated in its context.
    static QString resultMessage(int result);

    explicit BackupRun(int timeoutMs, QObject* parent = nullptr);
    ~BackupRun() override;

    void setTimeout(int ms) { m_timeoutMs = ms; }
    // 0: the announcement is awaited as long as the card prepares.
    void setAnnounceTimeout(int ms) { m_announceTimeoutMs = ms; }

    // Asks for a backup of component `type`.
    void start(quint8 type);
    // After sizeAnnounced(): receive into `path`.
    void receiveInto(const QString& path);
    // Drops the backup without a word; the chosen file stays as it was.
    void cancel();
    bool handleReply(int cmd, const quint8* data, int size);
    // No piece can come any more: what came is dropped, finished(LinkLost).
    void linkLost();

    bool isAwaitingSize() const { return m_asked; }
    bool isReceiving() const { return m_transfer.isReceiving(); }
    qint64 receivedBytes() const { return m_transfer.receivedBytes(); }
    qint64 totalBytes() const { return m_transfer.totalBytes(); }
    // The component asked for, and the file it goes to once chosen.
    quint8 type() const { return m_type; }
    QString fileName() const { return m_transfer.fileName(); }

signals:
    void sendCmd(int cmd, const QByteArray& data);
    // The card prepares the backup (336).
    void preparing();
    // The card announced `total` bytes; answer with receiveInto() or cancel().
    void sizeAnnounced(qint64 total);
    void pieceReceived(qint64 received, qint64 total);
    void finished(int result);

private:
    void end(int result);
    void requestPiece();

    BackupTransfer m_transfer;
    QTimer* m_timer;
    int m_timeoutMs;
    int m_announceTimeoutMs = 0;
    qint64 m_announced = 0;
    bool m_asked = false;
    quint8 m_type = 0;
};
