// The programming page end to end: the real page wired to a real CommTcp as
// the main window wires them, against the card simulator on loopback, with
// image, package and backup files in temporary folders.

#include "link/commtcp.h"
#include "mainwindow/mainwindow.h"
#include "programming/firmwarepackage.h"
#include "programming/programmingpage.h"
#include "programming/programmingrun.h"
#include "programmingtest.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"
#include "support/waituntil.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using PackageBuilder::Options;
using PackageBuilder::payload;
using ProgrammingTest::data;

namespace {

// Each test's own temporary image, so that tests running at once from one
// build folder never share one.
QString g_temporaryImage;

constexpr int kArea = 20;
constexpr int kShortTimeoutMs = 150;
constexpr int kShortInstallMs = 1200;
constexpr int kRunTimeoutMs = 60000;

QByteArray wholeFrame(const QJsonObject& record)
{
    return QByteArray::fromHex(record.value(QStringLiteral("frame")).toString().toLatin1());
}

QByteArray package(const QByteArray& payload, quint32 flags)
{
    Options o;
    o.flags = flags;
    return PackageBuilder::package(payload, o);
}

// One page wired to one link by the main window's wiring, a simulated card
// and a recorder answering every box and dialog.
class Rig {
public:
    Rig(const QString& address, const QString& store, const QStringList& cardOptions)
        : address(address)
        , sim(QStringList { "--listen", address, "--prog-store", store, "--prog-install-ms", "20", "--prog-finish-ms",
                  "20", "--backup-prepare-ms", "5" }
              + cardOptions)
    {
        MainWindow::wirePages(&link, { &page }, &link);
        page.setTimeouts(kShortTimeoutMs, kShortInstallMs);
        page.setTemporaryImage(g_temporaryImage);
        page.show();
    }

    bool start()
    {
        QString error;
        if (!sim.start(&error)) {
            qWarning() << error;
            return false;
        }
        return connect();
    }
    bool connect()
    {
        link.connectToDevice(address);
        return link.isConnected();
    }

    template <typename T> T* widget(const char* name) { return page.findChild<T*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return widget<QPushButton>(name); }
    QComboBox* types() { return widget<QComboBox>("comboBoxProgType"); }
    QString progressText() { return widget<QProgressBar>("progressBar")->format(); }
    QString status() { return widget<QLabel>("labelStatus")->text(); }
    QString version() { return widget<QLabel>("labelVersion")->text(); }

    void program(const QString& file)
    {
        widget<QLineEdit>("leFile")->setText(file);
        button("btnProgramming")->click();
    }
    bool waitFor(const QString& box, int ms = 5000)
    {
        return waitUntil([&] { return boxes.saw(box); }, ms);
    }

    QVector<QJsonObject> in(int cmd) { return sim.frames("in", cmd); }
    int count(int cmd) { return in(cmd).size(); }
    bool hasEvent(const char* name) { return !sim.events(QString::fromLatin1(name)).isEmpty(); }

    QString address;
    BoxRecorder boxes;
    SimulatorFixture sim;
    CommTcp link;
    ProgrammingPage page;
};

} // namespace

class TestProgrammingPage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { ProgrammingTest::quietOffscreenWarnings(); }
    void init();
    void cleanup();

    void programsByteForByte_data();
    void programsByteForByte();
    void progressTextPerChunk();
    void droppedAcknowledgementIsAnsweredByIdenticalResend();
    void failedRunsLeaveThePageIdle_data();
    void failedRunsLeaveThePageIdle();
    void silentCardAtTheRealTimeout();
    void versionReplyDuringTransferDoesNotRestart();
    void programmingWithoutCardEndsByItself();
    void installationThatNeverEnds_data();
    void installationThatNeverEnds();
    void userFilesNamedTmpBinAreKept();
    void damagedPackageIsSentOnlyWhenConfirmed_data();
    void damagedPackageIsSentOnlyWhenConfirmed();
    void emptyPathAsksForAFile();
    void chooseProgrammingFile();

    void backupInPieces();
    void failedBackupLeavesNoFile_data();
    void failedBackupLeavesNoFile();

    void typeChangeReadsAndRootComesAndGoes();

    // The fault matrix (docs/fault-matrix.md): one row per fault.
    void wireFaults_data();
    void wireFaults();
    void backupWireFaults_data();
    void backupWireFaults();

private:
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
    QString store() const { return m_dir->store(); }
    QString file(const QString& name, const QByteArray& bytes) { return m_dir->file(name, bytes); }
    QString temporaryImage() const { return g_temporaryImage; }
    // The page takes no run on a Read: the reply only fills the label.
    void verifyIdle(Rig& rig);

    std::unique_ptr<ProgrammingTest::Workspace> m_dir;
    int m_case = 0;
};

