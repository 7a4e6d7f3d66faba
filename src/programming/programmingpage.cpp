#include "programmingpage.h"

#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"
#include "backuptransfer.h"
#include "batchprogrammingdialog.h"
#include "chunktransfer.h"
#include "firmwarepackage.h"
#include "link/commandcodes.h"
#include "link/resultbyte.h"
#include "progressbytes.h"
#include "ui_programmingpage.h"
#include "versiontext.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

namespace {
int g_chunkTimeoutMs = ProgrammingPage::kChunkTimeoutMs;
int g_installTimeoutMs = ProgrammingPage::kInstallTimeoutMs;

// The run's version request always asks for the "Firmware" component: its
// version tells which transfer the card takes.
constexpr quint8 kFirmwareType = 1;

} // namespace

// Where a programming run stands. Every state but Idle is "busy".
enum class RunState {
    Idle,
    AwaitingVersion, // command 1 sent
    AwaitingStart, // command 256 sent
    Transferring, // chunks going out
    AwaitingInstallation, // every byte sent; the card reports 258 and 259
};

struct ProgrammingPage::Private {
    std::unique_ptr<QTimer> m_timer { new QTimer() };
    std::unique_ptr<QTimer> m_progressTimer { new QTimer() };
    // Runs from the last chunk to the card's 259, while m_finishDue is set.
    std::unique_ptr<QTimer> m_installTimer { new QTimer() };
    bool m_progressPending = false;
    ChunkTransfer m_transfer;
    BackupTransfer m_backup;
    QString m_backupFileName;
    std::unique_ptr<BatchProgrammingDialog> m_batchDialog { new BatchProgrammingDialog() };
    RunState m_state = RunState::Idle;
    // Counts resets, so that code which emitted sendCmd can tell that the
    // run it belonged to was ended meanwhile (a failed send ends it at once).
    quint64 m_runId = 0;
    quint8 m_runType = 0;
    bool m_retranslating = false;
    const char* m_status = nullptr;
    qint64 m_progressDone = 0;
    qint64 m_progressMax = 0;
    // What the progress text shows: Qt's own until the first run, then
    // "Progress: 0%" while a run waits for the card, then the percentage.
    enum class ProgressText { Default, Zero, Percent } m_progressText = ProgressText::Default;

    // The card may report the end of a run once: set when every byte of a
    // run is out, spent by the "Programming finish!" box, the installation
    // time-out or a lost link.
    bool m_finishDue = false;
    // A backup the technician asked for whose start (337) has not come yet;
    // an unasked 337 would otherwise open a save dialog.
    bool m_backupAsked = false;

    bool busy() const { return m_state != RunState::Idle; }
    // The card's 258 and 259 belong to a run whose every byte is out; during
    // the run's earlier steps they cannot be about it.
    bool beforeLastChunk() const
    {
        return m_state == RunState::AwaitingVersion || m_state == RunState::AwaitingStart
            || m_state == RunState::Transferring;
    }
};

ProgrammingPage::ProgrammingPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_shared<UI_ProgrammingPage>())
    , d(std::make_unique<Private>())
{
    ui->setupUi(this);

    d->m_timer->setSingleShot(false);
    d->m_timer->setTimerType(Qt::CoarseTimer);
    connect(d->m_timer.get(), &QTimer::timeout, this, &ProgrammingPage::programmingTimeout);
    d->m_progressTimer->setSingleShot(true);
    connect(d->m_progressTimer.get(), &QTimer::timeout, this, &ProgrammingPage::refreshProgress);
    d->m_installTimer->setSingleShot(true);
    d->m_installTimer->setTimerType(Qt::CoarseTimer);
    connect(d->m_installTimer.get(), &QTimer::timeout, this, &ProgrammingPage::installationTimeout);

    connect(ui->btnChoose, &QPushButton::clicked, this, &ProgrammingPage::chooseProgrammingFile);
    connect(ui->btnProgramming, &QPushButton::clicked, this, &ProgrammingPage::programmingSlot);
    connect(ui->btnRead, &QPushButton::clicked, this, &ProgrammingPage::readVersionSlot);
    connect(ui->btnBackup, &QPushButton::clicked, this, &ProgrammingPage::backupSlot);
    connect(ui->btnBatchProgramming, &QPushButton::clicked, this, &ProgrammingPage::openBatchDialog);
    connect(ui->comboBoxProgType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &ProgrammingPage::progTypeChanged);
}

