// The batch worker on the wire: a real worker in a thread of its own, as the
// batch dialog runs it, against simulated cards on loopback, with its image
// in a temporary folder.

#include "batchcards.h"
#include "programming/batchprogrammingthread.h"
#include "programming/programmingrun.h"
#include "programmingtest.h"
#include "support/boxrecorder.h"
#include "support/waituntil.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QThread>
#include <QtTest>

using ProgrammingTest::data;

namespace {

constexpr int kArea = 50;
constexpr int kShortChunkMs = 150;
constexpr int kShortInstallMs = 600;
constexpr int kTaskMs = 20000;

// One worker in its own thread, started and read as the dialog does it. The
// outcome of each task is read in this thread when its finished() arrives.
class Worker : public QObject {
    Q_OBJECT

public:
    explicit Worker(int replyMs = kShortChunkMs, int installMs = kShortInstallMs)
    {
        worker->setReplyTimeout(replyMs);
        worker->setInstallTimeout(installMs);
        connect(&thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(this, &Worker::taskStart, worker, &BatchProgrammingThread::onTaskStart);
        connect(worker, &BatchProgrammingThread::finished, this, [this] {
            statuses.append(worker->status());
            versions.append(worker->version());
        });
        connect(
            worker, &BatchProgrammingThread::programmingStarted, this, [this](qint64 total) { totals.append(total); });
        connect(worker, &BatchProgrammingThread::programmingUpdated, this,
            [this](qint64 written) { updates.append(written); });
        worker->moveToThread(&thread);
        thread.start();
    }
    ~Worker() override
    {
        thread.quit();
        thread.wait();
    }

    void hand(const QString& ip, int index, int mode, int type, const QString& image = QString())
    {
        worker->setDevice(ip, index);
        worker->setMode(mode);
        worker->setProgType(type);
        if (!image.isEmpty())
            worker->setProgrammingFile(image);
    }
    // Hands a task over and waits for its end; false when it does not end.
    bool run(const QString& ip, int index, int mode, int type, const QString& image = QString())
    {
        const int before = statuses.size();
        hand(ip, index, mode, type, image);
        emit taskStart(index);
        return waitUntil([&] { return statuses.size() > before; }, kTaskMs);
    }

    QThread thread;
    QPointer<BatchProgrammingThread> worker { new BatchProgrammingThread() };
    QList<int> statuses;
    QStringList versions;
    QList<qint64> totals;
    QList<qint64> updates;

signals:
    void taskStart(int index);
};

} // namespace

class TestBatchProgrammingThread : public QObject {
    Q_OBJECT

private slots:
    void init();

