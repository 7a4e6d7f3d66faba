#include "batchprogrammingdialog.h"

#include "batchpool.h"
#include "batchprogrammingthread.h"
#include "batchreport.h"
#include "batchtracker.h"
#include "devicelist.h"
#include "firmwarepackage.h"
#include "link/ipaddresspattern.h"
#include "platform/filechoice.h"
#include "platform/version.h"
#include "progressbytes.h"
#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"
#include "ui_batchprogrammingdialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTimer>

namespace {

// A Status cell shows this from the start of a batch until its task ends.
const QString kNoStatus = QStringLiteral("/");

QTableWidgetItem* centredItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

} // namespace

struct BatchProgrammingDialog::Private {
    std::unique_ptr<BatchPool> m_pool;
    std::unique_ptr<BatchTracker> m_tracker;
    // Moves the elapsed times on while a batch runs.
    QTimer m_tick;
    // Image size of each worker's task, for its row's progress bar.
    QVector<qint64> m_totals;
    QStringList m_ipList;
};

BatchProgrammingDialog::BatchProgrammingDialog(QWidget* parent, int poolSize)
    : QDialog(parent)
    , ui(std::make_unique<UI_BatchProgrammingDialog>())
    , d(std::make_unique<Private>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_QuitOnClose, false);

    connect(ui->btnRefresh, &QPushButton::clicked, this, &BatchProgrammingDialog::onBtnRefreshClicked);
    connect(ui->btnAdd, &QPushButton::clicked, this, &BatchProgrammingDialog::onBtnAddClicked);
    connect(ui->btnChoose, &QPushButton::clicked, this, &BatchProgrammingDialog::onBtnChooseClicked);
    connect(ui->btnExport, &QPushButton::clicked, this, &BatchProgrammingDialog::onBtnExportClicked);
    connect(ui->btnExportCsv, &QPushButton::clicked, this, &BatchProgrammingDialog::onBtnExportCsvClicked);
    connect(ui->btnImport, &QPushButton::clicked, this, &BatchProgrammingDialog::onBtnImportClicked);
    connect(ui->btnProgram, &QPushButton::clicked, this, &BatchProgrammingDialog::onBtnProgramClicked);
    connect(ui->tableWidgetDevice, &QWidget::customContextMenuRequested, this,
        &BatchProgrammingDialog::onCustomContextMenuRequested);

    // The Delete key does what the context menu's "Delete" does.
    auto* deleteKey = new QAction(ui->tableWidgetDevice);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    ui->tableWidgetDevice->addAction(deleteKey);
    connect(deleteKey, &QAction::triggered, this, [this] {
        if (ui->tableWidgetDevice->currentItem())
            deleteRow(ui->tableWidgetDevice->currentRow());
    });

    d->m_pool = std::make_unique<BatchPool>(poolSize);
    d->m_totals.fill(0, d->m_pool->workers().size());
    BatchPool* pool = d->m_pool.get();
    connect(pool, &BatchPool::taskStarted, this, [this](int worker, int index) {
        d->m_totals[worker] = 0;
        if (QTableWidgetItem* item = ui->tableWidgetDevice->item(index, UI_BatchProgrammingDialog::ColumnStatus))
            item->setData(kStatusRole, BatchProgrammingThread::InProgress);
    });
    connect(pool, &BatchPool::taskFinished, this, &BatchProgrammingDialog::onBatchFinished);
    connect(pool, &BatchPool::programmingStarted, this, &BatchProgrammingDialog::onProgrammingStarted);
    connect(pool, &BatchPool::programmingUpdated, this, &BatchProgrammingDialog::onProgrammingUpdated);

    d->m_tracker = std::make_unique<BatchTracker>(pool);
    connect(d->m_tracker.get(), &BatchTracker::cardChanged, this, &BatchProgrammingDialog::onCardChanged);
    connect(d->m_tracker.get(), &BatchTracker::finished, this, [this] {
        d->m_tick.stop();
        showTotals();
    });
    d->m_tick.setInterval(1000);
    connect(&d->m_tick, &QTimer::timeout, this, [this] {
        for (int row = 0; row < ui->tableWidgetDevice->rowCount(); ++row)
            showDetail(row);
        showTotals();
    });
}

BatchProgrammingDialog::~BatchProgrammingDialog() = default;

BatchPool& BatchProgrammingDialog::pool() const
{
    return *d->m_pool;
}

const BatchTracker& BatchProgrammingDialog::tracker() const
{
    return *d->m_tracker;
}

QString BatchProgrammingDialog::statusText(int status)
{
    return BatchReport::statusText(status);
}

bool BatchProgrammingDialog::isBatchRunning() const
{
    return d->m_pool->isRunning();
}