ProgrammingPage::~ProgrammingPage()
{
    // The temporary image and an unfinished backup go with the page.
    d->m_timer->stop();
    const QString image = d->m_transfer.fileName();
    const bool wasOpen = d->m_transfer.isOpen();
    d->m_transfer.reset();
    if (wasOpen && FirmwarePackage::isTemporaryImage(image))
        QFile::remove(image);
    d->m_backup.abandon();
}

void ProgrammingPage::setChunkTimeoutForTests(int ms)
{
    g_chunkTimeoutMs = ms > 0 ? ms : kChunkTimeoutMs;
}

void ProgrammingPage::setInstallTimeoutForTests(int ms)
{
    g_installTimeoutMs = ms > 0 ? ms : kInstallTimeoutMs;
}

void ProgrammingPage::addRootProgType()
{
    if (ui->comboBoxProgType->count() < UI_ProgrammingPage::kBaseTypeCount + 1)
        ui->comboBoxProgType->addItem(tr("root"));
}

void ProgrammingPage::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange) {
        d->m_retranslating = true;
        ui->retranslateUi(this);
        if (d->m_status)
            ui->labelStatus->setText(tr(d->m_status));
        showProgressText();
        d->m_retranslating = false;
    }
    QWidget::changeEvent(event);
}

// The programming type is the index of the current entry. After a language
// change while "root" was selected no entry is current, and no type may be
// guessed for the technician.
bool ProgrammingPage::currentProgType(quint8* type)
{
    const int index = ui->comboBoxProgType->currentIndex();
    if (index < 0) {
        MessageBox::information(this, tr("Tip"), tr("Programming type is not chosen!"));
        return false;
    }
    *type = quint8(index);
    return true;
}

void ProgrammingPage::chooseProgrammingFile()
{
    const QString current = ui->leFile->text();
    const QString directory = current.isEmpty() ? QCoreApplication::applicationDirPath() : current;
    const QString chosen
        = DialogPrompt::openFileName(this, tr("Choose programming file"), directory, tr("Binary Files(*.bin);;*"));
    if (!chosen.isEmpty())
        ui->leFile->setText(chosen);
}

void ProgrammingPage::readVersionSlot()
{
    quint8 type = 0;
    if (!currentProgType(&type))
        return;
    emit sendCmd(CommandCode::ReadVersion, QByteArray(1, char(type)));
}

void ProgrammingPage::progTypeChanged(int index)
{
    if (index >= 0 && !d->m_retranslating)
        readVersionSlot();
}

void ProgrammingPage::backupSlot()
{
    quint8 type = 0;
    if (!currentProgType(&type))
        return;
    d->m_backupAsked = true;
    emit sendCmd(CommandCode::StartBackup, QByteArray(1, char(type)));
}

void ProgrammingPage::openBatchDialog()
{
    d->m_batchDialog->exec();
}

void ProgrammingPage::programmingSlot()
{
    if (ui->leFile->text().isEmpty()) {
        MessageBox::information(this, tr("Tip"), tr("Programming file is not choosen!"));
        return;
    }
    quint8 type = 0;
    if (!currentProgType(&type) || !acceptsDamagedPackage(ui->leFile->text()))
        return;
    resetProgramming();
    d->m_progressPending = false;
    d->m_progressTimer->stop();
    ui->progressBar->setValue(0);
    d->m_progressText = Private::ProgressText::Zero;
    showProgressText();
    d->m_runType = type;
    endInstallation();
    d->m_backupAsked = false;
    // A backup cannot share the card with a run.
    ui->btnBackup->setEnabled(false);
    d->m_state = RunState::AwaitingVersion;
    // Without a card (the link only warns) no version reply comes: the run
    // ends by itself instead of waiting for a later "Read".
    d->m_timer->start(g_chunkTimeoutMs);
    emit sendCmd(CommandCode::ReadVersion, QByteArray(1, char(kFirmwareType)));
}

