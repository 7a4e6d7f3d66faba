// The programming run and the backup run themselves: what each reply means
// in each state of a run, and both runs on a real link against the card
// simulator, with the images and backups in temporary folders.

#include "link/commtcp.h"
#include "programming/backuprun.h"
#include "programming/programmingrun.h"
#include "programmingtest.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"
#include "support/waituntil.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

constexpr int kArea = 22;

const quint8 kAccepted[] = { 1 };
const QByteArray kVersion = QByteArrayLiteral("v1.3.0 20261201");

struct Sent {
    int cmd;
    QByteArray data;
};

} // namespace

class TestProgrammingRun : public QObject {
    Q_OBJECT

private slots:
    void init();

    void repliesOutOfTurn_data();
    void repliesOutOfTurn();
    void runsOnTheCard_data();
    void runsOnTheCard();
    void backupOnTheCard();

private:
    std::unique_ptr<ProgrammingTest::Workspace> m_dir;
    int m_case = 0;
};

void TestProgrammingRun::init()
{
    ++m_case;
    m_dir = std::make_unique<ProgrammingTest::Workspace>();
    QVERIFY(m_dir->isValid());
}

void TestProgrammingRun::repliesOutOfTurn_data()
{
    QTest::addColumn<int>("step"); // the card's unasked code comes before this step of the run
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("failure"); // the outcome of the run

    enum { Version, Start, SecondAck, ThirdAck, LastAck, End };
    const int ok = ProgrammingRun::NoFailure;
    // Before the card accepted the start they cannot be about this run.
    QTest::newRow("259 awaiting the version") << int(Version) << 259 << ok;
    QTest::newRow("258 awaiting the start") << int(Start) << 258 << ok;
    QTest::newRow("259 awaiting the start") << int(Start) << 259 << ok;
    QTest::newRow("258 mid-transfer") << int(SecondAck) << 258 << ok;
    // The end before every byte is out cannot be an installed image.
    QTest::newRow("259 mid-transfer") << int(SecondAck) << 259 << int(ProgrammingRun::ChunkRefused);
    // Every byte is out: the card may end before its last acknowledgement.
    QTest::newRow("259 before the last acknowledgement") << int(LastAck) << 259 << ok;
    QTest::newRow("259 after 258") << int(End) << 259 << ok;
}

// Driven by hand, reply by reply: a run that has ended sends nothing more and
// ends once, whatever the card repeats.
void TestProgrammingRun::repliesOutOfTurn()
{
    QFETCH(int, step);
    QFETCH(int, code);
    QFETCH(int, failure);
    const QString image = m_dir->file("image.bin", PackageBuilder::payload(3000));
    ProgrammingRun run(ProgrammingRun::Policy::batch());
    QVector<Sent> sent;
    connect(&run, &ProgrammingRun::sendCmd, [&](int cmd, const QByteArray& data) { sent.append({ cmd, data }); });
    QSignalSpy finished(&run, &ProgrammingRun::finished);
    const auto reply = [&](int cmd, const QByteArray& data = QByteArray()) {
        run.handleReply(cmd, reinterpret_cast<const quint8*>(data.constData()), data.size());
    };
    const QByteArray accepted(reinterpret_cast<const char*>(kAccepted), 1);

    run.start(image, 2);
    const QVector<std::function<void()>> steps {
        [&] { reply(1, kVersion); }, // the start goes out
        [&] { reply(256, accepted); }, // the first chunk
        [&] { reply(257, accepted); }, // the second
        [&] { reply(257, accepted); }, // the third and last: every byte is out
        [&] { // the card installs
            reply(257, accepted);
            reply(258);
        },
        [&] { // and ends, once however often it says so
            reply(259);
            reply(259);
        },
    };
    for (int i = 0; i < steps.size() && finished.isEmpty(); ++i) {
        if (i == step)
            reply(code);
        steps[i]();
    }
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toInt(), failure);
    QCOMPARE(run.state(), ProgrammingRun::State::Idle);
    QCOMPARE(sent.first().cmd, 1);
    QCOMPARE(sent.first().data, QByteArray(1, '\1'));
    QCOMPARE(sent.at(1).data, QByteArray::fromHex("0200000bb8"));
    QCOMPARE(sent.size(), failure == ProgrammingRun::NoFailure ? 2 + 3 : 2 + step - 1);
    QCOMPARE(run.version(), QStringLiteral("v1.3.0"));
}