    void programsCardAfterCardFromOffsetZero();
    void failedTasksEndAndFreeTheWorker_data();
    void failedTasksEndAndFreeTheWorker();
    void startsOnlyTheTaskHandedToIt();
    void newImageForTheNextBatch();
    void silentCardAtTheRealChunkTimeout();
    // The fault matrix (docs/fault-matrix.md): one row per fault.
    void wireFaults_data();
    void wireFaults();

private:
    std::unique_ptr<ProgrammingTest::Workspace> m_dir;
    int m_case = 0;
};

void TestBatchProgrammingThread::init()
{
    ++m_case;
    m_dir = std::make_unique<ProgrammingTest::Workspace>();
    QVERIFY(m_dir->isValid());
}

void TestBatchProgrammingThread::programsCardAfterCardFromOffsetZero()
{
    const QStringList cards = BatchCards::addresses(kArea, m_case, 3);
    // The middle card takes the plain transfer.
    SimulatorFixture sim(BatchCards::arguments(cards, m_dir->store(), { "--card", cards[1] + ":version=v1.2.2 old" }));
    QVERIFY(sim.start());
    BoxRecorder boxes;
    const QByteArray payload = PackageBuilder::payload(5000);
    const QString file = m_dir->file("image.bin", payload);

    Worker w;
    for (int i = 0; i < cards.size(); ++i)
        QVERIFY(w.run(cards[i], i, BatchProgrammingThread::Program, 2, file));
    QCOMPARE(w.statuses, (QList<int> { 2, 2, 2 }));
    QCOMPARE(w.totals, (QList<qint64> { 5000, 5000, 5000 }));
    QCOMPARE(w.updates.count(5000), 3 * 2); // the last acknowledgement and the 259

    for (int i = 0; i < cards.size(); ++i) {
        const QString& card = cards[i];
        QCOMPARE(m_dir->flash(card, 2), payload);
        QCOMPARE(BatchCards::connections(sim, card), 1);
        // The version of "Firmware" tells the transfer; the start carries the chosen type.
        const auto version = BatchCards::frames(sim, card, 1);
        QCOMPARE(version.size(), 1);
        QCOMPARE(data(version.first()), QByteArray(1, '\1'));
        const auto start = BatchCards::frames(sim, card, 256);
        QCOMPARE(start.size(), 1);
        QCOMPARE(data(start.first()), QByteArray::fromHex("0200001388"));
        // Each card gets the image from its first byte, sequence 0 included.
        const auto chunks = BatchCards::frames(sim, card, 257);
        QCOMPARE(chunks.size(), 5);
        const QByteArray first = data(chunks.first());
        QCOMPARE(first, i == 1 ? payload.left(1024) : QByteArray(1, '\0') + payload.left(1024));
    }
    QVERIFY(boxes.boxes.isEmpty());
}

void TestBatchProgrammingThread::failedTasksEndAndFreeTheWorker_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("listening");
    QTest::addColumn<int>("chunksSent"); // command-257 frames the faulty card got, -1: not checked
    QTest::addColumn<bool>("allBytesSent");
    // The lost link must end the task by itself: no time-out would within the test.
    QTest::addColumn<bool>("endsByLink");
    QTest::newRow("no card at the address") << QStringList() << false << 0 << false << true;
    QTest::newRow("version request unanswered") << QStringList { "version-silent" } << true << 0 << false << false;
    QTest::newRow("start refused") << QStringList { "prog-refuse-start" } << true << 0 << false << true;
    QTest::newRow("chunk refused") << QStringList { "prog-refuse-chunk=2" } << true << 2 << false << true;
    QTest::newRow("silent card, three identical resends")
        << QStringList { "prog-silent-from=2" } << true << 2 + 3 << false << false;
    QTest::newRow("connection dropped mid-transfer")
        << QStringList { "prog-close-at-chunk=2" } << true << 2 << false << true;
    QTest::newRow("connection dropped while installing")
        << QStringList { "prog-drop-installing" } << true << 3 << true << true;
    QTest::newRow("installation never reported") << QStringList { "prog-no-finish" } << true << 3 << true << false;
}

// Whatever goes wrong, the task ends with status 3, once, without a box, and
// the worker takes the next card.
void TestBatchProgrammingThread::failedTasksEndAndFreeTheWorker()
{
    QFETCH(QStringList, faults);
    QFETCH(bool, listening);
    QFETCH(int, chunksSent);
    QFETCH(bool, allBytesSent);
    QFETCH(bool, endsByLink);
    const QString faulty = TestAddresses::card(kArea, m_case, 1);
    const QString healthy = TestAddresses::card(kArea, m_case, 2);
    QStringList extra;
    for (const QString& fault : faults)
        extra << QStringLiteral("--card") << faulty + QLatin1Char(':') + fault;
    SimulatorFixture sim(BatchCards::arguments(
        listening ? QStringList { faulty, healthy } : QStringList { healthy }, m_dir->store(), extra));
    QVERIFY(sim.start());
    BoxRecorder boxes;
    const QByteArray payload = PackageBuilder::payload(2500);
    const QString file = m_dir->file("image.bin", payload);

    Worker w(endsByLink ? 3 * kTaskMs : kShortChunkMs, endsByLink ? 3 * kTaskMs : kShortInstallMs);
    QVERIFY(w.run(faulty, 0, BatchProgrammingThread::Program, 1, file));
    QCOMPARE(w.statuses, QList<int> { 3 });
    const auto chunks = BatchCards::frames(sim, faulty, 257);
    QCOMPARE(chunks.size(), chunksSent);
    if (chunksSent > 2) {
        // Resends repeat the outstanding chunk byte for byte.
        for (int i = 2; i < chunks.size() && !allBytesSent; ++i)
            QCOMPARE(data(chunks[i]), data(chunks[1]));
    }
    QVERIFY(waitUntil([&] { return BatchCards::openNow(sim) == 0; }, kTaskMs));

    QVERIFY(w.run(healthy, 1, BatchProgrammingThread::Program, 1, file));
    QCOMPARE(w.statuses, (QList<int> { 3, 2 }));
    QCOMPARE(m_dir->flash(healthy, 1), payload);
    QVERIFY2(boxes.boxes.isEmpty(), qPrintable(boxes.texts().join(QLatin1Char('|'))));
}

