#pragma once

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

struct pcap;
struct pcap_pkthdr;

// The capture side of the link-layer service: opens the chosen adapter with
// the packet-capture library, keeps only frames of the card protocol's
// EtherType and hands each one, as a copy, to whoever listens to dataRecv
// (a queued call into the GUI thread). Frames are sent on the same handle.
//
// The mutex guards the handle and the adapter the thread is told to open:
// a send never uses a handle that is being closed, and a stop asked for
// while the device is still being opened ends the thread before it captures.
class CommLinkThread : public QThread {
    Q_OBJECT

public:
    // `openWaitMs`: how long startCapture waits for the device to open.
    explicit CommLinkThread(int openWaitMs);
    ~CommLinkThread() override;

    // Stores the adapter and starts the thread if it is not running, then
    // waits (a bounded time) until the device is open or the opening failed,
    // so that a frame sent right after this call goes out.
    void startCapture(const QString& interfaceName, const QString& hardwareAddress);
    // Ends the capture: breaks the capture loop, or makes a thread that is
    // still opening its device end before it captures, and waits until the
    // thread has finished.
    void stopCapture();
    // Sends one frame if a capture handle is open; false when there is none
    // or the library refused the frame.
    bool sendPacket(const uchar* data, int size);
    bool isCapturing() const;
    // Why the last capture ended by itself; empty while it runs or opens.
    QString failure() const;

signals:
    void dataRecv(const QByteArray& frame);
    void captureFailed(const QString& interfaceName, const QString& reason);

protected:
    void run() override;

private:
    static void onPacket(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes);
    void fail(pcap* handle, const QString& interfaceName, const QString& reason);

    enum class Phase { Idle, Opening, Open, Ended };

    mutable QMutex m_mutex;
    QWaitCondition m_phaseChanged;
    pcap* m_handle = nullptr;
    QString m_interfaceName;
    QString m_hardwareAddress;
    QString m_failure;
    const int m_openWaitMs;
    bool m_stopRequested = false;
    Phase m_phase = Phase::Idle;
};