QString BatchProgrammingDialog::batchImagePath() const
{
    return d->m_pool->isRunning() ? d->m_pool->imagePath() : QString();
}

void BatchProgrammingDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        for (int row = 0; row < ui->tableWidgetDevice->rowCount(); ++row) {
            QTableWidgetItem* item = ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnStatus);
            if (item && item->text() != kNoStatus)
                item->setText(statusText(item->data(kStatusRole).toInt()));
            showDetail(row);
        }
        showTotals();
    }
    QDialog::changeEvent(event);
}

bool BatchProgrammingDialog::refusedWhileRunning()
{
    if (!d->m_pool->isRunning())
        return false;
    MessageBox::information(this, tr("Tip"), tr("The batch is still running, please wait until it has finished!"));
    return true;
}

void BatchProgrammingDialog::addDevice(const QString& address)
{
    if (d->m_ipList.contains(address) || !IpAddressPattern::matches(address))
        return;
    d->m_ipList.append(address);
    QTableWidget* table = ui->tableWidgetDevice;
    const int row = d->m_ipList.size() - 1;
    table->setRowCount(d->m_ipList.size());
    table->setItem(row, UI_BatchProgrammingDialog::ColumnIp, centredItem(address));
    table->setItem(row, UI_BatchProgrammingDialog::ColumnVersion, centredItem(QString()));
    table->setCellWidget(row, UI_BatchProgrammingDialog::ColumnProgress, new QProgressBar());
    QTableWidgetItem* status = centredItem(kNoStatus);
    status->setData(kStatusRole, BatchProgrammingThread::NotStart);
    table->setItem(row, UI_BatchProgrammingDialog::ColumnStatus, status);
    QTableWidgetItem* detail = centredItem(QString());
    detail->setData(kBatchIndexRole, -1);
    table->setItem(row, UI_BatchProgrammingDialog::ColumnDetail, detail);
}

int BatchProgrammingDialog::rowOf(const QString& address) const
{
    return d->m_ipList.indexOf(address);
}

void BatchProgrammingDialog::onBtnAddClicked()
{
    const QString address = ui->leIP->text();
    if (!IpAddressPattern::matches(address)) {
        MessageBox::warning(this, tr("Warning"), tr("IP address is invaild!"));
        return;
    }
    if (d->m_ipList.contains(address)) {
        MessageBox::warning(this, tr("Warning"), tr("IP already exists!"));
        return;
    }
    addDevice(address);
    ui->leIP->selectAll();
    // A card added while a batch runs joins it, at the end of the queue.
    if (d->m_pool->isRunning()) {
        d->m_pool->appendDevice(address);
        const int row = rowOf(address);
        ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnDetail)
            ->setData(kBatchIndexRole, d->m_pool->devices().size() - 1);
        showDetail(row);
        showTotals();
    }
}

void BatchProgrammingDialog::onCustomContextMenuRequested(QPoint pos)
{
    QTableWidget* table = ui->tableWidgetDevice;
    QTableWidgetItem* item = table->itemAt(pos);
    if (!item)
        return;
    const int row = item->row();
    QMenu menu(this);
    QAction* remove = menu.addAction(tr("Delete"));
    if (DialogPrompt::popup(&menu, table->viewport()->mapToGlobal(pos)) == remove)
        deleteRow(row);
}

void BatchProgrammingDialog::deleteRow(int row)
{
    QTableWidgetItem* item = ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnIp);
    if (!item || refusedWhileRunning())
        return;
    d->m_ipList.removeAll(item->text());
    ui->tableWidgetDevice->removeRow(row);
}

void BatchProgrammingDialog::onBtnChooseClicked()
{
    const QString chosen = DialogPrompt::openFileName(
        this, tr("Choose Programming File"), ui->leFile->text(), tr("(*.bin)"), DialogPrompt::kImage);
    if (!chosen.isEmpty())
        ui->leFile->setText(chosen);
}

void BatchProgrammingDialog::onBtnImportClicked()
{
    if (refusedWhileRunning())
        return;
    const QString path = DialogPrompt::openFileName(this, tr("Choose Device List File"), QStringLiteral("/"),
        tr("(*.txt *.csv *.xlsx)"), DialogPrompt::kDeviceList);
    if (path.isEmpty())
        return;
    d->m_ipList.clear();
    ui->tableWidgetDevice->setRowCount(0);
    if (path.endsWith(QLatin1String("xlsx")))
        importWorkbook(path);
    else
        importTextList(path);
}

void BatchProgrammingDialog::importTextList(const QString& path)
{
    QStringList addresses;
    if (DeviceList::readText(path, &addresses) != DeviceList::Result::Ok) {
        MessageBox::warning(nullptr, tr("Warning"), tr("File cannot open!"));
        return;
    }
    for (const QString& address : addresses)
        addDevice(address);
}

