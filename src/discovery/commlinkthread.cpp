#include "commlinkthread.h"

#include "cardframe.h"
#include "platform/capturedevice.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMutexLocker>

#include <pcap/pcap.h>

namespace {

// In immediate mode the kernel's capture ring has one fixed slot per frame,
// sized by the snapshot length: with 65536 bytes a 2 MB ring holds some 30
// frames, and the replies of a few hundred cards arriving together would
// overflow it. A card frame is at most 2048 bytes, so a slot of 3072 (one
// page of ring per frame) loses nothing, and 8 MB hold 2048 of them.
constexpr int kSnapshotLength = 3072;
constexpr int kCaptureBufferBytes = 8 * 1024 * 1024;
constexpr int kReadTimeoutMs = 1000;
// Only the EtherType matters to the filter; the netmask is never used by it.
constexpr bpf_u_int32 kFilterNetmask = 0xFFFFFF;

} // namespace

CommLinkThread::CommLinkThread(int openWaitMs)
    : m_openWaitMs(openWaitMs)
{
    setObjectName(QStringLiteral("capture"));
}

CommLinkThread::~CommLinkThread()
{
    stopCapture();
}

void CommLinkThread::startCapture(const QString& interfaceName, const QString& hardwareAddress)
{
    QMutexLocker lock(&m_mutex);
    m_interfaceName = interfaceName;
    m_hardwareAddress = hardwareAddress;
    if (isRunning())
        return;
    m_stopRequested = false;
    m_failure.clear();
    m_phase = Phase::Opening;
    start();
    const QDeadlineTimer deadline(m_openWaitMs);
    while (m_phase == Phase::Opening && !deadline.hasExpired())
        m_phaseChanged.wait(&m_mutex, deadline);
}

void CommLinkThread::stopCapture()
{
    {
        QMutexLocker lock(&m_mutex);
        m_stopRequested = true;
        if (m_handle)
            pcap_breakloop(m_handle);
    }
    wait();
}

bool CommLinkThread::sendPacket(const uchar* data, int size)
{
    QMutexLocker lock(&m_mutex);
    if (!m_handle)
        return false;
    return pcap_sendpacket(m_handle, data, size) == 0;
}

bool CommLinkThread::isCapturing() const
{
    QMutexLocker lock(&m_mutex);
    return m_handle != nullptr;
}

QString CommLinkThread::failure() const
{
    QMutexLocker lock(&m_mutex);
    return m_failure;
}

void CommLinkThread::onPacket(unsigned char* user, const pcap_pkthdr* header, const unsigned char* bytes)
{
    // The library's buffer is only valid during this call: the frame travels
    // on as a copy.
    auto* self = reinterpret_cast<CommLinkThread*>(user);
    emit self->dataRecv(QByteArray(reinterpret_cast<const char*>(bytes), int(header->caplen)));
}

void CommLinkThread::fail(pcap* handle, const QString& interfaceName, const QString& reason)
{
    if (handle)
        pcap_close(handle);
    QMutexLocker lock(&m_mutex);
    const bool stopping = m_stopRequested;
    m_failure = reason;
    m_phase = Phase::Ended;
    m_phaseChanged.wakeAll();
    lock.unlock();
    // A capture that was being stopped has nothing to report; any other end
    // is a failure.
    if (!stopping)
        emit captureFailed(interfaceName, reason);
}

void CommLinkThread::run()
{
    QMutexLocker lock(&m_mutex);
    const QString interfaceName = m_interfaceName;
    const QString hardwareAddress = m_hardwareAddress;
    lock.unlock();

    const QString device = captureDeviceName(interfaceName, hardwareAddress);
    if (device.isEmpty()) {
        fail(nullptr, interfaceName,
            tr("there is no network interface %1").arg(interfaceName.isEmpty() ? hardwareAddress : interfaceName));
        return;
    }

    // Immediate mode: each frame reaches the callback as it arrives. With a
    // plain 1000 ms read timeout the kernel hands frames over only when a
    // ring block retires, which delays replies and loses the frames still
    // buffered when the loop is broken.
    char errors[PCAP_ERRBUF_SIZE] = {};
    pcap_t* handle = pcap_create(device.toLocal8Bit().constData(), errors);
    if (!handle) {
        fail(nullptr, interfaceName, QString::fromLocal8Bit(errors));
        return;
    }
    pcap_set_snaplen(handle, kSnapshotLength);
    pcap_set_promisc(handle, 1);
    pcap_set_timeout(handle, kReadTimeoutMs);
    pcap_set_immediate_mode(handle, 1);
    pcap_set_buffer_size(handle, kCaptureBufferBytes);
    const int activated = pcap_activate(handle);
    if (activated == PCAP_ERROR_PERM_DENIED || activated == PCAP_ERROR_PROMISC_PERM_DENIED) {
        // The library's "Operation not permitted" does not tell what to ask
        // the administrator for.
        fail(handle, interfaceName,
            tr("%1 has no permission to capture; it needs the cap_net_raw capability (granted with \"setcap "
               "cap_net_raw+ep %1\") or root")
                .arg(QCoreApplication::applicationFilePath()));
        return;
    }
    if (activated < 0) {
        const QString reason = QString::fromLocal8Bit(pcap_geterr(handle));
        fail(handle, interfaceName, reason.isEmpty() ? QString::fromLatin1(pcap_statustostr(activated)) : reason);
        return;
    }
    // The tool's own requests are of no interest to it. Not every platform
    // can select the direction; the command codes tell them apart anyway.
    pcap_setdirection(handle, PCAP_D_IN);

    bpf_program program;
    const QByteArray filter = "ether proto " + QByteArray::number(CardFrame::kEtherType);
    if (pcap_compile(handle, &program, filter.constData(), 1, kFilterNetmask) != 0) {
        fail(handle, interfaceName, QString::fromLocal8Bit(pcap_geterr(handle)));
        return;
    }
    const int filtered = pcap_setfilter(handle, &program);
    pcap_freecode(&program);
    if (filtered != 0) {
        fail(handle, interfaceName, QString::fromLocal8Bit(pcap_geterr(handle)));
        return;
    }

    lock.relock();
    if (m_stopRequested) {
        // The adapter was changed (or the link is going) while the device was
        // being opened: end now, so the next capture starts on the new one.
        lock.unlock();
        fail(handle, interfaceName, QString());
        return;
    }
    m_handle = handle;
    m_phase = Phase::Open;
    m_phaseChanged.wakeAll();
    lock.unlock();

    // Returns after pcap_breakloop (also one called before the loop began)
    // or when the adapter fails, for example when it goes away.
    const int looped = pcap_loop(handle, 0, &CommLinkThread::onPacket, reinterpret_cast<unsigned char*>(this));
    const QString reason = looped == PCAP_ERROR ? QString::fromLocal8Bit(pcap_geterr(handle)) : QString();

    lock.relock();
    pcap_close(m_handle);
    m_handle = nullptr;
    lock.unlock();
    fail(nullptr, interfaceName, reason);
}
