// The batch dialog with its worker pool against many simulated cards on loopback.

#include "programming/batchpool.h"
#include "programming/batchprogrammingdialog.h"
#include "programming/batchprogrammingthread.h"
#include "programming/firmwarepackage.h"
#include "programmingtest.h"
#include "support/boxrecorder.h"
#include "support/waituntil.h"

#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMutex>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QtTest>

namespace {

constexpr int kArea = 51;
constexpr int kBatchMs = 30000;

// One dialog, the cards of one test case and a recorder answering every box.
struct Rig {
    Rig(const QStringList& cards, const QString& store, const QStringList& extra = {}, int pool = 2)
        : cards(cards)
        , sim(BatchCards::arguments(cards, store, extra))
        , owned(new BatchProgrammingDialog(nullptr, pool))
    {
        dialog.pool().setReplyTimeout(150);
        dialog.pool().setInstallTimeout(600);
        dialog.show();
    }
    template <typename T> T* widget(const char* name) { return dialog.findChild<T*>(QString::fromLatin1(name)); }
    QTableWidget* table() { return widget<QTableWidget>("tableWidgetDevice"); }
    QPushButton* button(const char* name) { return widget<QPushButton>(name); }
    void add(const QString& address) { widget<QLineEdit>("leIP")->setText(address), button("btnAdd")->click(); }
    void program(const QString& file) { widget<QLineEdit>("leFile")->setText(file), button("btnProgram")->click(); }
    QStringList column(int column, int role = Qt::DisplayRole)
    {
        QStringList result;
        for (int row = 0; row < table()->rowCount(); ++row)
            result.append(table()->item(row, column)->data(role).toString());
        return result;
    }
    // Every card succeeded, was connected to once and has `image` in its flash.
    void verifyAllProgrammed(const ProgrammingTest::Workspace& dir, const QByteArray& image)
    {
        QCOMPARE(column(3), QVector<QString>(cards.size(), QStringLiteral("Succeeded")).toList());
        QCOMPARE(column(3, BatchProgrammingDialog::kStatusRole), QVector<QString>(cards.size(), "2").toList());
        for (int row = 0; row < cards.size(); ++row) {
            QCOMPARE(dir.flash(cards[row], 0), image);
            QCOMPARE(BatchCards::connections(sim, cards[row]), 1);
        }
    }
    // The context menu of a row, answered with `choice`.
    void contextMenu(int row, const QString& choice)
    {
        boxes.answerDialog(choice);
        const QPoint pos = table()->visualItemRect(table()->item(row, 0)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, table()->viewport()->mapToGlobal(pos));
        QCoreApplication::sendEvent(table()->viewport(), &event);
    }

    QStringList cards;
    BoxRecorder boxes;
    SimulatorFixture sim;
    // Destroyed first, or earlier by a test, while the cards still answer.
    std::unique_ptr<BatchProgrammingDialog> owned;
    BatchProgrammingDialog& dialog = *owned;
};

} // namespace

class TestBatchProgrammingDialog : public QObject {
    Q_OBJECT

    std::unique_ptr<ProgrammingTest::Workspace> m_dir;
    int m_case = 0;
    QStringList cards(int count) { return BatchCards::addresses(kArea, ++m_case, count); }

private slots:
    void initTestCase() { ProgrammingTest::quietOffscreenWarnings(); }
    void init() { QVERIFY((m_dir = std::make_unique<ProgrammingTest::Workspace>())->isValid()); }