void TestProgrammingPage::init()
{
    m_dir = std::make_unique<ProgrammingTest::Workspace>();
    QVERIFY(m_dir->isValid());
    // No firmware folder yet: the first package run must create it.
    g_temporaryImage = m_dir->path("app") + QStringLiteral("/firmware/tmp.bin");
}

void TestProgrammingPage::cleanup()
{
    m_dir.reset();
}

void TestProgrammingPage::verifyIdle(Rig& rig)
{
    QVERIFY(!QFile::exists(temporaryImage()));
    QVERIFY(rig.button("btnBackup")->isEnabled());
    if (!rig.link.isConnected())
        QVERIFY(rig.connect());
    rig.types()->setCurrentIndex(1);
    QTest::qWait(30);
    const int starts = rig.count(256);
    const int versions = rig.count(1);
    rig.widget<QLabel>("labelVersion")->clear();
    rig.button("btnRead")->click();
    QTRY_VERIFY(!rig.version().isEmpty());
    QTRY_COMPARE(rig.count(1), versions + 1);
    QTest::qWait(50);
    QCOMPARE(rig.count(256), starts);
}

void TestProgrammingPage::programsByteForByte_data()
{
    QTest::addColumn<QStringList>("card"); // the simulator's own version text is v1.3.0
    QTest::addColumn<int>("size");
    QTest::addColumn<quint32>("flags"); // ~0: a plain image, else a package with these flags
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("sequenced");

    const quint32 plain = ~0u;
    const QStringList v130;
    QTest::newRow("plain image of 3 MiB") << v130 << 3 * 1024 * 1024 + 123 << plain << 0 << true;
    QTest::newRow("package with CRC") << v130 << 200 * 1024 + 5 << 0x1u << 1 << true;
    QTest::newRow("scrambled package") << v130 << 150 * 1024 + 77 << 0x3u << 2 << true;
    QTest::newRow("multiple of 1024") << v130 << 64 * 1024 << plain << 1 << true;
    QTest::newRow("empty image") << v130 << 0 << plain << 1 << true;
    QTest::newRow("sequence wraps after 256 chunks") << v130 << 300 * 1024 + 1 << plain << 1 << true;
    QTest::newRow("1.2.2 takes the plain transfer")
        << QStringList { "--version", "v1.2.2 20240101" } << 300 * 1024 + 9 << plain << 1 << false;
    // Installing takes longer than the chunk time-out, which no longer runs.
    QTest::newRow("slow installation is no time-out") << QStringList { "--prog-install-ms",
        QString::number(kShortTimeoutMs * 4), "--prog-finish-ms", QString::number(kShortTimeoutMs * 3) }
                                                      << 4096 << plain << 0 << true;
    QTest::newRow("259 without 258 finishes the run")
        << QStringList { "--prog-skip-installing" } << 3000 << plain << 0 << true;
}

void TestProgrammingPage::programsByteForByte()
{
    QFETCH(QStringList, card);
    QFETCH(int, size);
    QFETCH(quint32, flags);
    QFETCH(int, type);
    QFETCH(bool, sequenced);

    const QByteArray bytes = payload(size, quint32(size) + 3);
    const QString path = file("image to program.bin", flags == ~0u ? bytes : package(bytes, flags));

    Rig rig(nextAddress(), store(), card);
    QVERIFY(rig.start());
    rig.types()->setCurrentIndex(type);
    QTRY_VERIFY(!rig.version().isEmpty() || type == 0);
    QTest::qWait(20);
    rig.sim.clearRecords();
    QStringList installing; // the status as each 258 has been handled
    QObject::connect(&rig.link, &CommTcp::gotProgRespond, [&](int cmd, const quint8*, int) {
        if (cmd == 258)
            installing.append(rig.status());
    });

    rig.program(path);
    QVERIFY(rig.waitFor("Programming finish!", kRunTimeoutMs));
    QCOMPARE(rig.boxes.texts(), QStringList { QStringLiteral("Programming finish!") });
    QCOMPARE(rig.boxes.last()->title, QStringLiteral("Information"));
    QCOMPARE(rig.boxes.last()->parent, &rig.page);
    QCOMPARE(
        installing, card.contains("--prog-skip-installing") ? QStringList() : QStringList { "Installing program..." });

    QCOMPARE(PackageBuilder::read(m_dir->flashPath(rig.address, type)), bytes);
    QVERIFY(QFileInfo::exists(m_dir->flashPath(rig.address, type)));
    // The run asks for the firmware version whatever the type, then starts
    // with the selected type and the size.
    const auto versions = rig.in(1);
    QCOMPARE(versions.size(), 1);
    QCOMPARE(data(versions.first()), QByteArray(1, '\1'));
    const auto starts = rig.in(256);
    QCOMPARE(starts.size(), 1);
    QByteArray start(5, char(type));
    qToBigEndian<quint32>(quint32(size), start.data() + 1);
    QCOMPARE(data(starts.first()), start);

    const auto chunks = rig.in(257);
    QCOMPARE(chunks.size(), (size + 1023) / 1024);
    for (int i = 0; i < chunks.size(); ++i) {
        const QByteArray chunk = data(chunks.at(i));
        const int imageBytes = qMin(1024, size - i * 1024);
        QCOMPARE(chunk.size(), imageBytes + (sequenced ? 1 : 0));
        if (sequenced)
            QCOMPARE(quint8(chunk.at(0)), quint8(i & 0xFF));
    }
    QVERIFY(rig.sim.events("prog-resend").isEmpty());
    QCOMPARE(rig.progressText(), QStringLiteral("Progress: 100.00%"));
    QCOMPARE(rig.status(), QString());
    QVERIFY(!QFile::exists(temporaryImage()));
    QCOMPARE(QFileInfo::exists(m_dir->path("app/firmware")), flags != ~0u);
    QVERIFY(QFile::exists(path));

    // The run is over: losing the link now is no failure of it.
    rig.link.disconnectFromDevice();
    QTRY_VERIFY(!rig.link.isConnected());
    QTest::qWait(20);
    QCOMPARE(rig.boxes.boxes.size(), 1);
}

