// The programming page's own decisions: what it shows, sends and refuses.

#include "link/commtcp.h"
#include "mainwindow/mainwindow.h"
#include "programming/programmingpage.h"
#include "programmingtest.h"
#include "support/boxrecorder.h"
#include "support/simulatorfixture.h"
#include "support/testaddresses.h"
#include "support/waituntil.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

using PackageBuilder::payload;
using ProgrammingTest::data;

namespace {

constexpr int kArea = 20;
constexpr int kRunMs = 30000;

QByteArray package(const QByteArray& bytes, quint32 flags)
{
    PackageBuilder::Options o;
    o.flags = flags;
    return PackageBuilder::package(bytes, o);
}

// One page wired to one link by the main window's wiring, a simulated card
// and a recorder answering every box and dialog.
struct Rig {
    Rig(const QString& address, const ProgrammingTest::Workspace& dir, const QStringList& card)
        : address(address)
        , sim(QStringList { "--listen", address, "--prog-store", dir.store(), "--prog-install-ms", "20",
                  "--prog-finish-ms", "20", "--backup-prepare-ms", "5" }
              + card)
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
    QComboBox* types() { return widget<QComboBox>("comboBoxProgType"); }
    QString progressText() { return widget<QProgressBar>("progressBar")->format(); }
    QString status() { return widget<QLabel>("labelStatus")->text(); }
    QString version() { return widget<QLabel>("labelVersion")->text(); }
    void program(const QString& file)
    {
        widget<QLineEdit>("leFile")->setText(file);
        button("btnProgramming")->click();
    }
    bool waitFor(const QString& box, int ms = kRunMs)
    {
        return waitUntil([&] { return boxes.saw(box); }, ms);
    }
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

private slots:
    void initTestCase() { ProgrammingTest::quietOffscreenWarnings(); }
    void init()
    {
        m_dir = std::make_unique<ProgrammingTest::Workspace>();
        QVERIFY(m_dir->isValid());
    }

    void programs_data()
    {
        QTest::addColumn<quint32>("flags"); // ~0: a plain image, else a package with these flags
        QTest::addColumn<int>("type");
        QTest::newRow("plain image") << ~0u << 0;
        QTest::newRow("scrambled package with CRC") << 0x3u << 2;
    }
    void programs()
    {
        QFETCH(quint32, flags);
        QFETCH(int, type);
        const QByteArray bytes = payload(5000, 3);
        const QString path = m_dir->file("image to program.bin", flags == ~0u ? bytes : package(bytes, flags));
        Rig rig(nextAddress(), *m_dir, {});
        QVERIFY(rig.start());
        rig.types()->setCurrentIndex(type);
        QTRY_VERIFY(!rig.version().isEmpty() || type == 0);
        rig.sim.clearRecords();
        QStringList installing; // the status as each 258 has been handled
        QObject::connect(&rig.link, &CommTcp::gotProgRespond, [&](int cmd, const quint8*, int) {
            if (cmd == 258)
                installing.append(rig.status());
        });
        rig.program(path);
        QVERIFY(rig.waitFor("Programming finish!"));
        QCOMPARE(rig.boxes.texts(), QStringList { QStringLiteral("Programming finish!") });
        QCOMPARE(rig.boxes.last()->title, QStringLiteral("Information"));
        QVERIFY(rig.boxes.last()->parent == &rig.page);
        QCOMPARE(installing, QStringList { "Installing program..." });
        QCOMPARE(m_dir->flash(rig.address, type), bytes);
        // The version of "Firmware" whatever the type, then the selected type.
        QCOMPARE(data(rig.sim.frames("in", 1).first()), QByteArray(1, '\1'));
        QCOMPARE(data(rig.sim.frames("in", 256).first()), QByteArray(1, char(type)) + QByteArray::fromHex("00001388"));
        QCOMPARE(rig.progressText(), QStringLiteral("Progress: 100.00%"));
        QCOMPARE(QFileInfo::exists(m_dir->path("app/firmware")), flags != ~0u);
        QVERIFY(QFile::exists(path));
        verifyIdle(rig);
        // The run is over: losing the link now is no failure of it.
        rig.link.disconnectFromDevice();
        QTRY_VERIFY(!rig.link.isConnected());
        QCOMPARE(rig.boxes.boxes.size(), 1);
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
        Rig rig(nextAddress(), *m_dir, card);
        QVERIFY(rig.start());
        rig.program(path);
        QVERIFY(rig.waitFor(text));
        QCOMPARE(rig.boxes.texts(), QStringList { text });
        QCOMPARE(int(rig.boxes.last()->icon), icon);
        QCOMPARE(rig.progressText(), progress);
        QVERIFY(QFile::exists(path));
        verifyIdle(rig);
        QCOMPARE(rig.boxes.boxes.size(), 1);
    }

