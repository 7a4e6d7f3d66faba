// The programming and backup runs without a window: the version rules, the
// chunks and resends, each reply in each state, and both runs on a real link
// against a misbehaving simulated card (the one place the page, the batch
// worker and netquill-cli share).

#include "link/commtcp.h"
#include "programming/backuprun.h"
#include "programming/backuptransfer.h"
#include "programming/programmingrun.h"
#include "programming/versiontext.h"
#include "programmingtest.h"

#include <QDir>
#include <QSignalSpy>
#include <QtEndian>
#include <QtTest>

namespace {

constexpr int kArea = 22;
const QByteArray kVersion = QByteArrayLiteral("v1.3.0 20261201");
const quint8* bytesOf(const QByteArray& b)
{
    return reinterpret_cast<const quint8*>(b.constData());
}

// A run with the batch policy driven by hand, reply by reply, without a
// link; what it asks to send is recorded.
struct Driver {
    Driver()
    {
        QObject::connect(&run, &ProgrammingRun::sendCmd, [this](int cmd, const QByteArray& d) {
            sent.append({ cmd, d });
        });
    }
    void reply(int cmd, const QByteArray& data = QByteArray()) { run.handleReply(cmd, bytesOf(data), data.size()); }
    void accept(int cmd) { reply(cmd, QByteArray(1, '\1')); }
    QByteArray last() const { return sent.isEmpty() ? QByteArray() : sent.last().second; }
    int failure() const { return finished.first().first().toInt(); }

    ProgrammingRun run { ProgrammingRun::Policy::batch() };
    QVector<QPair<int, QByteArray>> sent;
    QSignalSpy finished { &run, &ProgrammingRun::finished };
};

// One run (programming or backup) on a real link to one simulated card.
template <typename Run> bool wire(Run& run, CommTcp& link, const QString& address)
{
    QObject::connect(&run, &Run::sendCmd, &link, &CommTcp::send);
    QObject::connect(&link, &CommTcp::gotProgRespond, &run, &Run::handleReply);
    QObject::connect(&link, &CommTcp::disconnected, &run, &Run::linkLost);
    link.connectToDevice(address);
    return link.isConnected();
}

} // namespace

class TestProgrammingRun : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgrammingTest::Workspace> m_dir;
    int m_case = 0;

