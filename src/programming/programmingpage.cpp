#include "programmingpage.h"

#include "backuprun.h"
#include "batchprogrammingdialog.h"
#include "firmwarepackage.h"
#include "link/commandcodes.h"
#include "platform/apppaths.h"
#include "platform/filechoice.h"
#include "programmingrun.h"
#include "progressbytes.h"
#include "prompts/dialogprompt.h"
#include "prompts/messagebox.h"
#include "ui_programmingpage.h"
#include "versiontext.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

struct ProgrammingPage::Private {
    ProgrammingRun m_run { ProgrammingRun::Policy::page() };
    BackupRun m_backup { ProgrammingRun::kPageChunkTimeoutMs };
    QTimer m_progressTimer;
    // While the card installs: since when, and the tick that shows it.
    QElapsedTimer m_installing;
    QTimer m_elapsedTimer;
    bool m_progressPending = false;
    std::unique_ptr<BatchProgrammingDialog> m_batchDialog { new BatchProgrammingDialog() };
    // A run is under way, from "Programming" to its end or the card's 258.
    bool m_busy = false;
    // Counts runs, so that a box can tell whether a new run began while it
    // was open.
    quint64 m_runs = 0;
    bool m_retranslating = false;
    const char* m_status = nullptr;
    qint64 m_progressDone = 0;
    qint64 m_progressMax = 0;
    // What the progress text shows: Qt's own until the first run, then
    // "Progress: 0%" while a run waits for the card, then the percentage.
    enum class ProgressText { Default, Zero, Percent } m_progressText = ProgressText::Default;
};

ProgrammingPage::ProgrammingPage(QWidget* parent)
    : QWidget(parent)
    , ui(std::make_shared<UI_ProgrammingPage>())
    , d(std::make_unique<Private>())
{
    ui->setupUi(this);

    d->m_progressTimer.setSingleShot(true);
    connect(&d->m_progressTimer, &QTimer::timeout, this, &ProgrammingPage::refreshProgress);
    d->m_elapsedTimer.setInterval(1000);
    connect(&d->m_elapsedTimer, &QTimer::timeout, this, &ProgrammingPage::showElapsed);

    ProgrammingRun* run = &d->m_run;
    connect(run, &ProgrammingRun::sendCmd, this, &ProgrammingPage::sendCmd);
    connect(run, &ProgrammingRun::transferStarted, this, [this](qint64 total) {
        setProgress(0, total);
        setStatus(QT_TR_NOOP("Programming..."));
    });
    connect(run, &ProgrammingRun::chunkSent, this, [this](qint64 sent) {
        setProgress(sent, d->m_run.totalBytes());
        if (sent >= d->m_run.totalBytes())
            flushProgress();
    });
    connect(run, &ProgrammingRun::installing, this, [this] {
        resetProgramming();
        setStatus(QT_TR_NOOP("Installing program..."));
        d->m_installing.start();
        d->m_elapsedTimer.start();
        showElapsed();
    });
    connect(run, &ProgrammingRun::finished, this, &ProgrammingPage::runFinished);

    BackupRun* backup = &d->m_backup;
    connect(backup, &BackupRun::sendCmd, this, &ProgrammingPage::sendCmd);
    connect(backup, &BackupRun::preparing, this, [this] {
        if (!d->m_busy)
            setStatus(QT_TR_NOOP("Backuping program..."));
    });
    connect(backup, &BackupRun::sizeAnnounced, this, &ProgrammingPage::backupAnnounced);
    connect(backup, &BackupRun::pieceReceived, this, &ProgrammingPage::setProgress);
    connect(backup, &BackupRun::finished, this, &ProgrammingPage::backupFinished);

    connect(ui->btnChoose, &QPushButton::clicked, this, &ProgrammingPage::chooseProgrammingFile);
    connect(ui->btnProgramming, &QPushButton::clicked, this, &ProgrammingPage::programmingSlot);
    connect(ui->btnRead, &QPushButton::clicked, this, &ProgrammingPage::readVersionSlot);
    connect(ui->btnBackup, &QPushButton::clicked, this, &ProgrammingPage::backupSlot);
    connect(ui->btnBatchProgramming, &QPushButton::clicked, this, &ProgrammingPage::openBatchDialog);
    connect(ui->comboBoxProgType, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &ProgrammingPage::progTypeChanged);
    connect(ui->leFile, &QLineEdit::textChanged, this, &ProgrammingPage::showFileInfo);
    ui->labelFileInfo->installEventFilter(this);
}

