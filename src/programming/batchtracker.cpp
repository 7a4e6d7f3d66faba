#include "batchtracker.h"

#include "programmingrun.h"

#include <QCoreApplication>

namespace {

const char* const kContext = "BatchProgrammingDialog";

QString translated(const char* text)
{
    return QCoreApplication::translate(kContext, text);
}

} // namespace

BatchTracker::BatchTracker(BatchPool* pool, QObject* parent)
    : QObject(parent)
    , m_pool(pool)
    , m_taskOf(pool->workers().size(), -1)
{
    connect(pool, &BatchPool::batchStarted, this, [this] {
        m_cards.clear();
        m_taskOf.fill(-1);
        m_mode = m_pool->mode();
        m_type = m_pool->type();
        m_finishedMs = -1;
        m_clock.start();
        sync();
    });
    connect(pool, &BatchPool::taskStarted, this, [this](int worker, int index) {
        sync();
        Card* card = cardAt(index);
        if (!card)
            return;
        m_taskOf[worker] = index;
        card->phase = Phase::Connecting;
        card->startedMs = elapsedMs();
        emit cardChanged(index);
    });
    connect(pool, &BatchPool::programmingStarted, this, [this](int worker, qint64 total) {
        if (Card* card = cardOf(worker)) {
            card->phase = Phase::Sending;
            card->bytesTotal = total;
            card->bytesAcknowledged = 0;
            emit cardChanged(m_taskOf[worker]);
        }
    });
    connect(pool, &BatchPool::programmingUpdated, this, [this](int worker, qint64 written) {
        Card* card = cardOf(worker);
        if (card && card->phase == Phase::Sending) {
            card->bytesAcknowledged = written;
            emit cardChanged(m_taskOf[worker]);
        }
    });
    connect(pool, &BatchPool::installationStarted, this, [this](int worker) {
        if (Card* card = cardOf(worker)) {
            card->phase = Phase::Installing;
            card->bytesAcknowledged = card->bytesTotal;
            card->installingMs = elapsedMs();
            emit cardChanged(m_taskOf[worker]);
        }
    });
    connect(pool, &BatchPool::taskFinished, this, [this](int worker, int index) {
        Card* card = cardAt(index);
        if (!card)
            return;
        m_taskOf[worker] = -1;
        card->phase = Phase::Ended;
        card->report = m_pool->workers()[worker]->report();
        card->endedMs = elapsedMs();
        emit cardChanged(index);
    });
    connect(pool, &BatchPool::batchFinished, this, [this] {
        sync();
        m_finishedMs = m_clock.isValid() ? m_clock.elapsed() : 0;
        for (int i = 0; i < m_cards.size(); ++i) {
            if (m_cards[i].phase == Phase::Waiting) {
                m_cards[i].phase = Phase::NotStarted;
                emit cardChanged(i);
            }
        }
        emit finished();
    });
}

// Devices appended to the running batch join it.
void BatchTracker::sync()
{
    const QStringList& devices = m_pool->devices();
    while (m_cards.size() < devices.size()) {
        Card card;
        card.address = devices[m_cards.size()];
        m_cards.append(card);
    }
}

BatchTracker::Card* BatchTracker::cardAt(int index)
{
    return index >= 0 && index < m_cards.size() ? &m_cards[index] : nullptr;
}

BatchTracker::Card* BatchTracker::cardOf(int worker)
{
    return worker >= 0 && worker < m_taskOf.size() ? cardAt(m_taskOf[worker]) : nullptr;
}

qint64 BatchTracker::elapsedMs() const
{
    if (m_finishedMs >= 0)
        return m_finishedMs;
    return m_clock.isValid() ? m_clock.elapsed() : 0;
}

