#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QtGlobal>

// The card side of programming is stop-and-wait: the tool announces the image
// size (command 256), then sends the image in chunks of at most 1024 bytes
// (command 257), one at a time, each after the card acknowledged the one
// before. Cards since firmware 1.2.3 take the sequenced transfer: every chunk
// starts with a sequence byte that wraps from 255 to 0, and a chunk whose
// acknowledgement does not come is sent again byte for byte, sequence byte
// included, at most three times. Older cards take the plain transfer: image
// bytes only, and no resends.
//
// This class holds that state and reads the image chunk by chunk into one
// buffer, reused from chunk to chunk; ProgrammingRun sends the commands and
// runs the chunk timer.
class ChunkTransfer {
public:
    static constexpr int kChunkSize = 1024;
    static constexpr int kMaxResends = 3;
    // The size field of command 256 holds 32 bits.
    static constexpr qint64 kMaxImageSize = 0xFFFFFFFFLL;

    enum class Next {
        Chunk, // lastChunk() holds the next command-257 data
        Nothing, // every byte has been sent: no command, no timer
        ReadError, // the image could not be read on (it shrank or failed)
    };

    enum class Timeout {
        Resend, // send lastChunk() again
        GiveUp, // the run has failed
    };

    ChunkTransfer() = default;
    ChunkTransfer(const ChunkTransfer&) = delete;
    ChunkTransfer& operator=(const ChunkTransfer&) = delete;

    // Opens the image read-only and takes its size as the total; the
    // counters start at 0. False when it cannot be opened or is too large
    // for the size field.
    bool open(const QString& path);
    // Starts again from the first byte of the open image (the batch worker
    // sends one open file to card after card).
    bool rewind();
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString fileName() const { return m_file.fileName(); }

    void setOldProtocol(bool old) { m_oldProtocol = old; }

    // Data of command 256: the programming type, then the image size as
    // unsigned 32-bit big-endian.
    QByteArray startCommandData(quint8 programmingType) const;

    // Reads the next chunk of at most 1024 bytes into lastChunk() and counts
    // it as sent.
    Next nextChunk();
    // The card acknowledged the outstanding chunk.
    void acknowledged() { m_retryCount = 0; }
    // The chunk timer expired: resend (counted) or give up.
    Timeout timeout();
    // The last chunk read, sequence byte included; sent again as it is.
    const QByteArray& lastChunk() const { return m_lastChunk; }

    bool allSent() const { return m_sentBytes >= m_totalBytes; }
    qint64 sentBytes() const { return m_sentBytes; }
    qint64 totalBytes() const { return m_totalBytes; }
    int retryCount() const { return m_retryCount; }
    quint8 sequence() const { return m_sequence; }

    // Counters to 0 and the image closed; the protocol choice and the last
    // chunk are kept.
    void reset();

    // `done` of `maximum` as a percentage in fixed notation with two
    // decimals ("37.50"); 100.00 when there is nothing to do.
    static QString percentText(qint64 done, qint64 maximum);

private:
    void clearCounters();

    QFile m_file;
    QByteArray m_lastChunk;
    qint64 m_sentBytes = 0;
    qint64 m_totalBytes = 0;
    int m_retryCount = 0;
    quint8 m_sequence = 0;
    bool m_oldProtocol = false;
};