void TestProgrammingPage::progressTextPerChunk()
{
    // A card slower than the bar's refresh shows every chunk's figure.
    Rig rig(
        nextAddress(), store(), { "--prog-ack-delay-ms", QString::number(ProgrammingPage::kProgressRefreshMs + 30) });
    QVERIFY(rig.start());
    QStringList texts;
    // Seen as each chunk leaves: the text of the chunks before it.
    QObject::connect(&rig.page, &ProgrammingPage::sendCmd, [&](int cmd, const QByteArray&) {
        if (cmd == 257)
            texts.append(rig.progressText());
    });
    rig.program(file("eight.bin", payload(8 * 1024)));
    QVERIFY(rig.waitFor("Programming finish!", kRunTimeoutMs));
    QCOMPARE(texts,
        QStringList({ "Progress: 0.00%", "Progress: 12.50%", "Progress: 25.00%", "Progress: 37.50%", "Progress: 50.00%",
            "Progress: 62.50%", "Progress: 75.00%", "Progress: 87.50%" }));
    QCOMPARE(rig.progressText(), QStringLiteral("Progress: 100.00%"));
    auto* bar = rig.widget<QProgressBar>("progressBar");
    QCOMPARE(bar->maximum(), 8 * 1024);
    QCOMPARE(bar->value(), 8 * 1024);
}

void TestProgrammingPage::droppedAcknowledgementIsAnsweredByIdenticalResend()
{
    const QByteArray bytes = payload(10 * 1024 + 10);
    Rig rig(nextAddress(), store(), { "--prog-drop-ack", "3" });
    QVERIFY(rig.start());
    rig.program(file("image.bin", bytes));
    QVERIFY(rig.waitFor("Programming finish!", kRunTimeoutMs));
    QCOMPARE(rig.boxes.boxes.size(), 1);

    const auto chunks = rig.in(257);
    QCOMPARE(chunks.size(), 11 + 1);
    QCOMPARE(wholeFrame(chunks.at(3)), wholeFrame(chunks.at(2)));
    QCOMPARE(quint8(data(chunks.at(3)).at(0)), quint8(2));
    QCOMPARE(rig.sim.events("prog-resend").size(), 1);
    // Kept once, not twice.
    QCOMPARE(m_dir->flash(rig.address, 0), bytes);
}

void TestProgrammingPage::failedRunsLeaveThePageIdle_data()
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");
    QTest::addColumn<int>("chunks"); // command-257 frames the card received
    QTest::addColumn<QString>("progress");

    const int warning = int(QMessageBox::Warning);
    QTest::newRow("refused start") << QStringList { "--prog-refuse-start" } << "Start programming failed!" << warning
                                   << 0 << "Progress: 0%";
    QTest::newRow("refused chunk") << QStringList { "--prog-refuse-chunk", "4" } << "Programming failed!" << warning
                                   << 4 << "Progress: 20.48%";
    QTest::newRow("silent card: three resends") << QStringList { "--prog-silent-from", "2" } << "Programming timeout!"
                                                << warning << 2 + 3 << "Progress: 10.24%";
    QTest::newRow("connection lost mid-transfer")
        << QStringList { "--prog-close-at-chunk", "5" } << "Programming failed!" << int(QMessageBox::Information) << 5
        << "Progress: 25.60%";
}

