#include "batchprogrammingdialog.h"

#include "app/dialogprompt.h"
#include "app/messagebox.h"
#include "batchprogrammingthread.h"
#include "batchreport.h"
#include "devicelist.h"
#include "firmwarepackage.h"
#include "link/ipaddresspattern.h"
#include "progressbytes.h"
#include "ui_batchprogrammingdialog.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>

namespace {

int g_poolSizeForTests = 0;

const char* const kStatusTexts[] = {
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "Not Start"),
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "In Progress"),
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "Succeeded"),
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "Failed"),
};

// A Status cell shows this from the start of a batch until its task ends.
const QString kNoStatus = QStringLiteral("/");

QTableWidgetItem* centredItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignCenter);
    return item;
}

// Copies a plain image block by block into a file that appears only when
// complete; QFile::copy would leave whatever it wrote before a full disk.
bool copyImage(const QString& from, const QString& to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    QSaveFile out(to);
    // Unbuffered: QSaveFile::commit() does not notice when the bytes still
    // buffered fail to reach the disk, and would put a short file in place.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    char buffer[FirmwarePackage::kBufferSize];
    for (;;) {
        const qint64 got = in.read(buffer, sizeof buffer);
        if (got < 0) {
            out.cancelWriting();
            return false;
        }
        if (got == 0)
            break;
        if (out.write(buffer, got) != got) {
            out.cancelWriting();
            return false;
        }
    }
    return out.commit();
}

} // namespace

struct BatchProgrammingDialog::Private {
    QVector<QThread*> m_threads;
    QVector<BatchProgrammingThread*> m_workers;
    // The dialog's own view of each worker: handed a task whose finished()
    // has not been handled yet. Only idle workers are given tasks.
    QVector<bool> m_busy;
    // Image size of each worker's task, for its row's progress bar.
    QVector<qint64> m_totals;
    QStringList m_ipList;
    int m_nextIndex = 0;

    bool m_running = false;
    int m_batchMode = BatchProgrammingThread::Program;
    int m_batchType = 0;
    std::unique_ptr<QTemporaryDir> m_imageDir;
    QString m_image;
};

BatchProgrammingDialog::BatchProgrammingDialog(QWidget* parent)
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

    createPool();
}

BatchProgrammingDialog::~BatchProgrammingDialog()
{
    // A worker ends its thread once the event in hand is done (a connect
    // takes at most a second) and is deleted there, with its link and timer,
    // as the thread finishes; only then does the thread object go.
    for (QThread* thread : d->m_threads)
        thread->quit();
    for (QThread* thread : d->m_threads)
        thread->wait();
    qDeleteAll(d->m_threads);
    d->m_threads.clear();
    d->m_workers.clear();
    d->m_imageDir.reset();
}

void BatchProgrammingDialog::setPoolSizeForTests(int size)
{
    g_poolSizeForTests = qMax(0, size);
}

const QVector<QThread*>& BatchProgrammingDialog::threadsForTests() const
{
    return d->m_threads;
}

const QVector<BatchProgrammingThread*>& BatchProgrammingDialog::workersForTests() const
{
    return d->m_workers;
}

void BatchProgrammingDialog::createPool()
{
    // Qt reports at least one processor thread; one worker is the least a
    // batch needs to end.
    const int size = qMax(1, g_poolSizeForTests > 0 ? g_poolSizeForTests : QThread::idealThreadCount());
    for (int i = 0; i < size; ++i) {
        auto* thread = new QThread();
        thread->setObjectName(QStringLiteral("batch worker %1").arg(i + 1));
        auto* worker = new BatchProgrammingThread();
        connect(thread, &QThread::finished, worker, &QObject::deleteLater);
        connect(worker, &BatchProgrammingThread::finished, this, &BatchProgrammingDialog::onBatchFinished);
        connect(
            worker, &BatchProgrammingThread::programmingStarted, this, &BatchProgrammingDialog::onProgrammingStarted);
        connect(
            worker, &BatchProgrammingThread::programmingUpdated, this, &BatchProgrammingDialog::onProgrammingUpdated);
        connect(this, &BatchProgrammingDialog::taskStart, worker, &BatchProgrammingThread::onTaskStart);
        worker->moveToThread(thread);
        thread->start();
        d->m_threads.append(thread);
        d->m_workers.append(worker);
        d->m_busy.append(false);
        d->m_totals.append(0);
    }
}

