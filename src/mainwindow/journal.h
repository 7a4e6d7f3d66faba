#pragma once

#include "link/commtcp.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <deque>
#include <functional>

// The record of one session with the cards: every command the window's link
// is given and every frame the card sends, with the time, the card's
// address, the command code, what it means and how it ended, and the link's
// connects and closes. It is how a technician shows afterwards what was done
// to which card.
//
// Frames that come in numbers are summarised, one line each:
// - the image chunks of one programming run (code 257 both ways): how many
//   went, how many the card acknowledged and how the run ended;
// - the backup pieces of one backup (338 both ways): how many bytes came of
//   how many announced;
// - every other frame from the card that repeats a code before the window
//   asked again: the card's log text after opening a log, the data of its
//   serial port, console answers, and any flood of frames nobody asked for.
//   The line counts the frames and their bytes.
// At most `capacity` lines are kept, the oldest dropped first, so a card
// flooding the link costs a few counters per frame and no memory.
class Journal : public QObject {
    Q_OBJECT

public:
    static constexpr int kCapacity = 10000;
    // changed() comes at most this often, however fast frames come.
    static constexpr int kChangeIntervalMs = 100;

    enum class Direction : quint8 { Sent, Received, Link };
    enum class LinkEvent : quint8 { None, Connected, ConnectFailed, Closed };
    enum class Summary : quint8 { Single, Chunks, BackupPieces };
    // How a summarised run ended.
    enum class Ending : quint8 { Open, Completed, Refused, LinkLost, WriteFailed, Stopped };

    struct Entry {
        qint64 firstMs = 0; // milliseconds since the epoch
        qint64 lastMs = 0;
        QString card;
        Direction direction = Direction::Link;
        LinkEvent event = LinkEvent::None;
        Summary summary = Summary::Single;
        Ending ending = Ending::Open;
        CommTcp::SendOutcome outcome = CommTcp::SendOutcome::Sent;
        int code = -1; // -1 for the link's own events
        int frames = 1; // frames this line stands for (requests of a run)
        int replies = 0; // of a run: the card's replies
        int refusedAt = 0; // of a chunk run: the chunk the card refused
        qint64 bytes = 0; // data bytes carried (of a run: image or backup bytes)
        qint64 total = 0; // of a backup: the bytes announced
        QString detail; // what the frame said that the line shows (cut short)
        qint8 resultByte = -1; // a reply's result byte, -1 where none
        bool linkLayer = false; // a card protocol frame, not a command frame
    };

    explicit Journal(int capacity = kCapacity, QObject* parent = nullptr);

    // Records what `link` is given and what it hears, from now on.
    void attach(CommTcp* link);

    // What the link reports; attach() connects these.
    void commandSent(int cmd, const QByteArray& data, CommTcp::SendOutcome outcome);
    void frameReceived(int cmd, const quint8* data, int size);
    void connected();
    void connectFailed(const QString& error);
    void closed();
    // Set-IP (2) or reboot (4) sent to a card over the link layer from the
    // search page, and a card's answer to one.
    void cardCommandSent(
        const QString& address, const QString& hardwareAddress, int command, const QString& what, bool sent);
    void cardResultReceived(bool succeeded);

    // The lines kept, oldest first; line i has the number firstNumber() + i.
    int size() const { return int(m_entries.size()); }
    const Entry& at(int i) const { return m_entries[size_t(i)]; }
    qint64 firstNumber() const { return m_firstNumber; }
    // Lines 0 .. firstNumber() - 1 were dropped to keep this bound.
    int capacity() const { return m_capacity; }

    // The columns of a line, in the language of the moment.
    static QString timeText(const Entry& e, bool withDate);
    static QString codeText(const Entry& e);
    static QString directionText(const Entry& e);
    static QString meaning(const Entry& e);
    static QString result(const Entry& e);
    // The whole journal as text, one tab-separated line per entry under a
    // header line; times with their date.
    QString text() const;

    // Lets tests give the time.
    void setClock(std::function<qint64()> clock) { m_clock = std::move(clock); }

signals:
    // Lines were added, dropped or updated since the last changed().
    void changed();

private:
    Entry& add(Direction direction, int code);
    Entry* open(qint64 number);
    void touch(Entry& e);
    void endRun(qint64& number, Ending ending);
    void closeRepliesAnsweredBy(int sentCode);
    void closeAll(Ending ending);
    void noteChange();

    int m_capacity;
    std::deque<Entry> m_entries;
    qint64 m_firstNumber = 0;
    QString m_card; // the card the link talks to
    qint64 m_chunks = -1; // the open chunk run's line number, -1 when none
    qint64 m_backup = -1;
    qint64 m_backupTotal = 0; // announced by the last backup start
    QHash<int, qint64> m_openReplies; // code -> line summarising its frames
    std::function<qint64()> m_clock;
    QTimer m_changeTimer;
    qint64 m_now = 0;
};