BatchTracker::Totals BatchTracker::totals() const
{
    Totals t;
    t.elapsedMs = elapsedMs();
    t.finished = m_finishedMs >= 0;
    t.halt = m_pool->halt();
    qint64 succeededMs = 0;
    QVector<qint64> running;
    for (const Card& card : m_cards) {
        switch (card.phase) {
        case Phase::Ended:
            if (card.succeeded()) {
                ++t.succeeded;
                succeededMs += card.endedMs - card.startedMs;
            } else {
                ++t.failed;
            }
            break;
        case Phase::NotStarted: ++t.notStarted; break;
        case Phase::Waiting: ++t.left; break;
        default:
            ++t.left;
            running.append(t.elapsedMs - card.startedMs);
            break;
        }
    }
    // Once the pool halted, only the tasks under way are left to wait for.
    const int waiting = t.halt == BatchPool::Halt::None ? t.left - running.size() : 0;
    t.remainingMs = t.finished
        ? 0
        : remainingMs(t.succeeded > 0 ? succeededMs / t.succeeded : -1, running, waiting, m_pool->workers().size());
    return t;
}

QString BatchTracker::detail(int index) const
{
    return index >= 0 && index < m_cards.size() ? detail(m_cards[index], m_mode, elapsedMs()) : QString();
}

QString BatchTracker::detail(const Card& card, int mode, qint64 nowMs)
{
    switch (card.phase) {
    case Phase::Waiting: return translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "waiting"));
    case Phase::Connecting: return translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "connecting"));
    case Phase::Sending: {
        const qint64 total = card.bytesTotal;
        const int percent = total > 0 ? int(qBound<qint64>(0, card.bytesAcknowledged, total) * 100 / total) : 100;
        return translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "sending %1%")).arg(percent);
    }
    case Phase::Installing:
        return translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "installing %1"))
            .arg(ProgrammingRun::elapsedText(nowMs - card.installingMs));
    case Phase::Ended:
        if (card.report.status == BatchProgrammingThread::Succeeded)
            return mode == BatchProgrammingThread::ReadVersion
                ? translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "version read"))
                : translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "done"));
        return translated(ProgrammingRun::failureText(card.report.reason).toLatin1().constData());
    case Phase::NotStarted: return translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "not started"));
    }
    return QString();
}

QString BatchTracker::reason(const Card& card, BatchPool::Halt halt)
{
    if (card.phase == Phase::NotStarted)
        return halt == BatchPool::Halt::None ? QStringLiteral("not started")
                                             : QStringLiteral("not started: ") + BatchPool::haltText(halt);
    return card.failed() ? ProgrammingRun::failureText(card.report.reason) : QString();
}

QString BatchTracker::totalsText(const Totals& t)
{
    QString text;
    if (t.finished) {
        text = translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "Batch finished: %1 succeeded, %2 failed, %3"))
                   .arg(t.succeeded)
                   .arg(t.failed)
                   .arg(ProgrammingRun::elapsedText(t.elapsedMs));
    } else {
        text = translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog",
                              "Succeeded: %1    Failed: %2    Left: %3    Elapsed: %4    Remaining: %5"))
                   .arg(t.succeeded)
                   .arg(t.failed)
                   .arg(t.left)
                   .arg(ProgrammingRun::elapsedText(t.elapsedMs))
                   .arg(t.remainingMs < 0 ? QStringLiteral("-")
                                          : translated(QT_TRANSLATE_NOOP("BatchProgrammingDialog", "about %1"))
                                                .arg(ProgrammingRun::elapsedText(t.remainingMs)));
    }
    if (t.notStarted > 0) {
        const char* why = t.halt == BatchPool::Halt::CanaryFailed
            ? QT_TRANSLATE_NOOP("BatchProgrammingDialog", "%1 not started: the first device failed")
            : QT_TRANSLATE_NOOP("BatchProgrammingDialog", "%1 not started: too many failures");
        text += QStringLiteral("; ") + translated(why).arg(t.notStarted);
    }
    return text;
}

qint64 BatchTracker::remainingMs(qint64 meanMs, const QVector<qint64>& runningMs, int waiting, int parallel)
{
    if (runningMs.isEmpty() && waiting <= 0)
        return 0;
    if (meanMs < 0)
        return -1;
    qint64 work = meanMs * qMax(0, waiting);
    for (qint64 ran : runningMs)
        work += qMax<qint64>(0, meanMs - ran);
    const int atOnce = qBound(1, parallel, int(runningMs.size()) + qMax(0, waiting));
    // Work left is never "0:00", not even for a task past the mean.
    return qMax<qint64>(1000, (work / atOnce + 999) / 1000 * 1000);
}
