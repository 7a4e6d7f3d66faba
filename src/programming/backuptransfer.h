#pragma once

#include <QSaveFile>
#include <QString>
#include <QtGlobal>
#include <memory>

// Receiving a backup of one of the card's programs: the card announces the
// size (reply to command 337, 4 bytes big-endian), then answers every
// command 338 with the next piece, of any length, until at least the
// announced number of bytes has come; an empty piece means the card failed.
//
// The pieces go to a temporary file beside the chosen one, which takes the
// chosen name only once every announced byte has arrived: a failed or
// abandoned backup leaves nothing under that name, and a file already there
// is kept.
class BackupTransfer {
public:
    enum class Piece {
        More, // ask for the next piece
        Complete, // the file is in place
        Failed, // nothing was kept
    };

    BackupTransfer() = default;
    BackupTransfer(const BackupTransfer&) = delete;
    BackupTransfer& operator=(const BackupTransfer&) = delete;
    ~BackupTransfer();

    // The size announced in the reply to command 337; false unless the reply
    // holds exactly 4 bytes.
    static bool announcedSize(const quint8* data, int size, quint32* total);

    bool open(const QString& path, qint64 total);
    Piece addPiece(const quint8* data, int size);
    // Drops what has been received; the chosen file is not touched.
    void abandon();

    bool isReceiving() const { return bool(m_file); }
    qint64 receivedBytes() const { return m_received; }
    qint64 totalBytes() const { return m_total; }
    QString fileName() const { return m_path; }

private:
    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    qint64 m_received = 0;
    qint64 m_total = 0;
};
