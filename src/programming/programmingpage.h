#pragma once

#include "chunktransfer.h"

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
// A programming run: version request (type "Firmware", which tells the
// transfer the card takes), command 256 with the selected type and the image
// size, then stop-and-wait chunks of command 257; the card reports 258 while
// it installs and 259 when it is done. Every wait for the card before the
// last chunk is bounded by the chunk time-out, the installation by
// kInstallTimeoutMs; a link lost before 259 ends the run as failed.
class ProgrammingPage : public QWidget {
    Q_OBJECT

public:
    static constexpr int kChunkTimeoutMs = 10000;
    static constexpr int kInstallTimeoutMs = ChunkTransfer::kInstallTimeoutMs;
    // The progress bar shows the figures of every chunk, but repaints at most
    // this often: at a thousand chunks a second the painting would cost more
    // than the transfer.
    static constexpr int kProgressRefreshMs = 50;

    explicit ProgrammingPage(QWidget* parent = nullptr);
    ~ProgrammingPage() override;

    // Offers the fourth programming type, "root", once the console page has
    // been unlocked.
    void addRootProgType();

    // Tests wait for shorter time-outs than a technician does; 0 restores
    // the real one.
    static void setChunkTimeoutForTests(int ms);
    static void setInstallTimeoutForTests(int ms);

public slots:
    void handleRespond(int cmd, const quint8* data, int size);
    // The link was lost or could not send.
    void handleError();

signals:
    void sendCmd(int cmd, QByteArray data);

protected:
    void changeEvent(QEvent* event) override;

private slots:
    void chooseProgrammingFile();
    void programmingSlot();
    void readVersionSlot();
    void backupSlot();
    void progTypeChanged(int index);
    void programmingTimeout();
    void installationTimeout();
    void openBatchDialog();

private:
    struct Private;

    bool currentProgType(quint8* type);
    bool acceptsDamagedPackage(const QString& path);
    void handleVersionReply(const quint8* data, int size);
    void startProgramming();
    void handleStartReply(const quint8* data, int size);
    void sendNextChunk();
    void handleChunkReply(const quint8* data, int size);
    void handleBackupStart(const quint8* data, int size);
    void handleBackupData(const quint8* data, int size);
    void failRun(const char* text);
    void expectFinish();
    void endInstallation();
    void resetProgramming();
    void timeOutRun();
    void setStatus(const char* text);
    void setProgress(qint64 done, qint64 maximum);
    void refreshProgress();
    void flushProgress();
    void showProgressText();

    std::shared_ptr<UI_ProgrammingPage> ui;
    std::unique_ptr<Private> d;
};