void TestProgrammingPage::failedRunsLeaveThePageIdle()
{
    QFETCH(QStringList, card);
    QFETCH(QString, text);
    QFETCH(int, icon);
    QFETCH(int, chunks);
    QFETCH(QString, progress);

    // A package, so that there is a temporary image to clean up.
    const QString path = file("package.bin", package(payload(20000), 0x3));
    Rig rig(nextAddress(), store(), card);
    QVERIFY(rig.start());
    rig.program(path);
    QVERIFY(rig.waitFor(text, 10000));
    QTest::qWait(kShortTimeoutMs * 2);
    QCOMPARE(rig.boxes.texts(), QStringList { text });
    QCOMPARE(int(rig.boxes.last()->icon), icon);
    QCOMPARE(rig.count(257), chunks);
    // Resends repeat the chunk the card left unanswered, byte for byte.
    const int silentFrom = card.indexOf(QStringLiteral("--prog-silent-from"));
    if (silentFrom >= 0) {
        const int distinct = card.at(silentFrom + 1).toInt();
        const auto frames = rig.in(257);
        for (int i = distinct; i < frames.size(); ++i)
            QCOMPARE(wholeFrame(frames.at(i)), wholeFrame(frames.at(distinct - 1)));
    }
    QCOMPARE(rig.status(), QString());
    // Where the run stopped stays visible.
    QCOMPARE(rig.progressText(), progress);
    QVERIFY(!rig.boxes.saw("Programming finish!"));
    verifyIdle(rig);
    QVERIFY(QFile::exists(path));
}

void TestProgrammingPage::silentCardAtTheRealTimeout()
{
    Rig rig(nextAddress(), store(), { "--prog-silent-from", "1", "--version", "v1.2.2 old" });
    rig.page.setTimeouts(ProgrammingRun::kPageChunkTimeoutMs, kShortInstallMs);
    QVERIFY(rig.start());
    rig.program(file("image.bin", payload(5000)));
    WAIT_VERIFY(rig.count(257) == 1, 5000);
    QElapsedTimer clock;
    clock.start();
    QTest::qWait(ProgrammingRun::kPageChunkTimeoutMs - 1000);
    QVERIFY(rig.boxes.boxes.isEmpty());
    QCOMPARE(rig.status(), QStringLiteral("Programming..."));
    QVERIFY(rig.waitFor("Programming timeout!"));
    QVERIFY(clock.elapsed() >= ProgrammingRun::kPageChunkTimeoutMs - 1000);
    // The plain transfer has no resends.
    QCOMPARE(rig.count(257), 1);
    QCOMPARE(rig.status(), QString());
}

void TestProgrammingPage::versionReplyDuringTransferDoesNotRestart()
{
    // A resend would be counted as a chunk too: no short time-out here.
    const QByteArray bytes = payload(150 * 1024);
    Rig rig(nextAddress(), store(), { "--prog-ack-delay-ms", "3" });
    rig.page.setTimeouts(ProgrammingRun::kPageChunkTimeoutMs, kShortInstallMs);
    QVERIFY(rig.start());
    rig.program(file("image.bin", bytes));
    WAIT_VERIFY(rig.count(257) >= 10, 5000);
    // The APP version, asked past the page: its Read is disabled during a run.
    rig.link.send(1, QByteArray(1, '\0'));
    QVERIFY(rig.waitFor("Programming finish!", kRunTimeoutMs));
    QCOMPARE(rig.boxes.boxes.size(), 1);
    QCOMPARE(rig.count(256), 1);
    QCOMPARE(rig.count(1), 2);
    QCOMPARE(rig.count(257), 150);
    QCOMPARE(rig.version(), QStringLiteral("v2.4.1 20261130"));
    QCOMPARE(m_dir->flash(rig.address, 0), bytes);
}

void TestProgrammingPage::programmingWithoutCardEndsByItself()
{
    Rig rig(nextAddress(), store(), {});
    QString error;
    QVERIFY2(rig.sim.start(&error), qPrintable(error));
    rig.program(file("image.bin", payload(3000)));
    QCOMPARE(rig.boxes.texts(), QStringList { QStringLiteral("Device not connected!") });
    QVERIFY(rig.waitFor("Programming timeout!"));
    QCOMPARE(rig.boxes.boxes.size(), 2);
    // Connected later, a version read is only a version read.
    verifyIdle(rig);
    QCOMPARE(rig.count(257), 0);
}

void TestProgrammingPage::installationThatNeverEnds_data()
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<bool>("toolDisconnects"); // the technician disconnects before the time-out
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("icon");

    const int warning = int(QMessageBox::Warning);
    const int information = int(QMessageBox::Information);
    QTest::newRow("installation never reported")
        << QStringList { "--prog-no-finish" } << false << "Programming timeout!" << warning;
    QTest::newRow("link lost while waiting for the installation")
        << QStringList { "--prog-no-finish" } << true << "Programming failed!" << information;
    // The card said 258, so the page is idle with "Installing program...".
    QTest::newRow("card lost while installing")
        << QStringList { "--prog-drop-installing" } << false << "Programming failed!" << information;
    QTest::newRow("installing reported, the end never")
        << QStringList { "--prog-finish-ms", "600000" } << false << "Programming timeout!" << warning;
}

