#include "commlink.h"

#include "commlinkthread.h"

CommLink::CommLink(QObject* parent, int openWaitMs)
    : QObject(parent)
    , m_thread(std::make_unique<CommLinkThread>(openWaitMs))
{
    // The thread's signals come from the capture thread: queued calls.
    connect(m_thread.get(), &CommLinkThread::dataRecv, this, &CommLink::onDataRecv);
    connect(m_thread.get(), &CommLinkThread::captureFailed, this, &CommLink::captureFailed);
}

CommLink::~CommLink()
{
    // Returns only once the capture thread has ended.
    m_thread->stopCapture();
}

void CommLink::setInterface(const QString& name, const QString& hardwareAddress)
{
    if (name == m_name && m_thread->isRunning())
        return;
    m_name = name;
    m_source = CardFrame::hardwareAddressFromText(hardwareAddress);
    m_thread->stopCapture();
    m_thread->startCapture(name, hardwareAddress);
}

bool CommLink::sendCommand(quint32 command, const QString& destination, const QByteArray& payload)
{
    CardFrame::Buffer buffer;
    const int size = CardFrame::build(buffer, command, m_source, destination, payload);
    if (size < 0)
        return false;
    return m_thread->sendPacket(buffer.data(), size);
}

bool CommLink::isCapturing() const
{
    return m_thread->isCapturing();
}

QString CommLink::captureError() const
{
    return m_thread->failure();
}

QThread* CommLink::captureThread() const
{
    return m_thread.get();
}

void CommLink::onDataRecv(const QByteArray& frame)
{
    const CardFrame::Received received = CardFrame::receive(frame);
    if (received.status != CardFrame::Received::Ok)
        return;
    if (received.command == CardFrame::NetworkInfo)
        emit gotNetworkInfo(received.text);
    else
        emit gotResult(received.text);
}
