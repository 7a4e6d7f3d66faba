// The batch pool on the wire against simulated cards: one worker in its own
// thread takes only the task handed to it, and the pool's rules (the first
// device as canary, the failure limit); a failed task frees its worker.

#include "programming/batchpool.h"
#include "programming/batchprogrammingthread.h"
#include "programming/batchtracker.h"
#include "programmingtest.h"
#include "support/waituntil.h"

#include <QPointer>
#include <QScopeGuard>
#include <QThread>
#include <QtTest>

namespace {

constexpr int kArea = 50;
constexpr int kTaskMs = 30000;
using Phase = BatchTracker::Phase;

} // namespace

Q_DECLARE_METATYPE(BatchPool::Halt)

class TestBatchPool : public QObject {
    Q_OBJECT

    ProgrammingTest::Workspace m_dir;
    int m_case = 0;

private slots:
    void startsOnlyTheTaskHandedToIt()
    {
        const QStringList cards = BatchCards::addresses(kArea, ++m_case, 2);
        // The first card installs slowly, so that its task is still running.
        SimulatorFixture sim(
            BatchCards::arguments(cards, m_dir.store(), { "--card", cards[0] + ":prog-install-ms=300" }));
        QVERIFY(sim.start());
        const QString file = m_dir.file("image.bin", PackageBuilder::payload(100));
        // One worker in its own thread, started and read as the pool does it.
        QThread thread;
        QPointer<BatchProgrammingThread> worker = new BatchProgrammingThread();
        worker->setReplyTimeout(150);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        QList<int> statuses;
        connect(worker, &BatchProgrammingThread::finished, &thread, [&] { statuses.append(worker->status()); });
        worker->moveToThread(&thread);
        thread.start();
        const auto stop = qScopeGuard([&] { thread.quit(), thread.wait(); });
        const auto start = [&](int index) {
            QMetaObject::invokeMethod(worker, [w = worker.data(), index] { w->onTaskStart(index); });
        };
        const auto hand = [&](const QString& ip) {
            worker->setDevice(ip, 4);
            worker->setMode(BatchProgrammingThread::Program);
            worker->setProgType(1);
            worker->setProgrammingFile(file);
        };
        // Another worker's index, then a start before anything was handed over.
        start(1);
        start(0);
        hand(cards[0]);
        start(3);
        start(4);
        QVERIFY(waitUntil([&] { return sim.frames("in", 257).size() == 1; }, kTaskMs));
        // Its own index once more while the task runs, and with a new device.
        start(4);
        hand(cards[1]);
        start(4);
        QVERIFY(waitUntil([&] { return !statuses.isEmpty(); }, kTaskMs));
        // A stale index after the task ended.
        start(4);
        QTest::qWait(100);
        QCOMPARE(statuses, QList<int> { 2 });
        QCOMPARE(BatchCards::connections(sim, cards[0]), 1);
        QCOMPARE(BatchCards::connections(sim, cards[1]), 0);
    }