void TestProgrammingPage::installationThatNeverEnds()
{
    QFETCH(QStringList, card);
    QFETCH(bool, toolDisconnects);
    QFETCH(QString, text);
    QFETCH(int, icon);

    Rig rig(nextAddress(), store(), card);
    QVERIFY(rig.start());
    const QString path = file("package.bin", package(payload(3000), 0x1));
    rig.program(path);
    WAIT_VERIFY(rig.hasEvent("prog-complete"), 5000);
    QElapsedTimer clock;
    clock.start();
    // Past every chunk time-out, the card is still given its time.
    QTest::qWait(kShortTimeoutMs * 4);
    const bool dropped = rig.hasEvent("prog-drop-installing");
    if (!dropped) {
        QVERIFY(rig.boxes.boxes.isEmpty());
        QVERIFY(rig.status() == "Programming..." || rig.status() == "Installing program...");
    }
    if (toolDisconnects)
        rig.link.disconnectFromDevice();
    QVERIFY(rig.waitFor(text, kShortInstallMs * 3));
    if (text == QLatin1String("Programming timeout!"))
        QVERIFY(clock.elapsed() >= kShortInstallMs - kShortTimeoutMs * 2);
    else
        QVERIFY(clock.elapsed() < kShortInstallMs);
    QCOMPARE(rig.boxes.texts(), QStringList { text });
    QCOMPARE(int(rig.boxes.last()->icon), icon);
    QCOMPARE(rig.status(), QString());
    QCOMPARE(rig.progressText(), QStringLiteral("Progress: 100.00%"));
    // The installation is over for good: no second word about it later.
    QTest::qWait(kShortInstallMs / 2);
    QCOMPARE(rig.boxes.boxes.size(), 1);
    verifyIdle(rig);
    QVERIFY(QFile::exists(path));
    // And the next run is a run like any other.
    rig.boxes.clear();
    rig.program(path);
    WAIT_VERIFY(rig.count(256) == 2, 5000);
}

// Only the page's own temporary image is deleted, known by its full path:
// a run that ends well and one that fails both keep the technician's files.
void TestProgrammingPage::userFilesNamedTmpBinAreKept()
{
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("mine/firmware")));
    const QString own = file("mine/firmware/tmp.bin", payload(3000));
    const QString ending = file("mytmp.bin", payload(2000));
    for (bool refuse : { false, true }) {
        Rig rig(nextAddress(), store(), refuse ? QStringList { "--prog-refuse-start" } : QStringList());
        QVERIFY(rig.start());
        const QString path = refuse ? ending : own;
        rig.program(path);
        QVERIFY(rig.waitFor(refuse ? "Start programming failed!" : "Programming finish!"));
        QVERIFY2(QFile::exists(path), qPrintable(path));
    }
}

void TestProgrammingPage::damagedPackageIsSentOnlyWhenConfirmed_data()
{
    QTest::addColumn<quint32>("flags");
    QTest::addColumn<bool>("confirmed");
    QTest::newRow("CRC mismatch, not confirmed") << 0x1u << false;
    QTest::newRow("length overrun, confirmed") << 0x2u << true;
}

// A file with the package magic that fails its check may be a plain image
// that begins with the magic by chance: the technician decides, before the
// card gets anything, and a confirmed one goes whole.
void TestProgrammingPage::damagedPackageIsSentOnlyWhenConfirmed()
{
    QFETCH(quint32, flags);
    QFETCH(bool, confirmed);
    Options damage;
    damage.flags = flags;
    damage.badCrc = true;
    damage.lengthField = 5000;
    const QByteArray bytes = PackageBuilder::package(payload(3000), damage);
    Rig rig(nextAddress(), store(), {});
    QVERIFY(rig.start());
    if (confirmed)
        rig.boxes.answerNext(QMessageBox::Ok);
    rig.program(file("damaged.pkg", bytes));
    QVERIFY(!rig.boxes.boxes.isEmpty());
    const MessageBox::Box question = rig.boxes.boxes.first();
    QCOMPARE(question.text,
        QStringLiteral(
            "The file looks like a firmware package, but its check failed. Send it to the device unchanged?"));
    QCOMPARE(question.icon, QMessageBox::Question);
    QCOMPARE(question.defaultButton, QMessageBox::No);
    QCOMPARE(question.parent, &rig.page);
    if (!confirmed) {
        QTest::qWait(100);
        QCOMPARE(rig.boxes.boxes.size(), 1);
        QVERIFY(rig.sim.frames("in").isEmpty());
        verifyIdle(rig);
        return;
    }
    QVERIFY(rig.waitFor("Programming finish!", kRunTimeoutMs));
    QCOMPARE(m_dir->flash(rig.address, 0), bytes);
}

