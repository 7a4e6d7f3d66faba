// The programming page's own decisions: what it shows, sends and refuses.

#include "link/commtcp.h"
#include "mainwindow/mainwindow.h"
#include "programming/programmingpage.h"
#include "programmingtest.h"
#include "support/boxrecorder.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using PackageBuilder::package;
using PackageBuilder::payload;
using ProgrammingTest::data;

namespace {

constexpr int kArea = 20;

// One page wired to one link by the main window's wiring, a simulated card
// and a recorder answering every box and dialog.
struct Rig {
    Rig(const QString& address, const ProgrammingTest::Workspace& dir, const QStringList& card)
        : address(address)
        , sim(BatchCards::arguments({ address }, dir.store(), QStringList { "--backup-prepare-ms", "5" } + card))
    {
        MainWindow::wirePages(&link, { &page }, &link);
        page.setTimeouts(150, 800);
        page.setTemporaryImage(dir.path("app/firmware/tmp.bin"));
        page.show();
    }
    bool start() { return sim.start() && connect(); }
    bool connect()
    {
        link.connectToDevice(address);
        return link.isConnected();
    }
    template <typename T> T* widget(const char* name) { return page.findChild<T*>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return widget<QPushButton>(name); }
    QString progressText() { return widget<QProgressBar>("progressBar")->format(); }
    QString status() { return widget<QLabel>("labelStatus")->text(); }
    QString version() { return widget<QLabel>("labelVersion")->text(); }
    void program(const QString& file) { widget<QLineEdit>("leFile")->setText(file), button("btnProgramming")->click(); }
    int count(int cmd) { return sim.frames("in", cmd).size(); }

    QString address;
    BoxRecorder boxes;
    SimulatorFixture sim;
    CommTcp link;
    ProgrammingPage page;
};

} // namespace

class TestProgrammingPage : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgrammingTest::Workspace> m_dir;
    int m_case = 0;
    QString next() { return TestAddresses::card(kArea, ++m_case); }

    // Idle again: no temporary image, no status, Backup enabled, and a Read
    // only fills the label (the page takes no run on it).
    void verifyIdle(Rig& rig)
    {
        QVERIFY(!QFile::exists(m_dir->path("app/firmware/tmp.bin")));
        QCOMPARE(rig.status(), QString());
        QVERIFY(rig.button("btnBackup")->isEnabled());
        if (!rig.link.isConnected())
            QVERIFY(rig.connect());
        const QList<int> expected { rig.count(1) + 1, rig.count(256) };
        rig.widget<QLabel>("labelVersion")->clear();
        rig.button("btnRead")->click();
        QTRY_VERIFY(!rig.version().isEmpty());
        QCOMPARE(QList<int>({ rig.count(1), rig.count(256) }), expected);
    }