void BatchProgrammingDialog::importWorkbook(const QString& path)
{
    QStringList addresses;
    // A file that is no readable workbook is told as such, rather than
    // passing for a workbook without addresses.
    if (DeviceList::readWorkbook(path, &addresses) != DeviceList::Result::Ok) {
        MessageBox::warning(nullptr, tr("Warning"), tr("File cannot open!"));
        return;
    }
    for (const QString& address : addresses)
        addDevice(address);
}

void BatchProgrammingDialog::onBtnExportClicked()
{
    const QString path = DialogPrompt::saveFileName(this, tr("Save Batch Programming Result"), QStringLiteral("/"),
        tr("(*.txt)"), DialogPrompt::kBatchReport, FileChoice::reportName(QStringLiteral("txt")));
    if (path.isEmpty())
        return;
    QList<BatchReport::Row> rows;
    QTableWidget* table = ui->tableWidgetDevice;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* ip = table->item(row, UI_BatchProgrammingDialog::ColumnIp);
        const QTableWidgetItem* status = table->item(row, UI_BatchProgrammingDialog::ColumnStatus);
        const int value = status ? status->data(kStatusRole).toInt() : 0;
        rows.append({ ip ? ip->text() : QString(), BatchReport::resultText(value) });
    }
    BatchReport::Texts texts;
    texts.ip = tr("IP");
    texts.result = tr("Result");
    if (!BatchReport::write(path, QDateTime::currentDateTime(), rows, texts))
        MessageBox::warning(nullptr, tr("Warning"), tr("File cannot open!"));
}

void BatchProgrammingDialog::onBtnExportCsvClicked()
{
    const QString path
        = DialogPrompt::saveFileName(this, tr("Save Batch Programming Result as CSV"), QStringLiteral("/"),
            tr("CSV files (*.csv)"), DialogPrompt::kBatchCsv, FileChoice::reportName(QStringLiteral("csv")));
    if (path.isEmpty())
        return;
    const QVector<BatchTracker::Card>& cards = d->m_tracker->cards();
    QList<BatchReport::CsvRow> rows;
    QTableWidget* table = ui->tableWidgetDevice;
    for (int row = 0; row < table->rowCount(); ++row) {
        BatchReport::CsvRow csv;
        csv.address = table->item(row, UI_BatchProgrammingDialog::ColumnIp)->text();
        csv.status = table->item(row, UI_BatchProgrammingDialog::ColumnStatus)->data(kStatusRole).toInt();
        const int index = table->item(row, UI_BatchProgrammingDialog::ColumnDetail)->data(kBatchIndexRole).toInt();
        if (index >= 0 && index < cards.size()) {
            const BatchTracker::Card& card = cards[index];
            csv.reason = BatchTracker::reason(card, d->m_pool->halt());
            csv.version = card.report.version;
            csv.resends = card.report.resends;
            // A card still under way: what it has acknowledged so far, and
            // for how long it has been worked on.
            if (card.phase == BatchTracker::Phase::Ended) {
                csv.bytesSent = card.report.bytesSent;
                csv.seconds = card.seconds();
            } else if (card.startedMs >= 0) {
                csv.bytesSent = card.bytesAcknowledged;
                csv.seconds = (d->m_tracker->elapsedMs() - card.startedMs) / 1000.0;
            }
        }
        rows.append(csv);
    }
    BatchReport::CsvBatch batch;
    if (d->m_tracker->mode() == BatchProgrammingThread::Program)
        batch.imageSha256 = d->m_pool->imageSha256();
    // Before any batch, the type the rows would be worked with.
    batch.type = cards.isEmpty() ? qMax(0, ui->comboBoxProgType->currentIndex()) : d->m_tracker->type();
    batch.toolVersion = QStringLiteral(NETQUILL_VERSION);
    if (!BatchReport::writeCsv(path, rows, batch))
        MessageBox::warning(nullptr, tr("Warning"), tr("File cannot open!"));
}

void BatchProgrammingDialog::onBtnProgramClicked()
{
    if (refusedWhileRunning())
        return;
    const QString path = ui->leFile->text();
    if (path.isEmpty() || !QFileInfo(path).isFile() || d->m_ipList.isEmpty())
        return;
    if (!d->m_pool->prepareImage(path)) {
        const FirmwarePackage::Check failed = d->m_pool->imageCheck();
        if (failed != FirmwarePackage::Check::Passed)
            MessageBox::warning(this, tr("Warning"),
                tr("The file %1 looks like a firmware package, but its %2 check failed. Nothing was sent.")
                    .arg(QDir::toNativeSeparators(path), FirmwarePackage::checkName(failed)));
        else
            MessageBox::warning(this, tr("Warning"), tr("Cannot prepare the programming file!"));
        return;
    }
    startBatch(BatchProgrammingThread::Program);
}