// The temporary image and an unfinished backup go with the run and backup.
ProgrammingPage::~ProgrammingPage() = default;

void ProgrammingPage::setTimeouts(int chunkMs, int installMs)
{
    d->m_run.setChunkTimeout(chunkMs);
    d->m_run.setInstallTimeout(installMs);
    d->m_backup.setTimeout(chunkMs);
}

void ProgrammingPage::setTemporaryImage(const QString& path)
{
    d->m_run.setTemporaryImage(path);
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
        showFileInfo();
        d->m_retranslating = false;
    }
    QWidget::changeEvent(event);
}

bool ProgrammingPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui->labelFileInfo && event->type() == QEvent::Resize)
        showFileInfo();
    return QWidget::eventFilter(watched, event);
}

// The path elided in its middle, so that the file's name stays whole, and the
// size; the tooltip holds the whole path.
void ProgrammingPage::showFileInfo()
{
    const QString path = ui->leFile->text();
    QLabel* label = ui->labelFileInfo;
    label->setToolTip(path);
    if (path.isEmpty()) {
        label->clear();
        return;
    }
    const QFileInfo file(path);
    const QLocale locale;
    QString size;
    if (!file.isFile())
        size = tr("(no such file)");
    else if (file.size() < 1024)
        size = tr("(%1 bytes)").arg(locale.toString(file.size()));
    else
        size = tr("(%1, %2 bytes)").arg(locale.formattedDataSize(file.size()), locale.toString(file.size()));
    // The folder gives way first; the name only when it alone is too long.
    const QFontMetrics metrics = label->fontMetrics();
    const int room = label->contentsRect().width() - metrics.horizontalAdvance(QLatin1Char(' ') + size);
    const QString whole = QDir::toNativeSeparators(path);
    const QString name = QDir::toNativeSeparators(file.fileName());
    const QString folder = whole.left(whole.size() - name.size());
    const int folderRoom = room - metrics.horizontalAdvance(name);
    const QString shown = folderRoom > metrics.horizontalAdvance(QStringLiteral("\u2026"))
        ? metrics.elidedText(folder, Qt::ElideMiddle, folderRoom) + name
        : metrics.elidedText(whole, Qt::ElideMiddle, qMax(0, room));
    label->setText(shown + QLatin1Char(' ') + size);
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
    const QString directory = current.isEmpty() ? AppPaths::applicationDirectory() : current;
    const QString chosen = DialogPrompt::openFileName(
        this, tr("Choose programming file"), directory, tr("Binary Files(*.bin);;*"), DialogPrompt::kImage);
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
    d->m_backup.start(type);
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
    // A run ends every backup, one merely announced included.
    resetProgramming();
    d->m_progressPending = false;
    d->m_progressTimer.stop();
    ui->progressBar->setValue(0);
    d->m_progressText = Private::ProgressText::Zero;
    showProgressText();
    // The size shown is the one about to be sent.
    showFileInfo();
    // Before the start: a failed first send ends the run at once.
    setRunning(true);
    d->m_busy = true;
    ++d->m_runs;
    d->m_run.start(ui->leFile->text(), type);
}

void ProgrammingPage::setRunning(bool running)
{
    // A backup cannot share the card with a run; nor can a version read, a
    // new file or type, another run, or the batch dialog.
    for (QWidget* control : { static_cast<QWidget*>(ui->btnProgramming), static_cast<QWidget*>(ui->btnChoose),
             static_cast<QWidget*>(ui->btnRead), static_cast<QWidget*>(ui->btnBackup),
             static_cast<QWidget*>(ui->comboBoxProgType), static_cast<QWidget*>(ui->btnBatchProgramming) })
        control->setEnabled(!running);
    // The path stays readable and selectable: it names what is being sent.
    ui->leFile->setReadOnly(running);
    if (!running) {
        d->m_elapsedTimer.stop();
        d->m_installing.invalidate();
        ui->labelElapsed->clear();
    }
    emit busyChanged(running);
}

void ProgrammingPage::showElapsed()
{
    if (d->m_installing.isValid())
        ui->labelElapsed->setText(ProgrammingRun::elapsedText(d->m_installing.elapsed()));
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
    if (d->m_run.handleReply(cmd, data, size) || d->m_backup.handleReply(cmd, data, size))
        return;
    // A version reply that is no run's (a "Read", during a run too) is only
    // shown.
    if (cmd == CommandCode::ReadVersion)
        ui->labelVersion->setText(QString::fromUtf8(VersionText::text(data, size)));
}

