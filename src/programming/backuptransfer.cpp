#include "backuptransfer.h"

#include "platform/safesave.h"
BackupTransfer::~BackupTransfer()
{
    abandon();
}

bool BackupTransfer::announcedSize(const quint8* data, int size, quint32* total)
{
    if (!data || size != 4)
        return false;
    *total = (quint32(data[0]) << 24) | (quint32(data[1]) << 16) | (quint32(data[2]) << 8) | quint32(data[3]);
    return true;
}

bool BackupTransfer::open(const QString& path, qint64 total)
{
    abandon();
    auto file = std::make_unique<QSaveFile>(path);
    if (!SafeSave::open(*file))
        return false;
    m_file = std::move(file);
    m_path = path;
    m_received = 0;
    m_total = total;
    return true;
}

BackupTransfer::Piece BackupTransfer::addPiece(const quint8* data, int size)
{
    if (!m_file)
        return Piece::Failed;
    if (!data || size <= 0 || m_file->write(reinterpret_cast<const char*>(data), size) != size) {
        abandon();
        return Piece::Failed;
    }
    m_received += size;
    if (m_received < m_total)
        return Piece::More;
    const bool committed = m_file->commit();
    m_file.reset();
    return committed ? Piece::Complete : Piece::Failed;
}

void BackupTransfer::abandon()
{
    if (!m_file)
        return;
    m_file->cancelWriting();
    m_file.reset();
}
