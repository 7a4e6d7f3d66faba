#pragma once

#include "batchpool.h"
#include "batchprogrammingthread.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

// What each card of a batch is doing and came to, followed from the pool's
// signals: the batch dialog's Detail column and totals line and its CSV
// export, and the command-line tool's lines and JSON, all read it here.
//
// A card waits, is connected to (and its version read), is sent the image,
// installs it, and ends with the worker's report; a card the pool never
// handed out (see BatchPool::Rules) ends as not started.
class BatchTracker : public QObject {
    Q_OBJECT

public:
    enum class Phase { Waiting, Connecting, Sending, Installing, Ended, NotStarted };

    struct Card {
        QString address;
        Phase phase = Phase::Waiting;
        // Filled when the task ends.
        BatchProgrammingThread::Report report;
        qint64 bytesTotal = 0;
        qint64 bytesAcknowledged = 0;
        // On the batch's clock: when the task began, when the card began
        // to install, when the task ended.
        qint64 startedMs = -1;
        qint64 installingMs = -1;
        qint64 endedMs = -1;

        bool succeeded() const { return phase == Phase::Ended && report.status == BatchProgrammingThread::Succeeded; }
        bool failed() const { return phase == Phase::Ended && !succeeded(); }
        double seconds() const { return startedMs < 0 || endedMs < 0 ? 0.0 : (endedMs - startedMs) / 1000.0; }
    };

    struct Totals {
        int succeeded = 0;
        int failed = 0;
        // Waiting or under way.
        int left = 0;
        int notStarted = 0;
        qint64 elapsedMs = 0;
        // -1 while no task has succeeded to tell the pace by.
        qint64 remainingMs = -1;
        bool finished = false;
        BatchPool::Halt halt = BatchPool::Halt::None;
    };

    explicit BatchTracker(BatchPool* pool, QObject* parent = nullptr);

    // The cards of the running or last batch, in the pool's device order.
    const QVector<Card>& cards() const { return m_cards; }
    int mode() const { return m_mode; }
    int type() const { return m_type; }
    // Since the batch started; it stops with the batch.
    qint64 elapsedMs() const;
    Totals totals() const;

    // The card's state in a few words, translated: "waiting", "connecting",
    // "sending 37%", "installing 0:12", "done", "version read", a failed
    // task's reason (ProgrammingRun's list) or why it was not started.
    static QString detail(const Card& card, int mode, qint64 nowMs);
    QString detail(int index) const;
    // Why a card did not succeed, in the fixed English of the command-line
    // tool's JSON and the CSV export: a failed task's reason
    // (ProgrammingRun::failureText()), "not started: " and the pool's halt;
    // empty otherwise.
    static QString reason(const Card& card, BatchPool::Halt halt);
    // "Succeeded: 3  Failed: 1  Left: 16  Elapsed: 0:42  Remaining: about
    // 3:10", and once finished "Batch finished: 18 succeeded, 2 failed,
    // 4:31"; translated.
    static QString totalsText(const Totals& totals);
    // The time the batch may still take, `parallel` tasks at a time, when a
    // task takes `meanMs` (a succeeded task's mean; -1: none has yet): what
    // is left of each running task, which has run `runningMs`, and `waiting`
    // whole tasks; rounded up to whole seconds. -1 when unknown.
    static qint64 remainingMs(qint64 meanMs, const QVector<qint64>& runningMs, int waiting, int parallel);

signals:
    // The card at `index` changed phase or progress.
    void cardChanged(int index);
    void finished();

private:
    Card* cardAt(int index);
    Card* cardOf(int worker);
    void sync();

    BatchPool* m_pool;
    QVector<Card> m_cards;
    // The card each worker is on.
    QVector<int> m_taskOf;
    QElapsedTimer m_clock;
    qint64 m_finishedMs = -1;
    int m_mode = 0;
    int m_type = 0;
};