void ProgrammingPage::runFinished(int failure)
{
    setRunning(false);
    // Once 258 came the page is idle, but the run is not over until 259.
    const bool busy = d->m_busy;
    const QString text = ProgrammingRun::failureMessage(failure);
    switch (failure) {
    case ProgrammingRun::NoFailure:
        // The run is over: a later loss of the link is no failure of it.
        if (busy)
            resetProgramming();
        setStatus(nullptr);
        MessageBox::information(this, tr("Information"), tr("Programming finish!"));
        return;
    case ProgrammingRun::ConnectionLost:
        if (busy)
            resetProgramming();
        setStatus(nullptr);
        MessageBox::information(this, tr("Information"), text);
        return;
    case ProgrammingRun::ChunkTimeout:
    case ProgrammingRun::NoReply:
    case ProgrammingRun::InstallationTimeout: {
        // The status stays until the box closes; a backup started after 258
        // keeps its own.
        if (!busy && !d->m_backup.isAwaitingSize() && !d->m_backup.isReceiving())
            setStatus(nullptr);
        const quint64 run = d->m_runs;
        MessageBox::warning(this, tr("Warning"), text);
        if (busy && run == d->m_runs)
            resetProgramming();
        return;
    }
    default:
        resetProgramming();
        MessageBox::warning(this, tr("Warning"), text);
        return;
    }
}

void ProgrammingPage::backupAnnounced(qint64 total)
{
    const QString name = DialogPrompt::saveFileName(this, tr("Backup program"), AppPaths::applicationDirectory(),
        tr("Binary File(*.bin)"), DialogPrompt::kBackup,
        FileChoice::backupName(DialogPrompt::cardAddress(this), d->m_backup.type()));
    if (name.isEmpty()) {
        setStatus(nullptr);
        return;
    }
    setProgress(0, total);
    d->m_backup.receiveInto(name);
    if (d->m_backup.isReceiving())
        setStatus(QT_TR_NOOP("Receiving backup file..."));
}

void ProgrammingPage::backupFinished(int result)
{
    const QString text = BackupRun::resultMessage(result);
    switch (result) {
    case BackupRun::Finished:
        flushProgress();
        resetProgramming();
        MessageBox::information(this, tr("Information"), text, DialogPrompt::savedTo(d->m_backup.fileName()));
        return;
    case BackupRun::StartFailed:
    case BackupRun::CannotOpen:
        setStatus(nullptr);
        MessageBox::warning(this, tr("Warning"), text);
        return;
    case BackupRun::LinkLost:
        // What came so far is dropped without a word; the chosen file stays
        // as it was.
        setStatus(nullptr);
        return;
    default:
        resetProgramming();
        MessageBox::warning(this, tr("Warning"), text);
        return;
    }
}

void ProgrammingPage::handleError()
{
    d->m_backup.linkLost();
    d->m_run.linkLost();
}

// Ends what the page shows of a run or backup; a run past the card's 258
// goes on awaiting its 259.
void ProgrammingPage::resetProgramming()
{
    // Where a run or backup stopped stays visible.
    flushProgress();
    d->m_backup.cancel();
    setStatus(nullptr);
    d->m_busy = false;
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
    if (!d->m_progressTimer.isActive())
        refreshProgress();
}

// Shows the latest figures now, unless that was done less than
// kProgressRefreshMs ago; then the timer shows them when the time is up.
void ProgrammingPage::refreshProgress()
{
    if (!d->m_progressPending)
        return;
    d->m_progressPending = false;
    d->m_progressTimer.start(kProgressRefreshMs);
    ProgressBytes::show(ui->progressBar, d->m_progressDone, d->m_progressMax);
    showProgressText();
}

void ProgrammingPage::flushProgress()
{
    d->m_progressTimer.stop();
    refreshProgress();
    d->m_progressTimer.stop();
}

void ProgrammingPage::showProgressText()
{
    switch (d->m_progressText) {
    case Private::ProgressText::Default: return;
    case Private::ProgressText::Zero: ui->progressBar->setFormat(tr("Progress: %1%").arg(0)); return;
    case Private::ProgressText::Percent:
        ui->progressBar->setFormat(
            tr("Progress: %1%").arg(ProgrammingRun::percentText(d->m_progressDone, d->m_progressMax)));
        return;
    }
}
