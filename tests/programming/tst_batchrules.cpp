// A batch's canary and failure limit: the real pool against simulated cards.

#include "programming/batchpool.h"
#include "programming/batchprogrammingthread.h"
#include "programming/batchtracker.h"
#include "programmingtest.h"
#include "support/waituntil.h"

#include <QtTest>

namespace {

constexpr int kArea = 57;
constexpr int kBatchMs = 30000;

using Phase = BatchTracker::Phase;

// S succeeded, F failed, N never started.
QString outcomes(const QVector<BatchTracker::Card>& cards)
{
    QString result;
    for (const BatchTracker::Card& card : cards)
        result += card.succeeded() ? 'S' : card.failed() ? 'F' : card.phase == Phase::NotStarted ? 'N' : '?';
    return result;
}

} // namespace

Q_DECLARE_METATYPE(BatchPool::Halt)

class TestBatchRules : public QObject {
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<int>("workers");
        QTest::addColumn<bool>("canary");
        QTest::addColumn<int>("maxFailures");
        QTest::addColumn<QList<int>>("refusing"); // cards that refuse the start
        QTest::addColumn<QString>("outcomes");
        QTest::addColumn<BatchPool::Halt>("halt");
        using H = BatchPool::Halt;
        const auto row = [](const char* name, int workers, bool canary, int limit, QList<int> refusing, H halt) {
            QTest::newRow(name) << workers << canary << limit << refusing << QString(name).section(' ', 0, 0) << halt;
        };
        row("FFSS rules off: every card is worked on", 1, false, 0, { 0, 1 }, H::None);
        row("SFSS first device succeeded: the rest follow", 2, true, 0, { 1 }, H::None);
        row("FNNN first device failed: no other is started", 2, true, 0, { 0 }, H::CanaryFailed);
        row("FSFN limit reached", 1, false, 2, { 0, 2 }, H::FailureLimit);
        // The second card is under way when the first fails: it finishes.
        row("FSNN cards under way finish", 2, false, 1, { 0 }, H::FailureLimit);
        row("FFSS limit not reached", 1, false, 3, { 0, 1 }, H::None);
    }
    void rules()
    {
        QFETCH(int, workers);
        QFETCH(bool, canary);
        QFETCH(int, maxFailures);
        QFETCH(QList<int>, refusing);
        QFETCH(QString, outcomes);
        QFETCH(BatchPool::Halt, halt);

        ProgrammingTest::Workspace dir;
        QVERIFY(dir.isValid());
        const QStringList cards = BatchCards::addresses(kArea, ++m_case, 4);
        // The second card acknowledges slowly: it is still sending when a
        // refused first card ends.
        QStringList extra { "--card", cards[1] + ":prog-ack-delay-ms=40" };
        for (int index : refusing)
            extra << "--card" << cards[index] + ":prog-refuse-start";
        SimulatorFixture sim(BatchCards::arguments(cards, dir.store(), extra));
        QVERIFY(sim.start());

        BatchPool pool(workers);
        pool.setReplyTimeout(2000);
        pool.setInstallTimeout(2000);
        QVERIFY(pool.prepareImage(dir.file("image.bin", PackageBuilder::payload(6000))));
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
        WAIT_VERIFY(!pool.isRunning(), kBatchMs);

        QCOMPARE(::outcomes(tracker.cards()), outcomes);
        QCOMPARE(pool.halt(), halt);
        QCOMPARE(pool.notStarted(), outcomes.count('N'));
        QVERIFY(!startedBeforeCanary);
        const BatchTracker::Totals totals = tracker.totals();
        QCOMPARE(totals.notStarted, outcomes.count('N'));
        QCOMPARE(totals.left, 0);
        QVERIFY(totals.finished);
        for (int i = 0; i < cards.size(); ++i) {
            const BatchTracker::Card& card = tracker.cards()[i];
            switch (outcomes[i].toLatin1()) {
            case 'S':
                QCOMPARE(
                    phases[i], (QList<Phase> { Phase::Connecting, Phase::Sending, Phase::Installing, Phase::Ended }));
                break;
            case 'F': QCOMPARE(BatchTracker::reason(card, pool.halt()), QStringLiteral("start refused")); break;
            default:
                QCOMPARE(BatchTracker::reason(card, pool.halt()), "not started: " + BatchPool::haltText(halt));
                // Never connected to.
                QCOMPARE(BatchCards::connections(sim, cards[i]), 0);
            }
        }
    }

private:
    int m_case = 0;
};

QTEST_GUILESS_MAIN(TestBatchRules)
#include "tst_batchrules.moc"