QString BatchProgrammingDialog::statusText(int status)
{
    if (status < 0 || status > 3)
        return QString();
    return tr(kStatusTexts[status]);
}

bool BatchProgrammingDialog::isBatchRunning() const
{
    return d->m_running;
}

QString BatchProgrammingDialog::batchImagePath() const
{
    return d->m_image;
}

void BatchProgrammingDialog::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        ui->retranslateUi(this);
        for (int row = 0; row < ui->tableWidgetDevice->rowCount(); ++row) {
            QTableWidgetItem* item = ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnStatus);
            if (item && item->text() != kNoStatus)
                item->setText(statusText(item->data(kStatusRole).toInt()));
        }
    }
    QDialog::changeEvent(event);
}

bool BatchProgrammingDialog::refusedWhileRunning()
{
    if (!d->m_running)
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
    if (d->m_running)
        handOutToIdleWorkers();
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
    const QString chosen
        = DialogPrompt::openFileName(this, tr("Choose Programming File"), ui->leFile->text(), tr("(*.bin)"));
    if (!chosen.isEmpty())
        ui->leFile->setText(chosen);
}

void BatchProgrammingDialog::onBtnImportClicked()
{
    if (refusedWhileRunning())
        return;
    const QString path = DialogPrompt::openFileName(
        this, tr("Choose Device List File"), QStringLiteral("/"), tr("(*.txt *.csv *.xlsx)"));
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
    const QString path
        = DialogPrompt::saveFileName(this, tr("Save Batch Programming Result"), QStringLiteral("/"), tr("(*.txt)"));
    if (path.isEmpty())
        return;
    QList<BatchReport::Row> rows;
    QTableWidget* table = ui->tableWidgetDevice;
    for (int row = 0; row < table->rowCount(); ++row) {
        const QTableWidgetItem* ip = table->item(row, UI_BatchProgrammingDialog::ColumnIp);
        const QTableWidgetItem* status = table->item(row, UI_BatchProgrammingDialog::ColumnStatus);
        const int value = status ? status->data(kStatusRole).toInt() : 0;
        const QString text = value >= 0 && value <= 3 ? statusText(value) : tr("Code: ") + QString::number(value);
        rows.append({ ip ? ip->text() : QString(), text });
    }
    BatchReport::Texts texts;
    texts.ip = tr("IP");
    texts.result = tr("Result");
    if (!BatchReport::write(path, QDateTime::currentDateTime(), rows, texts))
        MessageBox::warning(nullptr, tr("Warning"), tr("File cannot open!"));
}