    void damagedPackageIsSentOnlyWhenConfirmed_data()
    {
        QTest::addColumn<quint32>("flags");
        QTest::addColumn<bool>("confirmed");
        QTest::newRow("CRC mismatch, not confirmed") << 0x1u << false;
        QTest::newRow("length overrun, confirmed") << 0x2u << true;
    }
    // A file with the package magic that fails its check may be a plain image
    // that begins with the magic by chance: the technician decides, before the
    // card gets anything, and a confirmed one goes whole.
    void damagedPackageIsSentOnlyWhenConfirmed()
    {
        QFETCH(quint32, flags);
        QFETCH(bool, confirmed);
        PackageBuilder::Options damage;
        damage.flags = flags;
        damage.badCrc = true;
        damage.lengthField = 5000;
        const QByteArray bytes = PackageBuilder::package(payload(3000), damage);
        Rig rig(nextAddress(), *m_dir, {});
        QVERIFY(rig.start());
        if (confirmed)
            rig.boxes.answerNext(QMessageBox::Ok);
        rig.program(m_dir->file("damaged.pkg", bytes));
        QVERIFY(!rig.boxes.boxes.isEmpty());
        const MessageBox::Box q = rig.boxes.boxes.first();
        QCOMPARE(
            q.text, "The file looks like a firmware package, but its check failed. Send it to the device unchanged?");
        QVERIFY(q.icon == QMessageBox::Question && q.defaultButton == QMessageBox::No && q.parent == &rig.page);
        if (!confirmed) {
            QCOMPARE(rig.boxes.boxes.size(), 1);
            verifyIdle(rig);
            QCOMPARE(rig.count(256), 0);
            return;
        }
        QVERIFY(rig.waitFor("Programming finish!"));
        QCOMPARE(m_dir->flash(rig.address, 0), bytes);
    }

    void backupAsksForTheFileAndShowsItsProgress()
    {
        const QByteArray source = payload(1200, 11);
        const QString served = m_dir->file("card program.bin", source);
        Rig rig(
            nextAddress(), *m_dir, { "--backup-file", served, "--backup-announce", "1000", "--backup-piece", "600" });
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
        Rig rig(nextAddress(), *m_dir, {});
        QVERIFY(rig.start());
        QComboBox* combo = rig.types();
        QCOMPARE(combo->count(), 3);
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
        QCOMPARE(rig.count(1), 2);
        QCOMPARE(rig.count(337), 0);
    }

private:
    QString nextAddress() { return TestAddresses::card(kArea, ++m_case); }
    // The page takes no run on a Read: the reply only fills the label.
    void verifyIdle(Rig& rig)
    {
        QVERIFY(!QFile::exists(m_dir->path("app/firmware/tmp.bin")));
        QCOMPARE(rig.status(), QString());
        QVERIFY(rig.button("btnBackup")->isEnabled());
        if (!rig.link.isConnected())
            QVERIFY(rig.connect());
        const int starts = rig.count(256);
        const int versions = rig.count(1);
        rig.widget<QLabel>("labelVersion")->clear();
        rig.button("btnRead")->click();
        QTRY_VERIFY(!rig.version().isEmpty());
        QCOMPARE(rig.count(1), versions + 1);
        QCOMPARE(rig.count(256), starts);
    }

    std::unique_ptr<ProgrammingTest::Workspace> m_dir;
    int m_case = 0;
};

QTEST_MAIN(TestProgrammingPage)
#include "tst_programmingpage.moc"