    // Fewer workers than cards: the rest are handed out as tasks end, each
    // from the batch's own copy of the image.
    void poolProgramsEveryDeviceFromItsCopy()
    {
        const int pool = 3;
        Rig rig(cards(10), m_dir->store(), { "--prog-install-ms", "100" }, pool);
        QVERIFY(rig.sim.start());
        for (const QString& card : rig.cards)
            rig.add(card);
        const QByteArray payload = PackageBuilder::payload(3000);
        const QString chosen = m_dir->file("firmware.bin", PackageBuilder::package(payload));
        rig.program(chosen);
        QVERIFY(rig.dialog.isBatchRunning());
        const QString copy = rig.dialog.batchImagePath();
        QVERIFY(!copy.isEmpty() && !FirmwarePackage::isTemporaryImage(copy));
        QCOMPARE(PackageBuilder::read(copy), payload);
        // Closing the dialog only hides it; the batch goes on.
        rig.dialog.close();
        // What the technician does to the chosen file does not reach the batch.
        QVERIFY(waitUntil([&] { return BatchCards::connections(rig.sim, rig.cards[0]) == 1; }, kBatchMs));
        QVERIFY(PackageBuilder::write(chosen, PackageBuilder::payload(700, 9)));
        WAIT_VERIFY(!rig.dialog.isBatchRunning(), kBatchMs);
        rig.verifyAllProgrammed(*m_dir, payload);
        for (int row = 0; row < rig.cards.size(); ++row)
            QCOMPARE(qobject_cast<QProgressBar*>(rig.table()->cellWidget(row, 2))->value(), 3000);
        // As many cards at a time as there are workers, never more.
        QCOMPARE(BatchCards::mostAtOnce(rig.sim), pool);
        QVERIFY(rig.boxes.boxes.isEmpty());
        // The copy goes with the batch.
        QVERIFY(rig.dialog.batchImagePath().isEmpty());
        QVERIFY(!QFile::exists(copy));
        QVERIFY(!QFileInfo::exists(QFileInfo(copy).absolutePath()));
    }

    // While a batch runs, nothing may shift the list under it: Program, Refresh,
    // Import and Delete are refused; a card added meanwhile joins the batch.
    void runningBatchKeepsItsList()
    {
        const QStringList cards = this->cards(4);
        Rig rig(cards, m_dir->store(), { "--prog-install-ms", "300" });
        QVERIFY(rig.sim.start());
        for (int i = 0; i < 3; ++i)
            rig.add(cards[i]);
        const QByteArray payload = PackageBuilder::payload(1500);
        rig.program(m_dir->file("image.bin", payload));
        QVERIFY(rig.dialog.isBatchRunning());
        QCOMPARE(rig.column(3, BatchProgrammingDialog::kStatusRole), (QStringList { "1", "1", "0" }));
        rig.button("btnProgram")->click();
        rig.button("btnRefresh")->click();
        rig.button("btnImport")->click();
        rig.contextMenu(1, QStringLiteral("Delete"));
        QCOMPARE(rig.boxes.count("The batch is still running, please wait until it has finished!"), 4);
        QCOMPARE(rig.boxes.last()->parent, &rig.dialog);
        // The import was refused before asking for a file; the menu was answered.
        QCOMPARE(rig.boxes.dialogs.size(), 1);
        QCOMPARE(rig.column(0), cards.mid(0, 3));
        // Export during the batch tells where each card stands.
        rig.boxes.answerDialog(m_dir->path("during.txt"));
        rig.button("btnExport")->click();
        const QString report = QString::fromUtf8(PackageBuilder::read(m_dir->path("during.txt")));
        QVERIFY2(report.endsWith(
                     cards[0] + "\t\tIn Progress\n" + cards[1] + "\t\tIn Progress\n" + cards[2] + "\t\tNot Start\n"),
            qPrintable(report));
        rig.add(cards[3]);
        WAIT_VERIFY(!rig.dialog.isBatchRunning(), kBatchMs);
        QCOMPARE(rig.column(0), cards);
        rig.verifyAllProgrammed(*m_dir, payload);
        QCOMPARE(rig.boxes.boxes.size(), 4);
        // Once it has ended, the list is the technician's again.
        rig.contextMenu(1, QStringLiteral("Delete"));
        QCOMPARE(rig.column(0), (QStringList { cards[0], cards[2], cards[3] }));
    }