    void rules_data()
    {
        QTest::addColumn<int>("workers");
        QTest::addColumn<bool>("canary");
        QTest::addColumn<int>("maxFailures");
        // Per card: R refuses the start, D drops the link while installing,
        // A is absent (nothing listens at its address).
        QTest::addColumn<QString>("faults");
        QTest::addColumn<QString>("outcomes"); // S succeeded, F failed, N never started
        QTest::addColumn<BatchPool::Halt>("halt");
        using H = BatchPool::Halt;
        const auto row = [](const char* name, int workers, bool canary, int limit, const char* faults, H halt) {
            QTest::newRow(name) << workers << canary << limit << QString(faults).leftJustified(4, '.')
                                << QString(name).section(' ', 0, 0) << halt;
        };
        // A failed task frees its worker for the next card, which gets the
        // image from its first byte (sequence 0 included).
        row("FFSS rules off: every card is worked on", 1, false, 0, "AR", H::None);
        row("SFSS first device succeeded: the rest follow", 2, true, 0, ".D", H::None);
        row("FNNN first device failed: no other is started", 2, true, 0, "R", H::CanaryFailed);
        row("FSFN limit reached", 1, false, 2, "R.R", H::FailureLimit);
        // The second card is under way when the first fails: it finishes.
        row("FSNN cards under way finish", 2, false, 1, "R", H::FailureLimit);
        row("FFSS limit not reached", 1, false, 3, "DR", H::None);
    }
    void rules()
    {
        QFETCH(int, workers);
        QFETCH(bool, canary);
        QFETCH(int, maxFailures);
        QFETCH(QString, faults);
        QFETCH(QString, outcomes);
        QFETCH(BatchPool::Halt, halt);
        const QStringList cards = BatchCards::addresses(kArea, ++m_case, 4);
        // The second card acknowledges slowly: it is still sending when a
        // refused first card ends.
        QStringList listening, extra { "--card", cards[1] + ":prog-ack-delay-ms=40" };
        for (int i = 0; i < cards.size(); ++i) {
            if (faults[i] != 'A')
                listening << cards[i];
            if (faults[i] == 'R' || faults[i] == 'D')
                extra << "--card" << cards[i] + (faults[i] == 'R' ? ":prog-refuse-start" : ":prog-drop-installing");
        }
        SimulatorFixture sim(BatchCards::arguments(listening, m_dir.store(), extra));
        QVERIFY(sim.start());
        BatchPool pool(workers);
        pool.setReplyTimeout(2000);
        pool.setInstallTimeout(2000);
        const QByteArray image = PackageBuilder::payload(6000);
        QVERIFY(pool.prepareImage(m_dir.file("image.bin", image)));
        BatchTracker tracker(&pool);
        QVector<QList<Phase>> phases(cards.size());
        connect(&tracker, &BatchTracker::cardChanged, this, [&](int index) {
            const Phase phase = tracker.cards()[index].phase;
            if (phases[index].isEmpty() || phases[index].last() != phase)
                phases[index].append(phase);
        });
        // With the canary no other card starts before the first has ended.
        bool startedBeforeCanary = false;
        connect(&pool, &BatchPool::taskStarted, this, [&](int, int index) {
            startedBeforeCanary |= canary && index > 0 && tracker.cards()[0].phase != Phase::Ended;
        });
        QVERIFY(pool.start(cards, BatchProgrammingThread::Program, 1, { canary, maxFailures }));
        WAIT_VERIFY(!pool.isRunning(), kTaskMs);

        QString got;
        for (const BatchTracker::Card& card : tracker.cards())
            got += card.succeeded() ? 'S' : card.failed() ? 'F' : card.phase == Phase::NotStarted ? 'N' : '?';
        QCOMPARE(got, outcomes);
        QCOMPARE(pool.halt(), halt);
        QCOMPARE(pool.notStarted(), outcomes.count('N'));
        QVERIFY(!startedBeforeCanary);
        const BatchTracker::Totals totals = tracker.totals();
        QCOMPARE(
            QList<int>({ totals.notStarted, totals.left, totals.finished }), QList<int>({ outcomes.count('N'), 0, 1 }));
        const QStringList reasons { "connect failed", "start refused", "connection lost" };
        for (int i = 0; i < cards.size(); ++i) {
            const QString reason = BatchTracker::reason(tracker.cards()[i], pool.halt());
            // Each card worked on is connected to once, a card not started never.
            QCOMPARE(BatchCards::connections(sim, cards[i]), outcomes[i] == 'N' || faults[i] == 'A' ? 0 : 1);
            switch (outcomes[i].toLatin1()) {
            case 'S':
                QCOMPARE(
                    phases[i], (QList<Phase> { Phase::Connecting, Phase::Sending, Phase::Installing, Phase::Ended }));
                QCOMPARE(m_dir.flash(cards[i], 1), image);
                break;
            case 'F': QCOMPARE(reason, reasons.at(QStringLiteral("ARD").indexOf(faults[i]))); break;
            default: QCOMPARE(reason, "not started: " + BatchPool::haltText(halt));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestBatchPool)
#include "tst_batchpool.moc"