void TestBatchProgrammingThread::startsOnlyTheTaskHandedToIt()
{
    const QStringList cards = BatchCards::addresses(kArea, m_case, 2);
    // The first card installs slowly, so that its task is still running.
    SimulatorFixture sim(BatchCards::arguments(cards, m_dir->store(), { "--card", cards[0] + ":prog-install-ms=300" }));
    QVERIFY(sim.start());
    const QString file = m_dir->file("image.bin", PackageBuilder::payload(100));
    Worker w;

    // Another worker's index, then a start before anything was handed over.
    emit w.taskStart(1);
    emit w.taskStart(0);
    w.hand(cards[0], 4, BatchProgrammingThread::Program, 1, file);
    emit w.taskStart(3);
    emit w.taskStart(4);
    QVERIFY(waitUntil([&] { return BatchCards::frames(sim, cards[0], 257).size() == 1; }, kTaskMs));
    // Its own index once more while the task runs, and with a new device.
    emit w.taskStart(4);
    w.hand(cards[1], 4, BatchProgrammingThread::Program, 1, file);
    emit w.taskStart(4);
    QVERIFY(waitUntil([&] { return !w.statuses.isEmpty(); }, kTaskMs));
    // A stale index after the task ended.
    emit w.taskStart(4);
    QTest::qWait(100);
    QCOMPARE(w.statuses, QList<int> { 2 });
    QCOMPARE(BatchCards::connections(sim, cards[0]), 1);
    QCOMPARE(BatchCards::connections(sim, cards[1]), 0);
}

void TestBatchProgrammingThread::newImageForTheNextBatch()
{
    const QString card = TestAddresses::card(kArea, m_case);
    SimulatorFixture sim(BatchCards::arguments({ card }, m_dir->store()));
    QVERIFY(sim.start());
    const QByteArray first = PackageBuilder::payload(3000, 1);
    const QByteArray second = PackageBuilder::payload(1500, 2);
    const QString firstFile = m_dir->file("first.bin", first);
    const QString secondFile = m_dir->file("second.bin", second);
    Worker w;
    QVERIFY(w.run(card, 0, BatchProgrammingThread::Program, 0, firstFile));
    QCOMPARE(m_dir->flash(card, 0), first);
    // Once closed by the worker, the batch's copy can go.
    w.worker->setProgrammingFile(QString());
    QVERIFY(QFile::remove(firstFile));
    QVERIFY(w.run(card, 0, BatchProgrammingThread::Program, 0, secondFile));
    QCOMPARE(w.statuses, (QList<int> { 2, 2 }));
    QCOMPARE(m_dir->flash(card, 0), second);
    // An image that cannot be opened fails the task after the version.
    QVERIFY(w.run(card, 0, BatchProgrammingThread::Program, 0, firstFile));
    QCOMPARE(w.statuses.last(), 3);
}

