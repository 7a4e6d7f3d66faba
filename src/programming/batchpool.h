#pragma once

#include "firmwarepackage.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class BatchProgrammingThread;
class QTemporaryDir;
class QThread;

// The pool of workers that carries out a batch: one BatchProgrammingThread
// per processor thread (or as many as asked for), each in a QThread of its
// own. A batch is a device list worked through in order: each device goes to
// the first idle worker, every further one to the first worker that becomes
// free, until the list is done. Devices appended while a batch runs join it.
//
// A programming batch sends its own copy of the image (the payload when the
// chosen file is a firmware package), made by prepareImage() and removed when
// the batch ends, so that nothing done to the chosen file reaches a card
// halfway through the batch.
//
// Two rules, both off unless asked for, may end a batch before its list: the
// canary hands out the first device alone and the rest only once it has
// succeeded; the failure limit hands out no further device once that many
// tasks have failed. Tasks already under way finish either way; the devices
// never handed out are the batch's notStarted(), and halt() says why.
//
// The pool lives in the GUI (or main) thread; the workers' signals reach it
// queued, and it reports with the worker's position in workers().
class BatchPool : public QObject {
    Q_OBJECT

public:
    struct Rules {
        // The first device alone, the rest only if it succeeded.
        bool canary = false;
        // No further device once this many tasks have failed; 0: no limit.
        int maxFailures = 0;
    };
    // Why a batch handed out no further device.
    enum class Halt { None, CanaryFailed, FailureLimit };
    // "canary failed", "failure limit reached": the fixed English of the
    // command-line tool's JSON and the CSV export; empty for None.
    static QString haltText(Halt halt);

    // `size` workers; 0 takes defaultSize().
    explicit BatchPool(int size = 0, QObject* parent = nullptr);
    ~BatchPool() override;

    // The number of processor threads the platform reports, at least 1.
    static int defaultSize();

    const QVector<BatchProgrammingThread*>& workers() const { return m_workers; }
    const QVector<QThread*>& threads() const { return m_threads; }

    // Makes the batch's copy of `path`; false when it cannot be made, or
    // when `path` is a firmware package that fails its check (see
    // imageCheck()) and `sendUnchanged` is false. With `sendUnchanged` such a
    // file is copied as it is.
    bool prepareImage(const QString& path, bool sendUnchanged = false);
    // The check the file given to the last prepareImage() failed.
    FirmwarePackage::Check imageCheck() const { return m_imageCheck; }
    // The copy a programming batch sends; empty when none is prepared.
    QString imagePath() const { return m_image; }
    // The SHA-256 (hex) of the copy last prepared; it outlives the copy.
    QByteArray imageSha256() const { return m_imageSha256; }
    // The longest installation wait each worker allows (0: the worker's own).
    void setInstallTimeout(int ms);
    // The longest wait for each reply before the installation (0: the
    // worker's own).
    void setReplyTimeout(int ms);

    // Starts a batch over `devices` in mode 0 (version) or 1 (program, with
    // the prepared image) under `rules`. Does nothing and returns false while
    // one runs.
    bool start(const QStringList& devices, int mode, int type, const Rules& rules);
    bool start(const QStringList& devices, int mode, int type);
    // A device added to the running batch, at the end of its queue.
    void appendDevice(const QString& address);
    bool isRunning() const { return m_running; }
    const QStringList& devices() const { return m_devices; }
    int mode() const { return m_mode; }
    int type() const { return m_type; }
    // Of the running or last batch: why it stopped handing out devices, and
    // how many it never started (known once it has finished).
    Halt halt() const { return m_halt; }
    int notStarted() const { return m_devices.size() - m_nextIndex; }

signals:
    // devices() holds the batch's list.
    void batchStarted();
    // `index` is the device's position in devices().
    void taskStarted(int worker, int index);
    // The worker's getters hold the outcome.
    void taskFinished(int worker, int index);
    void programmingStarted(int worker, qint64 bytesTotal);
    void programmingUpdated(int worker, qint64 bytesWritten);
    void installationStarted(int worker);
    void batchFinished();
    // Connected to every worker's onTaskStart.
    void taskStart(int index);

private:
    void onWorkerFinished();
    void handOutToIdleWorkers();
    int handOutLimit() const;
    void endWhenDone();
    int senderWorker() const;

    QVector<QThread*> m_threads;
    QVector<BatchProgrammingThread*> m_workers;
    // Handed a task whose finished() has not been handled yet.
    QVector<bool> m_busy;
    QVector<int> m_taskIndex;
    QStringList m_devices;
    int m_nextIndex = 0;
    int m_mode = 0;
    int m_type = 0;
    int m_failures = 0;
    Rules m_rules;
    Halt m_halt = Halt::None;
    bool m_canaryPassed = false;
    bool m_running = false;
    std::unique_ptr<QTemporaryDir> m_imageDir;
    QString m_image;
    QByteArray m_imageSha256;
    FirmwarePackage::Check m_imageCheck = FirmwarePackage::Check::Passed;
};