// Only the technician can tell a damaged package from a plain image that
// begins with the package magic by chance; asked before the run sends
// anything, since the file is opened only once the card has answered.
bool ProgrammingPage::acceptsDamagedPackage(const QString& path)
{
    if (FirmwarePackage(path).failedCheck() == FirmwarePackage::Check::Passed)
        return true;
    return MessageBox::standard(this, QMessageBox::Question, tr("Warning"),
               tr("The file looks like a firmware package, but its check failed. Send it to the device unchanged?"),
               QMessageBox::Ok | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Ok;
}

void ProgrammingPage::handleRespond(int cmd, const quint8* data, int size)
{
    switch (cmd) {
    case CommandCode::ReadVersion: handleVersionReply(data, size); break;
    case CommandCode::StartProgramming: handleStartReply(data, size); break;
    case CommandCode::ImageChunk: handleChunkReply(data, size); break;
    case CommandCode::Installing:
        // Mid-run the card cannot be installing this image: the run goes on
        // (and times out if the card really stopped taking chunks).
        if (d->beforeLastChunk() || !d->m_finishDue)
            break;
        resetProgramming();
        setStatus(QT_TR_NOOP("Installing program..."));
        break;
    case CommandCode::ProgrammingFinished:
        // Only the end of the run whose every byte went out is a success,
        // and it is told once however often the card repeats it.
        if (d->beforeLastChunk() || !d->m_finishDue)
            break;
        endInstallation();
        // The run is over: a later loss of the link is no failure of it.
        if (d->busy())
            resetProgramming();
        setStatus(nullptr);
        MessageBox::information(this, tr("Information"), tr("Programming finish!"));
        break;
    case CommandCode::BackupPreparing:
        if (d->m_backupAsked && !d->busy())
            setStatus(QT_TR_NOOP("Backuping program..."));
        break;
    case CommandCode::StartBackup: handleBackupStart(data, size); break;
    case CommandCode::BackupData: handleBackupData(data, size); break;
    default: break;
    }
}

void ProgrammingPage::handleVersionReply(const quint8* data, int size)
{
    if (d->m_state == RunState::AwaitingVersion) {
        d->m_transfer.setOldProtocol(VersionText::usesOldProtocol(data, size));
        d->m_state = RunState::AwaitingStart;
        startProgramming();
        return;
    }
    // Once the run has announced the image, a version reply (a "Read" during
    // the transfer) is only shown: it must not start the run again.
    ui->labelVersion->setText(QString::fromUtf8(VersionText::text(data, size)));
}

void ProgrammingPage::startProgramming()
{
    QString path = ui->leFile->text();
    FirmwarePackage package(path);
    if (package.extractToTemporary())
        path = FirmwarePackage::temporaryImagePath();
    if (package.writeFailed() || !d->m_transfer.open(path)) {
        resetProgramming();
        if (FirmwarePackage::isTemporaryImage(path))
            QFile::remove(path);
        MessageBox::warning(this, tr("Warning"), tr("Open programming file failed!"));
        return;
    }
    d->m_timer->start(g_chunkTimeoutMs);
    emit sendCmd(CommandCode::StartProgramming, d->m_transfer.startCommandData(d->m_runType));
}

void ProgrammingPage::handleStartReply(const quint8* data, int size)
{
    if (d->m_state != RunState::AwaitingStart)
        return;
    if (!ResultByte::succeeded(data, size)) {
        failRun(QT_TR_NOOP("Start programming failed!"));
        return;
    }
    d->m_timer->stop();
    d->m_state = RunState::Transferring;
    setProgress(0, d->m_transfer.totalBytes());
    setStatus(QT_TR_NOOP("Programming..."));
    sendNextChunk();
}

void ProgrammingPage::sendNextChunk()
{
    QByteArray chunk;
    switch (d->m_transfer.nextChunk(&chunk)) {
    case ChunkTransfer::Next::Nothing:
        // Every byte is out, an empty image included: the card reports the
        // installation by itself.
        if (d->m_state == RunState::Transferring) {
            d->m_state = RunState::AwaitingInstallation;
            expectFinish();
        }
        return;
    case ChunkTransfer::Next::ReadError: failRun(QT_TR_NOOP("Programming failed!")); return;
    case ChunkTransfer::Next::Chunk: break;
    }
    const quint64 run = d->m_runId;
    emit sendCmd(CommandCode::ImageChunk, chunk);
    if (run != d->m_runId)
        return;
    setProgress(d->m_transfer.sentBytes(), d->m_transfer.totalBytes());
    if (d->m_transfer.allSent()) {
        flushProgress();
        d->m_timer->stop();
        d->m_state = RunState::AwaitingInstallation;
        expectFinish();
    } else {
        d->m_timer->start(g_chunkTimeoutMs);
    }
}

void ProgrammingPage::handleChunkReply(const quint8* data, int size)
{
    if (d->m_state != RunState::Transferring && d->m_state != RunState::AwaitingInstallation)
        return;
    if (!ResultByte::succeeded(data, size)) {
        failRun(QT_TR_NOOP("Programming failed!"));
        return;
    }
    d->m_transfer.acknowledged();
    sendNextChunk();
}

void ProgrammingPage::programmingTimeout()
{
    switch (d->m_state) {
    case RunState::Idle:
        d->m_timer->stop();
        // A piece lost on the way cannot be asked for again (the card serves
        // the next one): the backup fails rather than wait for ever.
        if (d->m_backup.isReceiving()) {
            resetProgramming();
            MessageBox::warning(this, tr("Warning"), tr("Backup file failed!"));
        }
        return;
    case RunState::AwaitingInstallation: d->m_timer->stop(); return;
    case RunState::AwaitingVersion:
    case RunState::AwaitingStart: break;
    case RunState::Transferring:
        if (d->m_transfer.timeout() == ChunkTransfer::Timeout::Resend) {
            emit sendCmd(CommandCode::ImageChunk, d->m_transfer.lastChunk());
            return;
        }
        break;
    }
    timeOutRun();
}

// The run is over before the box opens, so that a late reply arriving while
// it is open changes nothing; the status stays until it closes.
void ProgrammingPage::timeOutRun()
{
    const quint64 run = ++d->m_runId;
    d->m_timer->stop();
    d->m_state = RunState::Idle;
    MessageBox::warning(this, tr("Warning"), tr("Programming timeout!"));
    if (run == d->m_runId)
        resetProgramming();
}

// A card that stays connected but never reports the end of its
// installation: the run is over, as failed, and the page takes the next.
void ProgrammingPage::installationTimeout()
{
    if (!d->m_finishDue)
        return;
    endInstallation();
    if (d->busy()) {
        timeOutRun();
        return;
    }
    // After 258 the page is idle already; only "Installing program..." goes,
    // and a backup started meanwhile keeps its own status.
    if (!d->m_backupAsked && !d->m_backup.isReceiving())
        setStatus(nullptr);
    MessageBox::warning(this, tr("Warning"), tr("Programming timeout!"));
}

void ProgrammingPage::expectFinish()
{
    d->m_finishDue = true;
    d->m_installTimer->start(g_installTimeoutMs);
}

void ProgrammingPage::endInstallation()
{
    d->m_finishDue = false;
    d->m_installTimer->stop();
}

void ProgrammingPage::failRun(const char* text)
{
    endInstallation();
    resetProgramming();
    MessageBox::warning(this, tr("Warning"), tr(text));
}

void ProgrammingPage::handleBackupStart(const quint8* data, int size)
{
    // A programming run ends every backup, one merely announced included.
    if (d->busy() || !d->m_backupAsked)
        return;
    d->m_backupAsked = false;
    quint32 total = 0;
    if (!BackupTransfer::announcedSize(data, size, &total)) {
        setStatus(nullptr);
        MessageBox::warning(this, tr("Warning"), tr("Start backup failed!"));
        return;
    }
    if (total == 0) {
        setStatus(nullptr);
        MessageBox::warning(this, tr("Warning"), tr("Start backup failed!"));
        return;
    }
    d->m_backup.abandon();
    d->m_backupFileName = DialogPrompt::saveFileName(
        this, tr("Backup program"), QCoreApplication::applicationDirPath(), tr("Binary File(*.bin)"));
    if (d->m_backupFileName.isEmpty()) {
        setStatus(nullptr);
        return;
    }
    setProgress(0, total);
    if (!d->m_backup.open(d->m_backupFileName, total)) {
        setStatus(nullptr);
        MessageBox::warning(this, tr("Warning"), tr("Cannot open backup file!"));
        return;
    }
    emit sendCmd(CommandCode::BackupData, QByteArray());
    if (d->m_backup.isReceiving()) {
        setStatus(QT_TR_NOOP("Receiving backup file..."));
        d->m_timer->start(g_chunkTimeoutMs);
    }
}

void ProgrammingPage::handleBackupData(const quint8* data, int size)
{
    if (!d->m_backup.isReceiving() || d->busy())
        return;
    switch (d->m_backup.addPiece(data, size)) {
    case BackupTransfer::Piece::Failed:
        resetProgramming();
        MessageBox::warning(this, tr("Warning"), tr("Backup file failed!"));
        return;
    case BackupTransfer::Piece::Complete:
        setProgress(d->m_backup.receivedBytes(), d->m_backup.totalBytes());
        flushProgress();
        resetProgramming();
        MessageBox::information(this, tr("Information"), tr("Backup file finished!"));
        return;
    case BackupTransfer::Piece::More:
        setProgress(d->m_backup.receivedBytes(), d->m_backup.totalBytes());
        d->m_timer->start(g_chunkTimeoutMs);
        emit sendCmd(CommandCode::BackupData, QByteArray());
        return;
    }
}

void ProgrammingPage::handleError()
{
    d->m_backupAsked = false;
    if (d->busy()) {
        endInstallation();
        resetProgramming();
        MessageBox::information(this, tr("Information"), tr("Programming failed!"));
        return;
    }
    // Once 258 came the page is idle, but the run is not over until 259: a
    // card lost while installing has not reported a success.
    const bool installing = d->m_finishDue;
    endInstallation();
    // No piece can come any more; what came so far is dropped without a
    // word, and the chosen file stays as it was.
    if (d->m_backup.isReceiving()) {
        d->m_backup.abandon();
        setStatus(nullptr);
    }
    if (installing) {
        setStatus(nullptr);
        MessageBox::information(this, tr("Information"), tr("Programming failed!"));
    }
}

void ProgrammingPage::resetProgramming()
{
    ++d->m_runId;
    // Where a run or backup stopped stays visible.
    flushProgress();
    const QString image = d->m_transfer.fileName();
    const bool wasOpen = d->m_transfer.isOpen();
    d->m_transfer.reset();
    // Only the temporary image goes; a file of the technician's whose name
    // merely ends the same way stays.
    if (wasOpen && FirmwarePackage::isTemporaryImage(image))
        QFile::remove(image);
    d->m_backup.abandon();
    setStatus(nullptr);
    d->m_state = RunState::Idle;
    d->m_timer->stop();
    ui->btnBackup->setEnabled(true);
}

void ProgrammingPage::setStatus(const char* text)
{
    d->m_status = text;
    ui->labelStatus->setText(text ? tr(text) : QString());
}

// The text always comes from the exact byte counts.
void ProgrammingPage::setProgress(qint64 done, qint64 maximum)
{
    d->m_progressDone = done;
    d->m_progressMax = maximum;
    d->m_progressText = Private::ProgressText::Percent;
    d->m_progressPending = true;
    if (!d->m_progressTimer->isActive())
        refreshProgress();
}

// Shows the latest figures now, unless that was done less than
// kProgressRefreshMs ago; then the timer shows them when the time is up.
void ProgrammingPage::refreshProgress()
{
    if (!d->m_progressPending)
        return;
    d->m_progressPending = false;
    d->m_progressTimer->start(kProgressRefreshMs);
    ProgressBytes::show(ui->progressBar, d->m_progressDone, d->m_progressMax);
    showProgressText();
}

void ProgrammingPage::flushProgress()
{
    d->m_progressTimer->stop();
    refreshProgress();
    d->m_progressTimer->stop();
}

void ProgrammingPage::showProgressText()
{
    switch (d->m_progressText) {
    case Private::ProgressText::Default: return;
    case Private::ProgressText::Zero: ui->progressBar->setFormat(tr("Progress: %1%").arg(0)); return;
    case Private::ProgressText::Percent:
        ui->progressBar->setFormat(
            tr("Progress: %1%").arg(ChunkTransfer::percentText(d->m_progressDone, d->m_progressMax)));
        return;
    }
}
