#pragma once

#include <QMutex>
#include <QObject>
#include <QString>
#include <memory>

// One worker of the batch: it carries out one task at a time, on one card,
// over a command link of its own. A task connects to the card, reads the
// version of a component (mode 0) or programs the card with the batch's image
// (mode 1), disconnects and reports the outcome by finished().
//
// Despite its name it is a plain QObject: the batch dialog moves each worker
// to a QThread of its own, so that several cards are worked on at once. Its
// link (which opens no box: a worker thread never may) and its timer are
// created in that thread on first use and deleted with the worker, which the
// dialog lets happen in that thread when it finishes; its ProgrammingRun, a
// child, moves to that thread with it.
//
// The dialog hands a task over from the GUI thread through the setters and
// then emits taskStart(index); it reads the getters after finished(). Those
// parameters are guarded by a mutex that is held only to copy them, never
// while the worker talks to a card (the connect alone may block it for a
// second).
//
// A task is the programming page's run (ProgrammingRun) with the batch
// policy: a 5000 ms chunk time-out, and the batch's image kept open from card
// to card; a version task is the run's version read. A lost link ends the
// task at once. Each task ends with status 2 ("Succeeded") or 3 ("Failed"),
// and a failed one with its reason (ProgrammingRun::Failure).
class BatchProgrammingThread : public QObject {
    Q_OBJECT

public:
    enum Mode { ReadVersion = 0, Program = 1 };
    enum Status { NotStart = 0, InProgress = 1, Succeeded = 2, Failed = 3 };
    explicit BatchProgrammingThread(QObject* parent = nullptr);
    ~BatchProgrammingThread() override;

    // Called by the dialog from the GUI thread, for an idle worker, before it
    // emits taskStart(index).
    void setDevice(const QString& ip, int index);
    void setMode(int mode);
    void setProgType(int type);
    // The batch's image. A new name closes the image kept open for the last
    // batch; the same name keeps it open (it is read again from offset 0 for
    // each card). An empty name only closes it.
    void setProgrammingFile(const QString& path);
    // The longest wait from the last chunk to the card's 259, in ms; 0 (the
    // default) is ProgrammingRun::kInstallTimeoutMs.
    void setInstallTimeout(int ms);
    // The longest wait for each reply before the installation (version,
    // start, chunk), in ms; 0 (the default) is the batch policy's.
    void setReplyTimeout(int ms);

    // Of the last task, read after finished(): its status, why it failed
    // (a ProgrammingRun::Failure, NoFailure when it succeeded), the version
    // the card answered, the system's reason when it could not connect, the
    // image bytes sent and the chunks sent again after a time-out.
    struct Report {
        int status = NotStart;
        int reason = 0;
        QString version;
        QString connectError;
        qint64 bytesSent = 0;
        int resends = 0;
    };
    Report report() const;
    QString deviceIp() const;
    int mode() const;
    int status() const { return report().status; }
    QString version() const { return report().version; }

signals:
    void programmingStarted(qint64 bytesTotal);
    void programmingUpdated(qint64 bytesWritten);
    // Every byte of the image is acknowledged: the card installs it, which
    // may take minutes, until it reports 259.
    void installationStarted();
    void finished();

public slots:
    // Starts the task handed over with setDevice() when `index` is its
    // index; any other start (another worker's index, a start while a task
    // runs, a stale index of an earlier task) is ignored.
    void onTaskStart(int index);
    void onTaskStop();

private slots:
    void onNetworkDevConnected();
    void onNetworkDevConnectError(QString error);
    void onNetworkProgramResponse(int cmd, const quint8* data, int size);
    void onLinkLost();

private:
    struct Private;

    void startTask();
    void finishTask(int status, int reason);

    mutable QMutex m_mutex;
    std::unique_ptr<Private> d;
};
