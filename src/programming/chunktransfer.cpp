#include "chunktransfer.h"

bool ChunkTransfer::open(const QString& path)
{
    close();
    clearCounters();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return false;
    const qint64 size = m_file.size();
    if (size > kMaxImageSize) {
        // The card would be told a size that is not the image's.
        m_file.close();
        return false;
    }
    m_totalBytes = size;
    return true;
}

bool ChunkTransfer::rewind()
{
    clearCounters();
    if (!m_file.isOpen() || !m_file.seek(0))
        return false;
    m_totalBytes = qMin(m_file.size(), kMaxImageSize);
    return true;
}

void ChunkTransfer::close()
{
    if (m_file.isOpen())
        m_file.close();
}

QByteArray ChunkTransfer::startCommandData(quint8 programmingType) const
{
    const quint32 size = quint32(m_totalBytes);
    QByteArray data(5, Qt::Uninitialized);
    data[0] = char(programmingType);
    data[1] = char(size >> 24);
    data[2] = char(size >> 16);
    data[3] = char(size >> 8);
    data[4] = char(size);
    return data;
}

ChunkTransfer::Next ChunkTransfer::nextChunk()
{
    const qint64 wanted = qMin<qint64>(m_totalBytes - m_sentBytes, kChunkSize);
    if (wanted <= 0)
        return Next::Nothing;
    const int offset = m_oldProtocol ? 0 : 1;
    // The buffer is the last chunk's: nothing else holds it once sent, so it
    // is filled again in place.
    m_lastChunk.resize(offset + int(wanted));
    const qint64 got = m_file.isOpen() ? m_file.read(m_lastChunk.data() + offset, wanted) : -1;
    // A file that ends before the size the card was told would leave the
    // card waiting for bytes that never come.
    if (got <= 0)
        return Next::ReadError;
    m_lastChunk.truncate(offset + int(got));
    if (!m_oldProtocol)
        m_lastChunk[0] = char(m_sequence++);
    m_sentBytes += got;
    return Next::Chunk;
}

ChunkTransfer::Timeout ChunkTransfer::timeout()
{
    if (m_oldProtocol || m_retryCount >= kMaxResends)
        return Timeout::GiveUp;
    ++m_retryCount;
    return Timeout::Resend;
}

void ChunkTransfer::reset()
{
    close();
    clearCounters();
}

void ChunkTransfer::clearCounters()
{
    m_sentBytes = 0;
    m_totalBytes = 0;
    m_retryCount = 0;
    m_sequence = 0;
}

QString ChunkTransfer::percentText(qint64 done, qint64 maximum)
{
    const double percent = maximum > 0 ? double(done) * 100.0 / double(maximum) : 100.0;
    return QString::number(percent, 'f', 2);
}
