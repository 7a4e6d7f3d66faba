#include "backuprun.h"

#include "link/commandcodes.h"

#include <QCoreApplication>
#include <QTimer>

BackupRun::BackupRun(int timeoutMs, QObject* parent)
    : QObject(parent)
    , m_timer(new QTimer(this))
    , m_timeoutMs(timeoutMs)
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::CoarseTimer);
    connect(m_timer, &QTimer::timeout, this, [this] { end(NoReply); });
}

BackupRun::~BackupRun() = default;

void BackupRun::start(quint8 type)
{
    cancel();
    m_asked = true;
    m_type = type;
    if (m_announceTimeoutMs > 0)
        m_timer->start(m_announceTimeoutMs);
    emit sendCmd(CommandCode::StartBackup, QByteArray(1, char(type)));
}

void BackupRun::receiveInto(const QString& path)
{
    if (!m_transfer.open(path, m_announced)) {
        end(CannotOpen);
        return;
    }
    requestPiece();
}

void BackupRun::cancel()
{
    m_asked = false;
    m_timer->stop();
    m_transfer.abandon();
}

bool BackupRun::handleReply(int cmd, const quint8* data, int size)
{
    switch (cmd) {
    case CommandCode::BackupPreparing:
        if (!m_asked)
            return false;
        if (m_timer->isActive())
            m_timer->start(m_announceTimeoutMs);
        emit preparing();
        return true;
    case CommandCode::StartBackup: {
        // Only the answer to the technician's request: an unasked 337 would
        // otherwise open a save dialog.
        if (!m_asked)
            return false;
        m_asked = false;
        m_timer->stop();
        quint32 total = 0;
        if (!BackupTransfer::announcedSize(data, size, &total) || total == 0) {
            end(StartFailed);
            return true;
        }
        m_announced = total;
        emit sizeAnnounced(total);
        return true;
    }
    case CommandCode::BackupData:
        if (!m_transfer.isReceiving())
            return false;
        switch (m_transfer.addPiece(data, size)) {
        case BackupTransfer::Piece::Failed: end(Failed); break;
        case BackupTransfer::Piece::Complete:
            emit pieceReceived(m_transfer.receivedBytes(), m_transfer.totalBytes());
            end(Finished);
            break;
        case BackupTransfer::Piece::More:
            emit pieceReceived(m_transfer.receivedBytes(), m_transfer.totalBytes());
            requestPiece();
            break;
        }
        return true;
    default: return false;
    }
}

void BackupRun::linkLost()
{
    const bool active = m_asked || m_transfer.isReceiving();
    cancel();
    if (active)
        emit finished(LinkLost);
}

void BackupRun::requestPiece()
{
    m_timer->start(m_timeoutMs);
    emit sendCmd(CommandCode::BackupData, QByteArray());
}

void BackupRun::end(int result)
{
    cancel();
    emit finished(result);
}

QString BackupRun::resultMessage(int result)
{
    static const char* const texts[] = { QT_TRANSLATE_NOOP("ProgrammingPage", "Backup file finished!"),
        QT_TRANSLATE_NOOP("ProgrammingPage", "Start backup failed!"),
        QT_TRANSLATE_NOOP("ProgrammingPage", "Cannot open backup file!"),
        QT_TRANSLATE_NOOP("ProgrammingPage", "Backup file failed!") };
    return QCoreApplication::translate("ProgrammingPage", texts[qBound(int(Finished), result, int(Failed))]);
}