void TestProgrammingRun::runsOnTheCard_data()
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<int>("resends");
    // Each chunk is given the whole time-out from when it left, however long
    // the run has been going.
    QTest::newRow("every acknowledgement late, all in time") << QStringList { "--prog-ack-delay-ms", "60" } << 0;
    QTest::newRow("one acknowledgement lost") << QStringList { "--prog-drop-ack", "2" } << 1;
}

void TestProgrammingRun::runsOnTheCard()
{
    QFETCH(QStringList, card);
    QFETCH(int, resends);
    const QString address = TestAddresses::card(kArea, m_case);
    SimulatorFixture sim(
        QStringList { "--listen", address, "--prog-store", m_dir->store(), "--prog-install-ms", "20" } + card);
    QVERIFY(sim.start());
    const QByteArray bytes = PackageBuilder::payload(10 * 1024 + 7);
    CommTcp link;
    ProgrammingRun run(ProgrammingRun::Policy::batch());
    run.setChunkTimeout(200);
    connect(&run, &ProgrammingRun::sendCmd, &link, &CommTcp::send);
    connect(&link, &CommTcp::gotProgRespond, &run, &ProgrammingRun::handleReply);
    QSignalSpy finished(&run, &ProgrammingRun::finished);
    QSignalSpy installing(&run, &ProgrammingRun::installing);
    link.connectToDevice(address);
    QVERIFY(link.isConnected());

    run.start(m_dir->file("image.bin", bytes), 0);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toInt(), int(ProgrammingRun::NoFailure));
    QCOMPARE(installing.size(), 1);
    QCOMPARE(run.resends(), resends);
    QCOMPARE(run.sentBytes(), qint64(bytes.size()));
    QCOMPARE(m_dir->flash(address, 0), bytes);
    QCOMPARE(sim.frames("in", 257).size(), 11 + resends);
}

void TestProgrammingRun::backupOnTheCard()
{
    const QString address = TestAddresses::card(kArea, m_case);
    const QByteArray bytes = PackageBuilder::payload(20000, 5);
    SimulatorFixture sim({ "--listen", address, "--backup-file", m_dir->file("card.bin", bytes), "--backup-prepare-ms",
        "5", "--backup-piece", "3000" });
    QVERIFY(sim.start());
    CommTcp link;
    BackupRun backup(2000);
    connect(&backup, &BackupRun::sendCmd, &link, &CommTcp::send);
    connect(&link, &CommTcp::gotProgRespond, &backup, &BackupRun::handleReply);
    const QString target = m_dir->path("backup.bin");
    connect(&backup, &BackupRun::sizeAnnounced, [&] { backup.receiveInto(target); });
    QSignalSpy preparing(&backup, &BackupRun::preparing);
    QSignalSpy pieces(&backup, &BackupRun::pieceReceived);
    QSignalSpy finished(&backup, &BackupRun::finished);
    link.connectToDevice(address);
    QVERIFY(link.isConnected());

    backup.start(1);
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.first().first().toInt(), int(BackupRun::Finished));
    QCOMPARE(preparing.size(), 1);
    QCOMPARE(pieces.size(), 7);
    QCOMPARE(PackageBuilder::read(target), bytes);
    QCOMPARE(ProgrammingTest::data(sim.frames("in", 337).first()), QByteArray(1, '\1'));
    QVERIFY(!backup.isReceiving());
}

QTEST_GUILESS_MAIN(TestProgrammingRun)
#include "tst_programmingrun.moc"
