#pragma once

#include "firmwarepackage.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QString>

class QTimer;

// One programming run on one card: version request (type "Firmware", whose
// answer tells the transfer the card takes), command 256 with the chosen type
// and the image size (32 bits), then the image in stop-and-wait chunks of at
// most 1024 bytes (command 257), each after the card acknowledged the one
// before; the card then installs the image and reports 258 (installing) and
// 259 (finished). Cards since firmware 1.2.3 take the sequenced transfer:
// every chunk starts with a sequence byte that wraps from 255 to 0, and a
// chunk left unanswered is sent again byte for byte, at most three times.
// Older cards take the plain transfer: image bytes only, and no resends. The
// run also serves a plain version read (the batch worker's version task).
//
// It knows no link and no widget: it asks for each command by sendCmd() and
// is told of the replies by handleReply() and of a lost link by linkLost().
// The programming page, the batch worker and (through the worker) the
// command-line tool all drive this one run; they differ only in the Policy
// they give it, and each decides itself how to tell the outcome.
//
// Every wait for the card is bounded: the version and start replies and every
// chunk by the chunk time-out, the installation from the last chunk to 259 by
// the installation time-out. A 258 or 259 before the card accepted the start
// cannot be about this run and is ignored; a 259 while chunks still go out
// fails it ("chunk refused"): a card that reports the end before it has every
// byte cannot have installed it.
class ProgrammingRun : public QObject {
    Q_OBJECT

public:
    // Why a run failed, one fixed list for every caller.
    enum Failure {
        NoFailure = 0,
        ConnectFailed, // the caller's own connect (the batch worker's)
        StartRefused,
        ChunkRefused, // a chunk refused, or the end reported before every byte was sent
        ChunkTimeout, // a chunk left unanswered, after its resends
        ConnectionLost, // the card closed the link, or a write to it failed
        InstallationTimeout,
        ImageUnreadable, // cannot be opened, is too large, or ends before its size
        NoReply, // the version or start request left unanswered
    };

    enum class State {
        Idle,
        AwaitingVersion, // command 1 sent
        AwaitingStart, // command 256 sent
        Transferring, // chunks going out
        AwaitingInstallation, // every byte sent; the card installs
        Installing, // the card reported 258; its 259 is awaited
    };

    static constexpr int kChunkSize = 1024;
    static constexpr int kMaxResends = 3;
    static constexpr qint64 kMaxImageSize = 0xFFFFFFFFLL;
    // The wait for each reply before the installation: the page's, the
    // batch worker's.
    static constexpr int kPageChunkTimeoutMs = 10000;
    static constexpr int kBatchChunkTimeoutMs = 5000;
    // Installing an image takes seconds to a minute; a card that stays
    // connected but never reports the end must not keep the tool waiting
    // for good, nor must a slow one be called failed after a good write.
    static constexpr int kInstallTimeoutMs = 300000;

    // Where the programming page and the batch worker differ.
    struct Policy {
        int chunkTimeoutMs;
        int installTimeoutMs;
        // The page opens the chosen file for each run (a firmware package is
        // unwrapped into the temporary image, which goes when the run lets go
        // of it); the worker keeps the batch's image open from card to card.
        bool imagePerRun;
        // Where a per-run image unwraps a firmware package to.
        QString temporaryImage;

        static Policy page()
        {
            return { kPageChunkTimeoutMs, kInstallTimeoutMs, true, FirmwarePackage::temporaryImagePath() };
        }
        static Policy batch() { return { kBatchChunkTimeoutMs, kInstallTimeoutMs, false, QString() }; }
    };

    explicit ProgrammingRun(const Policy& policy, QObject* parent = nullptr);
    ~ProgrammingRun() override;

    // Taken by the next wait.
    void setChunkTimeout(int ms) { m_policy.chunkTimeoutMs = ms; }
    void setInstallTimeout(int ms) { m_policy.installTimeoutMs = ms; }
    void setTemporaryImage(const QString& path) { m_policy.temporaryImage = path; }

    // Programs `image` with programming type `type`; a run still under way is
    // dropped first, without a word.
    void start(const QString& image, quint8 type);
    // Asks for the version of component `type`; finished() tells the outcome
    // and version() the answer.
    void readVersion(quint8 type);
    // Every reply routed to programming; true when it was this run's.
    bool handleReply(int cmd, const quint8* data, int size);
    // The link went, or a write to it failed.
    void linkLost();
    // Ends the run without a word and forgets its outcome; lets go of a
    // per-run image.
    void abort();
    // Lets go of the image kept open from run to run.
    void closeImage();

    State state() const { return m_state; }
    qint64 sentBytes() const { return m_sentBytes; }
    qint64 totalBytes() const { return m_totalBytes; }
    // Chunks sent again after a time-out, in this run.
    int resends() const { return m_resends; }
    // The version word of the last version reply ("v2.4.1"), or the whole
    // reply when no word begins with v.
    QString version() const { return m_version; }

    // "connect failed", "start refused", ..., "no reply"; the fixed English
    // list of the batch report, its JSON and the command-line tool. Empty for
    // NoFailure and any other value.
    static QString failureText(int failure);
    // The programming page's box text for a failure, translated in its
    // context ("Start programming failed!", "Programming failed!",
    // "Programming timeout!", "Open programming file failed!"); empty where
    // it has none.
    static QString failureMessage(int failure);
    // `done` of `maximum` as a percentage in fixed notation with two
    // decimals ("37.50"); 100.00 when there is nothing to do.
    static QString percentText(qint64 done, qint64 maximum);
    // A duration as minutes and seconds, hours when it takes them: "0:42",
    // "4:31", "1:02:03".
    static QString elapsedText(qint64 ms);

signals:
    void sendCmd(int cmd, const QByteArray& data);
    // The card accepted command 256.
    void transferStarted(qint64 bytesTotal);
    // A chunk left; `bytesSent` counts image bytes.
    void chunkSent(qint64 bytesSent);
    // The card acknowledged a chunk; every byte sent so far is acknowledged.
    void chunkAcknowledged(qint64 bytesSent);
    // Every byte of the image is acknowledged: the card installs it.
    void installationAwaited();
    // The card reported 258 (said once per run).
    void installing();
    // The run is over: NoFailure for a success.
    void finished(int failure);

private:
    void onTimeout();
    void arm(int ms);
    bool openImage();
    void sendStart();
    void sendNextChunk();
    void finish(int failure);
    void releaseImage();

    Policy m_policy;
    QFile m_file;
    // The last chunk read, sequence byte included: sent again as it is, and
    // filled again in place for the next one.
    QByteArray m_chunk;
    QTimer* m_timer;
    QElapsedTimer m_clock;
    // When the current wait ends, on m_clock; -1 when nothing is awaited. The
    // timer is not restarted per chunk: when it fires early it waits again
    // for what is left.
    qint64 m_deadline = -1;
    qint64 m_sentBytes = 0;
    qint64 m_totalBytes = 0;
    State m_state = State::Idle;
    QString m_image;
    QString m_version;
    quint64 m_generation = 0;
    int m_resends = 0;
    int m_retries = 0; // of the outstanding chunk
    quint8 m_type = 0;
    quint8 m_sequence = 0;
    bool m_oldProtocol = false;
    bool m_versionOnly = false;
    bool m_acknowledgedAll = false;
};