void BatchProgrammingDialog::onBtnProgramClicked()
{
    if (refusedWhileRunning())
        return;
    const QString path = ui->leFile->text();
    if (path.isEmpty() || !QFileInfo(path).isFile() || d->m_ipList.isEmpty())
        return;
    if (!prepareImage(path)) {
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

// The batch's own copy of its image: the payload of a firmware package, or
// the chosen file as it is.
bool BatchProgrammingDialog::prepareImage(const QString& path)
{
    auto dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/netquill-batch-XXXXXX"));
    if (!dir->isValid())
        return false;
    const QString image = dir->filePath(QStringLiteral("image.bin"));
    FirmwarePackage package(path);
    if (!package.extractTo(image) && (package.writeFailed() || !copyImage(path, image)))
        return false;
    d->m_imageDir = std::move(dir);
    d->m_image = image;
    return true;
}

void BatchProgrammingDialog::startBatch(int mode)
{
    d->m_batchMode = mode;
    d->m_batchType = qMax(0, ui->comboBoxProgType->currentIndex());
    d->m_nextIndex = 0;
    // Every row is waiting now: a report exported during the batch tells
    // no result of an earlier one.
    QTableWidget* table = ui->tableWidgetDevice;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem* status = table->item(row, UI_BatchProgrammingDialog::ColumnStatus);
        status->setText(kNoStatus);
        status->setData(kStatusRole, BatchProgrammingThread::NotStart);
    }
    d->m_running = true;
    handOutToIdleWorkers();
    endBatchWhenDone();
}

void BatchProgrammingDialog::handOutToIdleWorkers()
{
    for (int i = 0; i < d->m_workers.size() && d->m_nextIndex < d->m_ipList.size(); ++i) {
        if (d->m_busy[i])
            continue;
        BatchProgrammingThread* worker = d->m_workers[i];
        const int index = d->m_nextIndex++;
        worker->setDevice(d->m_ipList[index], index);
        worker->setMode(d->m_batchMode);
        worker->setProgType(d->m_batchType);
        if (d->m_batchMode == BatchProgrammingThread::Program)
            worker->setProgrammingFile(d->m_image);
        d->m_busy[i] = true;
        d->m_totals[i] = 0;
        ui->tableWidgetDevice->item(index, UI_BatchProgrammingDialog::ColumnStatus)
            ->setData(kStatusRole, BatchProgrammingThread::InProgress);
        emit taskStart(index);
    }
}

void BatchProgrammingDialog::endBatchWhenDone()
{
    if (!d->m_running || d->m_nextIndex < d->m_ipList.size() || d->m_busy.contains(true))
        return;
    d->m_running = false;
    // The workers let go of the batch's image, and its copy goes.
    for (BatchProgrammingThread* worker : d->m_workers)
        worker->setProgrammingFile(QString());
    d->m_imageDir.reset();
    d->m_image.clear();
}

int BatchProgrammingDialog::senderWorker() const
{
    return d->m_workers.indexOf(qobject_cast<BatchProgrammingThread*>(sender()));
}

void BatchProgrammingDialog::onBatchFinished()
{
    const int i = senderWorker();
    if (i < 0 || !d->m_busy[i])
        return;
    d->m_busy[i] = false;
    BatchProgrammingThread* worker = d->m_workers[i];
    const int row = rowOf(worker->deviceIp());
    if (row >= 0) {
        const int status = worker->status();
        QTableWidgetItem* item = ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnStatus);
        if (status >= 0 && status <= 3)
            item->setText(statusText(status));
        item->setData(kStatusRole, status);
        if (status == BatchProgrammingThread::Succeeded && worker->mode() == BatchProgrammingThread::ReadVersion)
            ui->tableWidgetDevice->item(row, UI_BatchProgrammingDialog::ColumnVersion)->setText(worker->version());
    }
    handOutToIdleWorkers();
    endBatchWhenDone();
}

void BatchProgrammingDialog::onProgrammingStarted(qint64 bytesTotal)
{
    const int i = senderWorker();
    if (i < 0)
        return;
    d->m_totals[i] = bytesTotal;
    const int row = rowOf(d->m_workers[i]->deviceIp());
    if (auto* bar = qobject_cast<QProgressBar*>(
            ui->tableWidgetDevice->cellWidget(row, UI_BatchProgrammingDialog::ColumnProgress)))
        ProgressBytes::show(bar, 0, bytesTotal);
}

void BatchProgrammingDialog::onProgrammingUpdated(qint64 bytesWritten)
{
    const int i = senderWorker();
    if (i < 0)
        return;
    const int row = rowOf(d->m_workers[i]->deviceIp());
    if (auto* bar = qobject_cast<QProgressBar*>(
            ui->tableWidgetDevice->cellWidget(row, UI_BatchProgrammingDialog::ColumnProgress)))
        ProgressBytes::show(bar, bytesWritten, d->m_totals[i]);
}