private slots:
    void initTestCase() { ProgrammingTest::quietOffscreenWarnings(); }
    void init() { QVERIFY((m_dir = std::make_unique<ProgrammingTest::Workspace>())->isValid()); }

    void programs_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("confirm"); // the answer to the question about a damaged package; -1: no question
        QTest::addColumn<QByteArray>("image"); // what the card gets; empty: nothing
        const QByteArray bytes = payload(5000, 3);
        QTest::newRow("plain image") << bytes << 0 << -1 << bytes;
        QTest::newRow("scrambled package with CRC") << package(bytes, 0x3) << 2 << -1 << bytes;
        // A file with the package magic that fails its check may be a plain
        // image that begins with the magic by chance: the technician decides,
        // before the card gets anything, and a confirmed one goes whole.
        const QByteArray crcMismatch = package(bytes, 0x1, -1, {}, true), overrun = package(bytes, 0x2, 6000);
        QTest::newRow("damaged package, declined") << crcMismatch << 0 << int(QMessageBox::No) << QByteArray();
        QTest::newRow("damaged package, confirmed") << overrun << 0 << int(QMessageBox::Ok) << overrun;
    }
    void programs()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, type);
        QFETCH(int, confirm);
        QFETCH(QByteArray, image);
        const QString path = m_dir->file("image to program.bin", file);
        Rig rig(next(), *m_dir, {});
        QVERIFY(rig.start());
        rig.widget<QComboBox>("comboBoxProgType")->setCurrentIndex(type);
        QTRY_VERIFY(!rig.version().isEmpty() || type == 0);
        rig.sim.clearRecords();
        QStringList installing; // the status as each 258 has been handled
        QObject::connect(&rig.link, &CommTcp::gotProgRespond, [&](int cmd, const quint8*, int) {
            if (cmd == 258)
                installing.append(rig.status());
        });
        if (confirm >= 0)
            rig.boxes.answerNext(confirm);
        rig.program(path);
        if (confirm >= 0) {
            QVERIFY(!rig.boxes.boxes.isEmpty());
            const MessageBox::Box q = rig.boxes.boxes.first();
            QCOMPARE(q.text,
                "The file looks like a firmware package, but its check failed. Send it to the device unchanged?");
            QVERIFY(q.icon == QMessageBox::Question && q.defaultButton == QMessageBox::No && q.parent == &rig.page);
        }
        if (image.isEmpty()) {
            QCOMPARE(rig.boxes.boxes.size(), 1);
            verifyIdle(rig);
            QCOMPARE(rig.count(256), 0);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.saw("Programming finish!"), 30000);
        QCOMPARE(rig.boxes.texts().filter("Programming"), QStringList { QStringLiteral("Programming finish!") });
        QVERIFY(rig.boxes.last()->title == QStringLiteral("Information") && rig.boxes.last()->parent == &rig.page);
        QCOMPARE(installing, QStringList { "Installing program..." });
        QCOMPARE(m_dir->flash(rig.address, type), image);
        // The version of "Firmware" whatever the type, then the selected type.
        QCOMPARE(data(rig.sim.frames("in", 1).first()), QByteArray(1, '\1'));
        QCOMPARE(data(rig.sim.frames("in", 256).first()).left(1), QByteArray(1, char(type)));
        QCOMPARE(rig.progressText(), QStringLiteral("Progress: 100.00%"));
        if (confirm < 0)
            QCOMPARE(QFileInfo::exists(m_dir->path("app/firmware")), file != image);
        QCOMPARE(PackageBuilder::read(path), file);
        verifyIdle(rig);
        // The run is over: losing the link now is no failure of it.
        rig.link.disconnectFromDevice();
        QTRY_VERIFY(!rig.link.isConnected());
        QCOMPARE(rig.boxes.boxes.size(), confirm < 0 ? 1 : 2);
    }

    void failedRunsLeaveThePageIdle_data()
    {
        QTest::addColumn<QStringList>("card");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("progress");
        const auto row = [](const char* name, const QStringList& card, const char* text, int icon, const char* at) {
            QTest::newRow(name) << card << text << icon << at;
        };
        const int warning = int(QMessageBox::Warning);
        row("refused start", { "--prog-refuse-start" }, "Start programming failed!", warning, "Progress: 0%");
        row("silent card", { "--prog-silent-from", "2" }, "Programming timeout!", warning, "Progress: 10.24%");
        row("connection lost mid-transfer", { "--prog-close-at-chunk", "5" }, "Programming failed!",
            QMessageBox::Information, "Progress: 25.60%");
        row("installation never reported", { "--prog-no-finish" }, "Programming timeout!", warning,
            "Progress: 100.00%");
    }
    // One box that tells the truth, where the run stopped stays visible, the
    // temporary image is gone and the technician's file is untouched.
    void failedRunsLeaveThePageIdle()
    {
        QFETCH(QStringList, card);
        QFETCH(QString, text);
        QFETCH(int, icon);
        QFETCH(QString, progress);
        const QString path = m_dir->file("package.bin", package(payload(20000), 0x3));
        Rig rig(next(), *m_dir, card);
        QVERIFY(rig.start());
        rig.program(path);
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.saw(text), 30000);
        QCOMPARE(rig.boxes.texts(), QStringList { text });
        QCOMPARE(int(rig.boxes.last()->icon), icon);
        QCOMPARE(rig.progressText(), progress);
        QVERIFY(QFile::exists(path));
        verifyIdle(rig);
        QCOMPARE(rig.boxes.boxes.size(), 1);
    }

    void backupAsksForTheFileAndShowsItsProgress()
    {
        const QByteArray source = payload(1200, 11);
        Rig rig(next(), *m_dir,
            { "--backup-file", m_dir->file("card program.bin", source), "--backup-announce", "1000", "--backup-piece",
                "600" });
        QVERIFY(rig.start());
        const QString target = m_dir->path("backup ü.bin");
        rig.boxes.answerDialog(target);
        QStringList statuses;
        QObject::connect(&rig.page, &ProgrammingPage::sendCmd, [&](int cmd, const QByteArray&) {
            if (cmd == 338)
                statuses.append(rig.status());
        });
        rig.widget<QComboBox>("comboBoxProgType")->setCurrentIndex(2);
        rig.button("btnBackup")->click();
        QTRY_VERIFY_WITH_TIMEOUT(rig.boxes.saw("Backup file finished!"), 30000);
        QCOMPARE(data(rig.sim.frames("in", 337).first()), QByteArray(1, '\2'));
        const DialogPrompt::Request d = rig.boxes.dialogs.first();
        QVERIFY(d.kind == DialogPrompt::Kind::SaveFile);
        QCOMPARE(QStringList({ d.caption, d.filter, d.directory }),
            QStringList({ "Backup program", "Binary File(*.bin)", QCoreApplication::applicationDirPath() }));
        QCOMPARE(PackageBuilder::read(target), source);
        QCOMPARE(statuses, (QStringList { "Backuping program...", "Receiving backup file..." }));
        QCOMPARE(rig.progressText(), QStringLiteral("Progress: 120.00%"));
        QCOMPARE(rig.boxes.texts(), QStringList { QStringLiteral("Backup file finished!") });
        verifyIdle(rig);
    }

    void typeChangeReadsAndRootComesAndGoes()
    {
        Rig rig(next(), *m_dir, {});
        QVERIFY(rig.start());
        QComboBox* combo = rig.widget<QComboBox>("comboBoxProgType");
        combo->setCurrentIndex(2);
        QTRY_COMPARE(rig.version(), QStringLiteral("v1.0.5 20261020"));
        rig.page.addRootProgType();
        rig.page.addRootProgType();
        QCOMPARE(combo->itemText(3), QStringLiteral("root"));
        QCOMPARE(combo->count(), 4);
        // A language change keeps the index and drops "root", and reads nothing.
        QTRY_COMPARE(rig.count(1), 1);
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(&rig.page, &change);
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->currentIndex(), 2);
        rig.page.addRootProgType();
        combo->setCurrentIndex(3);
        QTRY_COMPARE(rig.count(1), 2);
        QCOMPARE(data(rig.sim.frames("in", 1).last()), QByteArray(1, '\3'));
        QTRY_COMPARE(rig.version(), QStringLiteral("v1.1.0 20260915"));
        QCoreApplication::sendEvent(&rig.page, &change);
        QCOMPARE(combo->currentIndex(), -1);
        // No type is guessed for the technician.
        rig.button("btnRead")->click();
        rig.button("btnBackup")->click();
        rig.program(m_dir->file("image.bin", QByteArray(10, 'x')));
        QCOMPARE(rig.boxes.count("Programming type is not chosen!"), 3);
        QCOMPARE(QList<int>({ rig.count(1), rig.count(337) }), QList<int>({ 2, 0 }));
    }
};

QTEST_MAIN(TestProgrammingPage)
#include "tst_programmingpage.moc"
