#pragma once

#include <QByteArray>
#include <QWidget>
#include <memory>

struct UI_ProgrammingPage;

// The page on which the technician works on the firmware of the connected
// card: reads the version of one program component, programs a component
// from an image file (plain or firmware package) and backs one up into a
// file. It talks to the card only through sendCmd and the replies the link
// routes to handleRespond (codes 1, 256 to 259, 336 to 338).
//
// The run itself (ProgrammingRun) and the backup (BackupRun) are the core's;
// the page starts them, shows their progress and tells their outcome in its
// boxes. The run's 258 makes the page idle with "Installing program...", while
// the run still awaits the card's 259 for the installation time-out.
//
// From "Programming" until the run has ended, installation included, nothing
// that would disturb it can be pressed: Programming, Choose, Read, Backup, the
// type box and Batch Programming are disabled, and busyChanged() tells the
// main window to disable its Connect/Disconnect. While the card installs the
// time it has taken stands beside the status. Under the path field the chosen
// file is named whole (the middle of a long path elided, the full path as
// tooltip) with its size.
class ProgrammingPage : public QWidget {
    Q_OBJECT

public:
    // The progress bar shows the figures of every chunk, but repaints at most
    // this often: at a thousand chunks a second the painting would cost more
    // than the transfer.
    static constexpr int kProgressRefreshMs = 50;

    explicit ProgrammingPage(QWidget* parent = nullptr);
    ~ProgrammingPage() override;

    // Offers the fourth programming type, "root", once the console page has
    // been unlocked.
    void addRootProgType();

    // The wait for each reply of a run or backup piece, and for the end of
    // an installation (ProgrammingRun's page policy unless set).
    void setTimeouts(int chunkMs, int installMs);
    // Where a firmware package is unwrapped for a run (by default the
    // temporary image beside the tool).
    void setTemporaryImage(const QString& path);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);
    // The link was lost or could not send.
    void handleError();

signals:
    void sendCmd(int cmd, QByteArray data);
    // A programming run began (true) or ended (false).
    void busyChanged(bool busy);

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void chooseProgrammingFile();
    void programmingSlot();
    void readVersionSlot();
    void backupSlot();
    void progTypeChanged(int index);
    void openBatchDialog();

private:
    struct Private;

    bool currentProgType(quint8* type);
    bool acceptsDamagedPackage(const QString& path);
    void runFinished(int failure);
    void backupAnnounced(qint64 total);
    void backupFinished(int result);
    void resetProgramming();
    void setRunning(bool running);
    void showElapsed();
    void showFileInfo();
    void setStatus(const char* text);
    void setProgress(qint64 done, qint64 maximum);
    void refreshProgress();
    void flushProgress();
    void showProgressText();

    std::shared_ptr<UI_ProgrammingPage> ui;
    std::unique_ptr<Private> d;
};