    void destroyedMidBatch()
    {
        Rig rig(cards(5), m_dir->store(), { "--prog-ack-delay-ms", "20" }, 3);
        QVERIFY(rig.sim.start());
        for (const QString& card : rig.cards)
            rig.add(card);
        rig.program(m_dir->file("image.bin", PackageBuilder::payload(50000)));
        const QString copy = rig.dialog.batchImagePath();
        QVERIFY(waitUntil([&] { return rig.sim.frames("in", 257).size() >= 6; }, kBatchMs));
        // Each worker (with its link and timer) goes before its thread object.
        QMutex mutex;
        QStringList order;
        const auto threads = rig.dialog.pool().threads();
        const auto workers = rig.dialog.pool().workers();
        QCOMPARE(threads.size(), 3);
        for (int i = 0; i < threads.size(); ++i) {
            QThread* thread = threads[i];
            connect(workers[i], &QObject::destroyed, [&mutex, &order, i, thread] {
                QMutexLocker lock(&mutex);
                order.append(
                    QStringLiteral("worker %1 in its thread: %2").arg(i).arg(QThread::currentThread() == thread));
            });
            connect(thread, &QObject::destroyed, [&mutex, &order, i] {
                QMutexLocker lock(&mutex);
                order.append(QStringLiteral("thread %1").arg(i));
            });
        }
        rig.owned.reset();
        QCOMPARE(order.size(), 6);
        for (int i = 0; i < 3; ++i) {
            const int worker = order.indexOf(QStringLiteral("worker %1 in its thread: 1").arg(i));
            QVERIFY2(
                worker >= 0 && worker < order.indexOf(QStringLiteral("thread %1").arg(i)), qPrintable(order.join('|')));
        }
        // The links were closed and the batch's copy removed.
        QVERIFY(
            waitUntil([&] { return rig.sim.events("connected").size() == rig.sim.events("closed").size(); }, kBatchMs));
        QVERIFY(!QFile::exists(copy));
        QVERIFY(rig.boxes.boxes.isEmpty());
    }

    void imports_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content"); // empty: a missing file
        QTest::addColumn<QStringList>("addresses");
        QTest::addColumn<QString>("warning");
        QTest::newRow("CSV with header and duplicates")
            << "list.csv" << QByteArray("IP,\r\n10.0.0.9,\r\n10.0.0.8,\r\n10.0.0.9,\r\n")
            << QStringList { "10.0.0.9", "10.0.0.8" } << "";
        QTest::newRow("cancelled") << "" << QByteArray() << QStringList { "10.9.9.9" } << "";
        QTest::newRow("damaged workbook")
            << "damaged.xlsx" << QByteArray("PK\3\4 not really") << QStringList() << "File cannot open!";
        QTest::newRow("xlsx in capitals is read as text")
            << "list.XLSX" << QByteArray("10.0.0.5\n") << QStringList { "10.0.0.5" } << "";
    }
    // The import replaces the list; a cancelled one keeps it.
    void imports()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QStringList, addresses);
        QFETCH(QString, warning);
        Rig rig({}, m_dir->store());
        rig.add("10.9.9.9");
        if (!name.isEmpty())
            rig.boxes.answerDialog(content.isEmpty() ? m_dir->path(name) : m_dir->file(name, content));
        rig.button("btnImport")->click();
        QCOMPARE(rig.boxes.dialogs.first().filter, QStringLiteral("(*.txt *.csv *.xlsx)"));
        QCOMPARE(rig.column(0), addresses);
        QCOMPARE(rig.boxes.texts(), warning.isEmpty() ? QStringList() : QStringList { warning });
        if (!warning.isEmpty())
            QCOMPARE(rig.boxes.last()->parent, nullptr);
    }

    void programNeedsAFileAListAndNoDamagedPackage()
    {
        Rig rig(cards(1), m_dir->store());
        QVERIFY(rig.sim.start());
        // No device yet, then no file, a missing one, a folder: silently nothing.
        rig.program(m_dir->file("image.bin", PackageBuilder::payload(100)));
        rig.add(rig.cards[0]);
        for (const QString& path : { QString(), m_dir->path("missing.bin"), m_dir->path() })
            rig.program(path);
        QVERIFY(!rig.dialog.isBatchRunning());
        QVERIFY(rig.boxes.boxes.isEmpty() && rig.boxes.dialogs.isEmpty());
        // A file with the package magic that fails its check is refused, naming
        // the file and the check.
        const QString damaged
            = m_dir->file("damaged.pkg", PackageBuilder::package(PackageBuilder::payload(100), 0x1, -1, {}, true));
        rig.program(damaged);
        QVERIFY(!rig.dialog.isBatchRunning());
        QCOMPARE(rig.boxes.boxes.size(), 1);
        const MessageBox::Box box = rig.boxes.boxes.first();
        QVERIFY2(box.icon == QMessageBox::Warning && box.text.contains(QDir::toNativeSeparators(damaged))
                && box.text.contains(QStringLiteral("CRC")),
            qPrintable(box.text));
        QTest::qWait(50);
        QCOMPARE(BatchCards::connections(rig.sim, rig.cards[0]), 0);
        QCOMPARE(rig.column(3), QStringList { "/" });
    }
};

QTEST_MAIN(TestBatchProgrammingDialog)
#include "tst_batchprogrammingdialog.moc"