void TestProgrammingPage::emptyPathAsksForAFile()
{
    Rig rig(nextAddress(), store(), {});
    QVERIFY(rig.start());
    rig.program(QString());
    QCOMPARE(rig.boxes.texts(), QStringList { QStringLiteral("Programming file is not choosen!") });
    QCOMPARE(rig.boxes.last()->title, QStringLiteral("Tip"));
    QCOMPARE(rig.boxes.last()->buttons, QStringList { MessageBox::sureText() });
    QTest::qWait(30);
    QCOMPARE(rig.count(1), 0);
}

void TestProgrammingPage::chooseProgrammingFile()
{
    Rig rig(nextAddress(), store(), {});
    auto* field = rig.widget<QLineEdit>("leFile");
    const QString chosen = m_dir->path("Прошивка v2.bin");
    rig.boxes.answerDialog(chosen);
    rig.button("btnChoose")->click();
    QCOMPARE(rig.boxes.dialogs.size(), 1);
    const DialogPrompt::Request first = rig.boxes.dialogs.first();
    QCOMPARE(int(first.kind), int(DialogPrompt::Kind::OpenFile));
    QCOMPARE(first.caption, QStringLiteral("Choose programming file"));
    QCOMPARE(first.filter, QStringLiteral("Binary Files(*.bin);;*"));
    QCOMPARE(first.directory, QCoreApplication::applicationDirPath());
    QCOMPARE(field->text(), chosen);

    // Cancelled: the field keeps its path, which the dialog opened at.
    rig.button("btnChoose")->click();
    QCOMPARE(rig.boxes.dialogs.size(), 2);
    QCOMPARE(rig.boxes.dialogs.at(1).directory, chosen);
    QCOMPARE(field->text(), chosen);
}

void TestProgrammingPage::backupInPieces()
{
    const QByteArray source = payload(1200, 11);
    const QString served = file("card program.bin", source);
    Rig rig(nextAddress(), store(), { "--backup-file", served, "--backup-announce", "1000", "--backup-piece", "600" });
    QVERIFY(rig.start());
    const QString target = m_dir->path("backup ü.bin");
    rig.boxes.answerDialog(target);
    QStringList statuses;
    QObject::connect(&rig.page, &ProgrammingPage::sendCmd, [&](int cmd, const QByteArray&) {
        if (cmd == 338)
            statuses.append(rig.status());
    });
    rig.types()->setCurrentIndex(2);
    rig.button("btnBackup")->click();
    QVERIFY(rig.waitFor("Backup file finished!"));

    QCOMPARE(data(rig.in(337).first()), QByteArray(1, '\2'));
    QCOMPARE(rig.boxes.dialogs.size(), 1);
    const DialogPrompt::Request dialog = rig.boxes.dialogs.first();
    QCOMPARE(int(dialog.kind), int(DialogPrompt::Kind::SaveFile));
    QCOMPARE(dialog.caption, QStringLiteral("Backup program"));
    QCOMPARE(dialog.filter, QStringLiteral("Binary File(*.bin)"));
    QCOMPARE(dialog.directory, QCoreApplication::applicationDirPath());
    // Everything that came is written, though more than announced.
    QCOMPARE(PackageBuilder::read(target), source);
    QCOMPARE(rig.count(338), 2);
    for (const QJsonObject& r : rig.in(338))
        QCOMPARE(r.value(QStringLiteral("size")).toInt(), 0);
    QCOMPARE(statuses.first(), QStringLiteral("Backuping program..."));
    QCOMPARE(statuses.last(), QStringLiteral("Receiving backup file..."));
    QCOMPARE(rig.progressText(), QStringLiteral("Progress: 120.00%"));
    QCOMPARE(rig.status(), QString());
    QCOMPARE(rig.boxes.texts(), QStringList { QStringLiteral("Backup file finished!") });
    verifyIdle(rig);
}

// Every way a backup ends without completing leaves the page idle and no
// file; that neither a new nor an existing file is touched by a failure is
// also the backup file's own test.
void TestProgrammingPage::failedBackupLeavesNoFile_data()
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<bool>("asked"); // whether the save dialog comes
    QTest::addColumn<bool>("existing");
    QTest::addColumn<QString>("text"); // empty: no box at all
    QTest::newRow("refused") << QStringList { "--backup-refuse" } << false << false << "Start backup failed!";
    QTest::newRow("cancelled") << QStringList() << true << false << QString();
    QTest::newRow("empty piece, new file")
        << QStringList { "--backup-fail-at-piece", "3" } << true << false << "Backup file failed!";
    QTest::newRow("link lost, existing file")
        << QStringList { "--backup-close-at-piece", "2" } << true << true << QString();
}