private slots:
    void init() { QVERIFY((m_dir = std::make_unique<ProgrammingTest::Workspace>())->isValid()); }

    // Whether the card takes the plain (old) transfer, and the batch's Version
    // column: the first word that begins with v, else the whole reply.
    void versionText_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("old");
        QTest::addColumn<QString>("word");
        const auto row = [](const char* name, const QByteArray& reply, bool old, const char* word) {
            QTest::newRow(name) << reply << old << QString::fromLatin1(word);
        };
        row("1.2.2 is old", "v1.2.2 20250101", true, "v1.2.2");
        row("1.2.3 is new", "v1.2.3 20250101", false, "v1.2.3");
        row("no text after the numbers", "v1.0.0", true, "v1.0.0");
        row("patch above 255 is ORed in", "v1.1.300 x", true, "v1.1.300");
        row("minor 259 reaches 1.3", "v1.259.0 x", false, "v1.259.0");
        row("shorter than 6 bytes", "v1.0.", false, "v1.0.");
        row("two numbers only", "v1.2 build", false, "v1.2");
        row("capital V is no version", "V1.0.0 Vx", false, "V1.0.0 Vx");
        row("garbage after zero byte", QByteArray("v1.0.0 \0v9.9.9 z", 16), true, "v1.0.0");
        row("negative major", "v-1.0.0 x", true, "v-1.0.0");
        row("no word begins with v", "build 7 release", false, "build 7 release");
        row("several words begin with v", "alpha v1.2 v3.4", false, "v1.2");
        row("runs of spaces keep empty words", "  v9  x", false, "v9");
    }
    void versionText()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, old);
        QFETCH(QString, word);
        QCOMPARE(VersionText::usesOldProtocol(bytesOf(reply), reply.size()), old);
        QCOMPARE(VersionText::versionWord(reply), word);
    }

    void chunking_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("old");
        for (bool old : { false, true })
            for (int size : { 0, 1, 1024, 5 * 1024 + 7 })
                QTest::addRow("%s %d", old ? "plain" : "sequenced", size) << size << old;
    }
    void chunking()
    {
        QFETCH(int, size);
        QFETCH(bool, old);
        const QByteArray bytes = PackageBuilder::payload(size);
        Driver d;
        d.run.start(m_dir->file("image.bin", bytes), 1);
        d.reply(1, old ? QByteArray("v1.2.2 20250101") : kVersion);
        QByteArray start(5, '\1');
        qToBigEndian<quint32>(quint32(size), start.data() + 1);
        QCOMPARE(d.last(), start);
        d.accept(256);
        QByteArray reassembled;
        int chunks = 0;
        for (int seen = 2; seen < d.sent.size() && seen < 100; ++seen, ++chunks) {
            const auto& [cmd, data] = d.sent.at(seen);
            const QByteArray imageBytes = data.mid(old ? 0 : 1);
            QCOMPARE(cmd, 257);
            if (!old)
                QCOMPARE(quint8(data.at(0)), quint8(chunks));
            QVERIFY(imageBytes.size() >= 1 && imageBytes.size() <= ProgrammingRun::kChunkSize);
            reassembled += imageBytes;
            QCOMPARE(d.run.sentBytes(), qint64(reassembled.size()));
            d.accept(257);
        }
        QCOMPARE(reassembled, bytes);
        QCOMPARE(chunks, (size + 1023) / 1024);
        // The acknowledgement of the last chunk finds nothing more to send.
        QCOMPARE(d.run.state(), ProgrammingRun::State::AwaitingInstallation);
        QVERIFY(d.finished.isEmpty());
    }

    // An image the card cannot be told truly ends the run: one that shrinks
    // after the card was told 3000 bytes (waiting for it would never end), or
    // one larger than the size field holds.
    void imageThatCannotBeToldTruly()
    {
        const QString path = m_dir->file("image.bin", PackageBuilder::payload(3000));
        Driver d;
        d.run.start(path, 1);
        d.reply(1, kVersion);
        QVERIFY(QFile::resize(path, 1500));
        for (int i = 0; i < 3; ++i)
            d.accept(i ? 257 : 256);
        QCOMPARE(d.failure(), int(ProgrammingRun::ImageUnreadable));
        QCOMPARE(QList<int>({ d.finished.size(), d.sent.size(), d.sent[2].second.size(), d.last().size() }),
            QList<int>({ 1, 4, 1025, 477 }));
        if (!QFile::resize(path, ProgrammingRun::kMaxImageSize + 1)) // sparse: no disk space is used
            QSKIP("the file system holds no file this large");
        Driver huge;
        huge.run.start(path, 1);
        huge.reply(1, kVersion);
        QCOMPARE(huge.failure(), int(ProgrammingRun::ImageUnreadable));
        QCOMPARE(huge.sent.size(), 1);
        QVERIFY(QFile::resize(path, ProgrammingRun::kMaxImageSize));
        huge.run.start(path, 1);
        huge.reply(1, kVersion);
        QCOMPARE(huge.last(), QByteArray::fromHex("01FFFFFFFF"));
    }

    void repliesOutOfTurn_data()
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
    // A run that has ended sends nothing more and ends once, whatever the card repeats.
    void repliesOutOfTurn()
    {
        QFETCH(int, step);
        QFETCH(int, code);
        QFETCH(int, failure);
        Driver d;
        d.run.start(m_dir->file("image.bin", PackageBuilder::payload(3000)), 2);
        const QVector<std::function<void()>> steps {
            [&] { d.reply(1, kVersion); }, // the start goes out
            [&] { d.accept(256); }, // the first chunk
            [&] { d.accept(257); }, // the second
            [&] { d.accept(257); }, // the third and last: every byte is out
            [&] { d.accept(257), d.reply(258); }, // the card installs
            [&] { d.reply(259), d.reply(259); }, // and ends, once however often it says so
        };
        for (int i = 0; i < steps.size() && d.finished.isEmpty(); ++i) {
            if (i == step)
                d.reply(code);
            steps[i]();
        }
        QCOMPARE(d.finished.size(), 1);
        QCOMPARE(d.failure(), failure);
        QCOMPARE(d.run.state(), ProgrammingRun::State::Idle);
        QCOMPARE(d.sent.size(), failure == ProgrammingRun::NoFailure ? 2 + 3 : 2 + step - 1);
        QCOMPARE(d.run.version(), QStringLiteral("v1.3.0"));
    }

    // The fault matrix (docs/fault-matrix.md): one row per fault of the card.
    void wireFaults_data()
    {
        QTest::addColumn<QString>("card"); // the simulator's options
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("chunks"); // command-257 frames the card got; -1: not counted
        QTest::addColumn<int>("resends");
        const int ok = ProgrammingRun::NoFailure, refused = ProgrammingRun::ChunkRefused;
        const int timeout = ProgrammingRun::ChunkTimeout, lost = ProgrammingRun::ConnectionLost;
        const int install = ProgrammingRun::InstallationTimeout, noStart = ProgrammingRun::StartRefused;
        const auto row = [](const char* name, const char* card, int failure, int chunks, int resends) {
            QTest::newRow(name) << QString::fromLatin1(card) << failure << chunks << resends;
        };
        // Each chunk is given the whole time-out from when it left, however long
        // the run has been going (twenty chunks take longer than one time-out).
        row("every acknowledgement late, all in time", "--prog-ack-delay-ms 60", ok, 20, 0);
        row("one acknowledgement lost: one identical resend", "--prog-drop-ack 3", ok, 21, 1);
        row("replies split across reads", "--split-gap-ms 20", ok, 20, 0);
        row("bad checksums", "--corrupt-every 6", ok, -1, -1);
        row("garbage between frames", "--garbage 00ff1337a5", ok, 20, 0);
        // A false start swallows the frame behind it, until the link's 100 ms
        // reassembly time-out: lost acknowledgements are resent.
        row("false start byte", "--garbage 68 --garbage-every 4 --prog-install-ms 200 --prog-finish-ms 200", ok, -1,
            -1);
        row("flood of unknown codes", "--flood 4660,20,339 --flood-count 3000 --flood-data 6801020304", ok, 20, 0);
        row("flood of other operations' codes", "--flood 4,5,7,10,13,19,336,337,338 --flood-count 900 --flood-data 01",
            ok, 20, 0);
        // A runaway card's "finished" before it has the image is no success.
        row("flood of 258 and 259 mid-transfer",
            "--flood 258,259 --flood-count 1000 --flood-delay-ms 40 --flood-burst 2 --prog-ack-delay-ms 4", refused, -1,
            -1);
        row("wrong length: start reply without result byte", "--reply-size 256:0", noStart, 0, 0);
        row("wrong length: chunk reply without result byte", "--reply-size 257:0", refused, 1, 0);
        row("wrong length: chunk reply of 40 bytes", "--reply-size 257:40", ok, 20, 0);
        row("wrong length: empty version reply", "--reply-size 1:0 --prog-protocol sequenced", ok, 20, 0);
        row("start refused", "--prog-refuse-start", noStart, 0, 0);
        row("chunk refused", "--prog-refuse-chunk 4", refused, 4, 0);
        row("silent card: three identical resends", "--prog-silent-from 2", timeout, 2 + 3, 3);
        // Each chunk has three resends of its own, whatever came before.
        row("one acknowledgement lost, then silent", "--prog-drop-ack 3 --prog-silent-from 5", timeout, 5 + 1 + 3, 4);
        // The plain transfer is never resent.
        row("silent card, plain transfer: no resend", "--prog-silent-from 1 --version v1.2.2", timeout, 1, 0);
        row("connection lost mid-transfer", "--prog-close-at-chunk 5", lost, 5, 0);
        row("connection lost while installing", "--prog-drop-installing", lost, 20, 0);
        row("installation never reported", "--prog-no-finish", install, 20, 0);
        row("installing reported, the end never", "--prog-finish-ms 600000", install, 20, 0);
        row("259 without 258 ends the run", "--prog-skip-installing", ok, 20, 0);
    }
    // The run ends once, with the failure the card earned; a run that
    // succeeds leaves the very image in the card's flash.
    void wireFaults()
    {
        QFETCH(QString, card);
        QFETCH(int, failure);
        QFETCH(int, chunks);
        QFETCH(int, resends);
        const QString address = TestAddresses::card(kArea, ++m_case);
        SimulatorFixture sim(BatchCards::arguments({ address }, m_dir->store(), card.split(' ')));
        QVERIFY(sim.start());
        const QByteArray bytes = PackageBuilder::payload(20000, 77);
        CommTcp link;
        ProgrammingRun run(ProgrammingRun::Policy::batch());
        run.setChunkTimeout(150);
        run.setInstallTimeout(800);
        QSignalSpy finished(&run, &ProgrammingRun::finished);
        QVERIFY(wire(run, link, address));
        run.start(m_dir->file("image.bin", bytes), 0);
        QVERIFY(finished.wait(20000));
        QTest::qWait(300); // anything the card still floods or repeats has arrived by then
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), failure);
        QCOMPARE(run.state(), ProgrammingRun::State::Idle);
        if (failure == ProgrammingRun::NoFailure) {
            QCOMPARE(run.sentBytes(), qint64(bytes.size()));
            QCOMPARE(m_dir->flash(address, 0), bytes);
        }
        const auto sent = sim.frames("in", 257);
        QCOMPARE(chunks < 0 ? -1 : sent.size(), chunks);
        QCOMPARE(resends < 0 ? -1 : run.resends(), resends);
        // A resend repeats the unanswered chunk byte for byte.
        for (int i = 1; i < sent.size(); ++i) {
            if (ProgrammingTest::data(sent[i]).left(1) == ProgrammingTest::data(sent[i - 1]).left(1))
                QCOMPARE(ProgrammingTest::data(sent[i]), ProgrammingTest::data(sent[i - 1]));
        }
    }

    void backupWireFaults_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<int>("result");
        const auto row = [](const char* name, const char* card, int result) {
            QTest::newRow(name) << QString::fromLatin1(card) << result;
        };
        const int ok = BackupRun::Finished;
        row("pieces beyond the announced size", "--backup-announce 14900 --backup-piece 600", ok);
        row("replies split across reads", "--split-gap-ms 20", ok);
        row("garbage between frames", "--garbage 00ff1337a5", ok);
        row("flood of unknown codes", "--flood 4660,20 --flood-count 3000", ok);
        row("flood of programming codes", "--flood 256,257,258,259 --flood-count 400 --flood-data 01", ok);
        // A lost piece cannot be asked for again (the card serves the next one):
        // the backup fails after the piece time-out instead of waiting for ever.
        row("bad checksums", "--corrupt-every 5", BackupRun::NoReply);
        row("false start byte", "--garbage 68 --garbage-every 6", BackupRun::NoReply);
        row("refused (size 0)", "--backup-refuse", BackupRun::StartFailed);
        row("wrong length: start reply of 2 bytes", "--reply-size 337:2", BackupRun::StartFailed);
        row("wrong length: start reply of 5 bytes", "--reply-size 337:5", BackupRun::StartFailed);
        row("wrong length: empty piece", "--reply-size 338:0", BackupRun::Failed);
        row("connection lost", "--backup-close-at-piece 2", BackupRun::LinkLost);
    }
    // Either the whole new backup under the chosen name or yesterday's, never
    // a piece of one, and never a stray file beside it.
    void backupWireFaults()
    {
        QFETCH(QString, card);
        QFETCH(int, result);
        const QString address = TestAddresses::card(kArea, ++m_case);
        const QByteArray source = PackageBuilder::payload(20000, 11);
        const QString served = m_dir->file("card program.bin", source);
        SimulatorFixture sim(
            QStringList { "--listen", address, "--backup-file", served, "--backup-prepare-ms", "5" } + card.split(' '));
        QVERIFY(sim.start());
        QVERIFY(QDir(m_dir->path()).mkpath("backups"));
        const QString target = m_dir->path("backups/program.bin");
        QVERIFY(PackageBuilder::write(target, "yesterday's backup"));
        CommTcp link;
        BackupRun run(300);
        connect(&run, &BackupRun::sizeAnnounced, &run, [&] { run.receiveInto(target); });
        QSignalSpy finished(&run, &BackupRun::finished);
        QVERIFY(wire(run, link, address));
        run.start(2);
        QVERIFY(finished.wait(20000));
        QTest::qWait(300);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(finished.first().first().toInt(), result);
        QCOMPARE(ProgrammingTest::data(sim.frames("in", 337).first()), QByteArray(1, '\2'));
        // Everything that came is kept, though more than announced.
        const int kept = card.contains("14900") ? 15000 : source.size();
        QCOMPARE(PackageBuilder::read(target),
            result == BackupRun::Finished ? source.left(kept) : QByteArray("yesterday's backup"));
        QCOMPARE(QDir(m_dir->path("backups")).entryList(QDir::Files), QStringList { "program.bin" });
    }

    // A backup whose file cannot be made takes no piece (the wire faults keep
    // yesterday's file and leave nothing beside it).
    void unopenedBackupTakesNoPiece()
    {
        BackupTransfer backup;
        QVERIFY(!backup.open(m_dir->path(QStringLiteral("no such folder/backup.bin")), 10));
        QVERIFY(!backup.isReceiving());
        const quint8 byte = 1;
        QCOMPARE(int(backup.addPiece(&byte, 1)), int(BackupTransfer::Piece::Failed));
    }
};

QTEST_GUILESS_MAIN(TestProgrammingRun)
#include "tst_programmingrun.moc"
