// The batch worker in its own thread: which task it takes, and a failed task frees it.

#include "programming/batchprogrammingthread.h"
#include "programmingtest.h"
#include "support/waituntil.h"

#include <QPointer>
#include <QThread>
#include <QtTest>

namespace {

constexpr int kArea = 50;
constexpr int kTaskMs = 20000;

// One worker in its own thread, started and read as the dialog does it.
class Worker : public QObject {
    Q_OBJECT

public:
    Worker()
    {
        worker->setReplyTimeout(150);
        worker->setInstallTimeout(600);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(this, &Worker::taskStart, worker, &BatchProgrammingThread::onTaskStart);
        connect(worker, &BatchProgrammingThread::finished, this, [this] { statuses.append(worker->status()); });
        worker->moveToThread(&thread);
        thread.start();
    }
    ~Worker() override
    {
        thread.quit();
        thread.wait();
    }
    void hand(const QString& ip, int index, const QString& image)
    {
        worker->setDevice(ip, index);
        worker->setMode(BatchProgrammingThread::Program);
        worker->setProgType(1);
        worker->setProgrammingFile(image);
    }
    // Hands a task over and waits for its end; false when it does not end.
    bool run(const QString& ip, int index, const QString& image)
    {
        const int before = statuses.size();
        hand(ip, index, image);
        emit taskStart(index);
        return waitUntil([&] { return statuses.size() > before; }, kTaskMs);
    }

    QThread thread;
    QPointer<BatchProgrammingThread> worker { new BatchProgrammingThread() };
    QList<int> statuses;

signals:
    void taskStart(int index);
};

} // namespace

class TestBatchProgrammingThread : public QObject {
    Q_OBJECT

private slots:
    void failedTaskFreesTheWorker_data()
    {
        QTest::addColumn<QStringList>("faults");
        QTest::addColumn<bool>("listening");
        QTest::newRow("no card at the address") << QStringList() << false;
        QTest::newRow("start refused") << QStringList { "prog-refuse-start" } << true;
        QTest::newRow("connection dropped while installing") << QStringList { "prog-drop-installing" } << true;
    }
    // The task ends with status 3, once, without a box; the worker takes the
    // next card and gives it the image from its first byte, sequence 0 included.
    void failedTaskFreesTheWorker()
    {
        QFETCH(QStringList, faults);
        QFETCH(bool, listening);
        ++m_case;
        const QString faulty = TestAddresses::card(kArea, m_case, 1);
        const QString healthy = TestAddresses::card(kArea, m_case, 2);
        QStringList extra;
        for (const QString& fault : faults)
            extra << QStringLiteral("--card") << faulty + QLatin1Char(':') + fault;
        SimulatorFixture sim(BatchCards::arguments(
            listening ? QStringList { faulty, healthy } : QStringList { healthy }, m_dir.store(), extra));
        QVERIFY(sim.start());
        const QByteArray payload = PackageBuilder::payload(2500);
        const QString file = m_dir.file("image.bin", payload);

        Worker w;
        QVERIFY(w.run(faulty, 0, file));
        QCOMPARE(w.statuses, QList<int> { 3 });
        QVERIFY(waitUntil([&] { return BatchCards::openNow(sim) == 0; }, kTaskMs));
        QVERIFY(w.run(healthy, 1, file));
        QCOMPARE(w.statuses, (QList<int> { 3, 2 }));
        QCOMPARE(m_dir.flash(healthy, 1), payload);
        const auto chunks = BatchCards::frames(sim, healthy, 257);
        QCOMPARE(ProgrammingTest::data(chunks.first()), QByteArray(1, '\0') + payload.left(1024));
    }

    void startsOnlyTheTaskHandedToIt()
    {
        const QStringList cards = BatchCards::addresses(kArea, 9, 2);
        // The first card installs slowly, so that its task is still running.
        SimulatorFixture sim(
            BatchCards::arguments(cards, m_dir.store(), { "--card", cards[0] + ":prog-install-ms=300" }));
        QVERIFY(sim.start());
        const QString file = m_dir.file("image.bin", PackageBuilder::payload(100));
        Worker w;

        // Another worker's index, then a start before anything was handed over.
        emit w.taskStart(1);
        emit w.taskStart(0);
        w.hand(cards[0], 4, file);
        emit w.taskStart(3);
        emit w.taskStart(4);
        QVERIFY(waitUntil([&] { return BatchCards::frames(sim, cards[0], 257).size() == 1; }, kTaskMs));
        // Its own index once more while the task runs, and with a new device.
        emit w.taskStart(4);
        w.hand(cards[1], 4, file);
        emit w.taskStart(4);
        QVERIFY(waitUntil([&] { return !w.statuses.isEmpty(); }, kTaskMs));
        // A stale index after the task ended.
        emit w.taskStart(4);
        QTest::qWait(100);
        QCOMPARE(w.statuses, QList<int> { 2 });
        QCOMPARE(BatchCards::connections(sim, cards[0]), 1);
        QCOMPARE(BatchCards::connections(sim, cards[1]), 0);
    }

private:
    ProgrammingTest::Workspace m_dir;
    int m_case = 0;
};

QTEST_GUILESS_MAIN(TestBatchProgrammingThread)
#include "tst_batchprogrammingthread.moc"