void TestProgrammingPage::failedBackupLeavesNoFile()
{
    QFETCH(QStringList, card);
    QFETCH(bool, asked);
    QFETCH(bool, existing);
    QFETCH(QString, text);
    const bool cancelled = card.isEmpty();
    QVERIFY(QDir(m_dir->path()).mkpath("backups"));
    const QString target = m_dir->path("backups/program.bin");
    if (existing)
        QVERIFY(PackageBuilder::write(target, "yesterday's backup"));

    Rig rig(nextAddress(), store(), card);
    QVERIFY(rig.start());
    rig.boxes.answerDialog(cancelled ? QString() : target);
    rig.button("btnBackup")->click();
    if (!text.isEmpty()) {
        QVERIFY(rig.waitFor(text));
        QCOMPARE(int(rig.boxes.last()->icon), int(QMessageBox::Warning));
    } else if (cancelled) {
        QTRY_COMPARE(rig.boxes.dialogs.size(), 1);
    } else {
        QTRY_VERIFY(!rig.link.isConnected());
    }
    QTest::qWait(30);
    QCOMPARE(rig.boxes.texts(), text.isEmpty() ? QStringList() : QStringList { text });
    QCOMPARE(rig.boxes.dialogs.size(), asked ? 1 : 0);
    if (cancelled)
        QCOMPARE(rig.count(338), 0);
    QCOMPARE(rig.status(), QString());
    const QStringList left = QDir(m_dir->path("backups")).entryList(QDir::Files);
    if (existing) {
        QCOMPARE(left, QStringList { "program.bin" });
        QCOMPARE(PackageBuilder::read(target), QByteArray("yesterday's backup"));
    } else {
        QCOMPARE(left, QStringList());
    }
    verifyIdle(rig);
}

void TestProgrammingPage::typeChangeReadsAndRootComesAndGoes()
{
    Rig rig(nextAddress(), store(), {});
    QVERIFY(rig.start());
    QComboBox* combo = rig.types();
    QCOMPARE(combo->count(), 3);
    combo->setCurrentIndex(2);
    QTRY_COMPARE(rig.version(), QStringLiteral("v1.0.5 20261020"));
    rig.page.addRootProgType();
    rig.page.addRootProgType();
    QCOMPARE(combo->count(), 4);
    QCOMPARE(combo->itemText(3), QStringLiteral("root"));

    // A language change keeps the index and drops "root", and reads nothing.
    QTRY_COMPARE(rig.count(1), 1);
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(&rig.page, &change);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->currentIndex(), 2);

    rig.page.addRootProgType();
    combo->setCurrentIndex(3);
    QTRY_COMPARE(rig.count(1), 2);
    QCOMPARE(data(rig.in(1).last()), QByteArray(1, '\3'));
    QTRY_COMPARE(rig.version(), QStringLiteral("v1.1.0 20260915"));
    QCoreApplication::sendEvent(&rig.page, &change);
    QCOMPARE(combo->count(), 3);
    QCOMPARE(combo->currentIndex(), -1);

    // No type is guessed for the technician.
    rig.button("btnRead")->click();
    rig.button("btnBackup")->click();
    rig.program(file("image.bin", QByteArray(10, 'x')));
    QCOMPARE(rig.boxes.count("Programming type is not chosen!"), 3);
    QTest::qWait(30);
    QCOMPARE(rig.count(1), 2);
    QCOMPARE(rig.count(337), 0);
}

void TestProgrammingPage::wireFaults_data()
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<QString>("text"); // the one box of the run
    QTest::addColumn<bool>("programmed"); // the card's flash holds the image

    const QString done = QStringLiteral("Programming finish!");
    QTest::newRow("replies split across reads") << QStringList { "--split-gap-ms", "20" } << done << true;
    QTest::newRow("bad checksums") << QStringList { "--corrupt-every", "6" } << done << true;
    QTest::newRow("garbage between frames") << QStringList { "--garbage", "00ff1337a5" } << done << true;
    // A false start swallows the frame behind it, until the link's 100 ms
    // reassembly time-out: lost acknowledgements are resent. (Installing
    // takes longer here, so that 258 and 259 are not swallowed too.)
    QTest::newRow("false start byte") << QStringList { "--garbage", "68", "--garbage-every", "4", "--prog-install-ms",
        "200", "--prog-finish-ms", "200" }
                                      << done << true;
    QTest::newRow("flood of unknown codes")
        << QStringList { "--flood", "4660,20,339", "--flood-count", "3000", "--flood-data", "6801020304" } << done
        << true;
    // A runaway card's "finished" before it has the image: no success, and
    // the failure is told once.
    QTest::newRow("flood of 258 and 259 mid-transfer") << QStringList { "--flood", "258,259", "--flood-count", "1000",
        "--flood-delay-ms", "40", "--flood-burst", "2", "--prog-ack-delay-ms", "4" }
                                                       << "Programming failed!" << false;
    QTest::newRow("flood of unasked backup codes")
        << QStringList { "--flood", "336,337,338", "--flood-count", "300", "--flood-data", "00001000" } << done << true;
    QTest::newRow("wrong length: start reply without result byte")
        << QStringList { "--reply-size", "256:0" } << "Start programming failed!" << false;
    QTest::newRow("wrong length: chunk reply without result byte")
        << QStringList { "--reply-size", "257:0" } << "Programming failed!" << false;
    QTest::newRow("wrong length: chunk reply of 40 bytes") << QStringList { "--reply-size", "257:40" } << done << true;
    QTest::newRow("wrong length: empty version reply")
        << QStringList { "--reply-size", "1:0", "--prog-protocol", "sequenced" } << done << true;
}