// The real 5 s chunk time-out of a plain transfer, which has no resends.
void TestBatchProgrammingThread::silentCardAtTheRealChunkTimeout()
{
    const QString card = TestAddresses::card(kArea, m_case);
    SimulatorFixture sim(
        BatchCards::arguments({ card }, m_dir->store(), { "--version", "v1.1.0 old", "--prog-silent-from", "1" }));
    QVERIFY(sim.start());
    const QString file = m_dir->file("image.bin", PackageBuilder::payload(4000));
    Worker w(0, 0);
    QElapsedTimer clock;
    clock.start();
    w.hand(card, 0, BatchProgrammingThread::Program, 1, file);
    emit w.taskStart(0);
    QVERIFY(waitUntil([&] { return !w.statuses.isEmpty(); }, 4 * ProgrammingRun::kBatchChunkTimeoutMs));
    // A coarse timer may fire up to 5 % early.
    QVERIFY2(
        clock.elapsed() >= ProgrammingRun::kBatchChunkTimeoutMs * 9 / 10, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(w.statuses, QList<int> { 3 });
    QCOMPARE(BatchCards::frames(sim, card, 257).size(), 1);
}

void TestBatchProgrammingThread::wireFaults_data()
{
    QTest::addColumn<QStringList>("faults"); // options of the faulty card
    QTest::addColumn<int>("status"); // 2 programmed, 3 failed

    QTest::newRow("replies split across reads") << QStringList { "split-gap-ms=20" } << 2;
    QTest::newRow("bad checksums") << QStringList { "corrupt-every=6" } << 2;
    QTest::newRow("garbage between frames") << QStringList { "garbage=00ff1337a5" } << 2;
    QTest::newRow("false start byte") << QStringList { "garbage=68", "garbage-every=4", "prog-install-ms=200",
        "prog-finish-ms=200" } << 2;
    QTest::newRow("flood of unknown codes")
        << QStringList { "flood=4660,20,339", "flood-count=3000", "flood-data=6801020304" } << 2;
    // "Finished" before the card has every byte cannot be a success.
    QTest::newRow("flood of 258 and 259 mid-transfer")
        << QStringList { "flood=258,259", "flood-count=1000", "flood-delay-ms=30", "prog-ack-delay-ms=4" } << 3;
    QTest::newRow("flood of other pages' codes")
        << QStringList { "flood=4,5,7,10,13,19,336,337,338", "flood-count=900", "flood-data=01" } << 2;
    QTest::newRow("wrong length: start reply without result byte") << QStringList { "reply-size=256:0" } << 3;
    QTest::newRow("wrong length: chunk reply without result byte") << QStringList { "reply-size=257:0" } << 3;
    QTest::newRow("wrong length: empty version reply")
        << QStringList { "reply-size=1:0", "prog-protocol=sequenced" } << 2;
}

// The task ends once, with the status the card earned, without a box; the
// worker's copy of the image is left as it was; the next card is served.
void TestBatchProgrammingThread::wireFaults()
{
    QFETCH(QStringList, faults);
    QFETCH(int, status);
    const QString faulty = TestAddresses::card(kArea, m_case, 1);
    const QString healthy = TestAddresses::card(kArea, m_case, 2);
    QStringList extra;
    for (const QString& fault : faults)
        extra << QStringLiteral("--card") << faulty + QLatin1Char(':') + fault;
    SimulatorFixture sim(BatchCards::arguments({ faulty, healthy }, m_dir->store(), extra));
    QVERIFY(sim.start());
    BoxRecorder boxes;
    const QByteArray payload = PackageBuilder::payload(20000);
    const QString file = m_dir->file("image.bin", payload);

    Worker w;
    QVERIFY(w.run(faulty, 0, BatchProgrammingThread::Program, 1, file));
    QTest::qWait(300);
    QCOMPARE(w.statuses, QList<int> { status });
    if (status == 2)
        QCOMPARE(m_dir->flash(faulty, 1), payload);
    QVERIFY(w.run(healthy, 1, BatchProgrammingThread::Program, 1, file));
    QCOMPARE(w.statuses, (QList<int> { status, 2 }));
    QCOMPARE(m_dir->flash(healthy, 1), payload);
    QCOMPARE(PackageBuilder::read(file), payload);
    QVERIFY(boxes.boxes.isEmpty());
}

QTEST_GUILESS_MAIN(TestBatchProgrammingThread)
#include "tst_batchprogrammingthread.moc"