void BatchProgrammingDialog::onBtnRefreshClicked()
{
    if (refusedWhileRunning() || d->m_ipList.isEmpty())
        return;
    startBatch(BatchProgrammingThread::ReadVersion);
}

void BatchProgrammingDialog::startBatch(int mode)
{
    // Every row is waiting now: a report exported during the batch tells
    // no result of an earlier one, and no bar stays full from it.
    QTableWidget* table = ui->tableWidgetDevice;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem* status = table->item(row, UI_BatchProgrammingDialog::ColumnStatus);
        status->setText(kNoStatus);
        status->setData(kStatusRole, BatchProgrammingThread::NotStart);
        table->item(row, UI_BatchProgrammingDialog::ColumnDetail)->setData(kBatchIndexRole, row);
        if (auto* bar = qobject_cast<QProgressBar*>(table->cellWidget(row, UI_BatchProgrammingDialog::ColumnProgress)))
            bar->reset();
    }
    // The rules are about programming; a version refresh reads every card.
    BatchPool::Rules rules;
    if (mode == BatchProgrammingThread::Program) {
        rules.canary = ui->chkCanary->isChecked();
        rules.maxFailures = ui->chkStopAfter->isChecked() ? ui->spinMaxFailures->value() : 0;
    }
    d->m_pool->start(d->m_ipList, mode, qMax(0, ui->comboBoxProgType->currentIndex()), rules);
    for (int row = 0; row < table->rowCount(); ++row)
        showDetail(row);
    showTotals();
    if (d->m_pool->isRunning())
        d->m_tick.start();
}

void BatchProgrammingDialog::onCardChanged(int index)
{
    const BatchTracker::Card& card = d->m_tracker->cards()[index];
    const int row = rowOf(card.address);
    if (row < 0)
        return;
    // A failed card's bar does not stay full: it is empty, as for a card
    // never begun, and the Detail says why.
    if (card.failed() || card.phase == BatchTracker::Phase::NotStarted) {
        if (auto* bar = qobject_cast<QProgressBar*>(
                ui->tableWidgetDevice->cellWidget(row, UI_BatchProgrammingDialog::ColumnProgress)))
            bar->reset();
    }
    showDetail(row);
    showTotals();
}

void BatchProgrammingDialog::showDetail(int row)
{
    QTableWidgetItem* item = ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnDetail);
    if (!item)
        return;
    const int index = item->data(kBatchIndexRole).toInt();
    const QString text = index >= 0 ? d->m_tracker->detail(index) : QString();
    if (item->text() != text) {
        item->setText(text);
        item->setToolTip(text);
    }
}

void BatchProgrammingDialog::showTotals()
{
    if (d->m_tracker->cards().isEmpty() && !d->m_pool->isRunning()) {
        ui->labelTotals->clear();
        return;
    }
    ui->labelTotals->setText(BatchTracker::totalsText(d->m_tracker->totals()));
}

void BatchProgrammingDialog::onBatchFinished(int worker)
{
    BatchProgrammingThread* w = d->m_pool->workers().value(worker);
    if (!w)
        return;
    const int row = rowOf(w->deviceIp());
    if (row < 0)
        return;
    const int status = w->status();
    QTableWidgetItem* item = ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnStatus);
    if (status >= 0 && status <= 3)
        item->setText(statusText(status));
    item->setData(kStatusRole, status);
    if (status == BatchProgrammingThread::Succeeded && w->mode() == BatchProgrammingThread::ReadVersion)
        ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnVersion)->setText(w->version());
}

void BatchProgrammingDialog::onProgrammingStarted(int worker, qint64 bytesTotal)
{
    d->m_totals[worker] = bytesTotal;
    const int row = rowOf(d->m_pool->workers()[worker]->deviceIp());
    if (auto* bar = qobject_cast<QProgressBar*>(
            ui->tableWidgetDevice->cellWidget(row, UI_BatchProgrammingDialog::ColumnProgress)))
        ProgressBytes::show(bar, 0, bytesTotal);
}

void BatchProgrammingDialog::onProgrammingUpdated(int worker, qint64 bytesWritten)
{
    const int row = rowOf(d->m_pool->workers()[worker]->deviceIp());
    if (auto* bar = qobject_cast<QProgressBar*>(
            ui->tableWidgetDevice->cellWidget(row, UI_BatchProgrammingDialog::ColumnProgress)))
        ProgressBytes::show(bar, bytesWritten, d->m_totals[worker]);
}