// Whatever the card does on the wire, the run ends in one box that tells the
// truth, the temporary image is gone, the technician's file is untouched and
// the page takes the next request.
void TestProgrammingPage::wireFaults()
{
    QFETCH(QStringList, card);
    QFETCH(QString, text);
    QFETCH(bool, programmed);

    const QByteArray bytes = payload(20000, 77);
    const QByteArray wrapped = package(bytes, 0x3);
    const QString path = file("package.bin", wrapped);
    Rig rig(nextAddress(), store(), card);
    QVERIFY(rig.start());
    rig.program(path);
    QVERIFY2(rig.waitFor(text, kRunTimeoutMs), qPrintable(rig.boxes.texts().join('|') + " " + rig.status()));
    // Anything the card still floods or repeats has arrived by then.
    QTest::qWait(300);
    QCOMPARE(rig.boxes.texts(), QStringList { text });
    QCOMPARE(rig.boxes.dialogs.size(), 0);
    if (programmed)
        QCOMPARE(m_dir->flash(rig.address, 0), bytes);
    QVERIFY(!QFile::exists(temporaryImage()));
    QCOMPARE(PackageBuilder::read(path), wrapped);
    QCOMPARE(rig.status(), QString());
    QVERIFY(rig.button("btnProgramming")->isEnabled());
    QVERIFY(rig.button("btnBackup")->isEnabled());
}

void TestProgrammingPage::backupWireFaults_data()
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("saved"); // the backup file holds the card's component

    const QString done = QStringLiteral("Backup file finished!");
    QTest::newRow("replies split across reads") << QStringList { "--split-gap-ms", "20" } << done << true;
    QTest::newRow("garbage between frames") << QStringList { "--garbage", "00ff1337a5" } << done << true;
    QTest::newRow("flood of unknown codes")
        << QStringList { "--flood", "4660,20", "--flood-count", "3000" } << done << true;
    QTest::newRow("flood of unasked programming codes")
        << QStringList { "--flood", "256,257,258,259", "--flood-count", "400", "--flood-data", "01" } << done << true;
    // A lost piece cannot be asked for again (the card serves the next one):
    // the backup fails after the piece time-out instead of waiting for ever.
    QTest::newRow("bad checksums") << QStringList { "--corrupt-every", "5" } << "Backup file failed!" << false;
    QTest::newRow("false start byte") << QStringList { "--garbage", "68", "--garbage-every", "6" }
                                      << "Backup file failed!" << false;
    QTest::newRow("wrong length: start reply of 2 bytes")
        << QStringList { "--reply-size", "337:2" } << "Start backup failed!" << false;
    QTest::newRow("wrong length: empty piece")
        << QStringList { "--reply-size", "338:0" } << "Backup file failed!" << false;
}

void TestProgrammingPage::backupWireFaults()
{
    QFETCH(QStringList, card);
    QFETCH(QString, text);
    QFETCH(bool, saved);

    QVERIFY(QDir(m_dir->path()).mkpath("backups"));
    const QString target = m_dir->path("backups/program.bin");
    QVERIFY(PackageBuilder::write(target, "yesterday's backup"));
    Rig rig(nextAddress(), store(), card + QStringList { "--backup-size", "20000" });
    QVERIFY(rig.start());
    rig.boxes.answerDialog(target);
    rig.button("btnBackup")->click();
    QVERIFY(rig.waitFor(text, kRunTimeoutMs));
    QTest::qWait(300);
    QCOMPARE(rig.boxes.texts(), QStringList { text });
    QVERIFY(rig.boxes.dialogs.size() <= 1);
    QCOMPARE(rig.status(), QString());
    // Either the whole new backup or yesterday's, never a piece of one.
    const QByteArray now = PackageBuilder::read(target);
    if (saved) {
        QCOMPARE(now.size(), 20000);
        QCOMPARE(rig.sim.events("backup-start").size(), 1);
    } else {
        QCOMPARE(now, QByteArray("yesterday's backup"));
    }
    QCOMPARE(QDir(m_dir->path("backups")).entryList(QDir::Files), QStringList { "program.bin" });
    QVERIFY(!QFile::exists(temporaryImage()));
}

QTEST_MAIN(TestProgrammingPage)
#include "tst_programmingpage.moc"
