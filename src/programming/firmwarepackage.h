#pragma once

#include <QFile>
#include <QString>
#include <QtGlobal>

// A firmware package: a plain image wrapped in a small header, optionally
// scrambled and optionally protected by a CRC trailer. The card never sees
// the package; the tool unwraps it into the temporary image and sends that.
//
//   offset 0   2 bytes  magic 0x5441, stored little-endian (41 54)
//   offset 2   2 bytes  not interpreted
//   offset 4   4 bytes  flags, little-endian: bit 0 CRC trailer, bit 1 scrambled
//   offset 8            body
//   size - 2   2 bytes  CRC-16/MODBUS over the stored body (flag bit 0 only)
//
// A scrambled body starts with the payload length L (4 bytes, little-endian)
// followed by L payload bytes; every stored byte of both is the real byte
// plus 1 (mod 256). Bytes after the payload are ignored.
//
// Construct it on the chosen file, extract it to the temporary image and send
// that when the extraction succeeds, the chosen file otherwise. Files are
// read and written through one 4096-byte buffer, never held whole.
//
// A file that carries the magic but fails its check (the CRC trailer does
// not match, or a scrambled length field overruns the body) is a damaged
// package, or a plain image that begins with the magic by chance. It is never
// unwrapped, and never sent without the technician's word: failedCheck()
// tells, and every caller asks it before anything goes to a card.
class FirmwarePackage {
public:
    enum Error {
        NoError = 0,
        CannotOpen = 1,
        TooShort = 3,
        MagicMismatch = 4,
        CrcOrLengthFailure = 5,
    };
    // Which check a file with the magic failed.
    enum class Check { Passed, Crc, Length };

    static constexpr quint16 kMagic = 0x5441;
    static constexpr quint32 kFlagCrc = 0x1;
    static constexpr quint32 kFlagScrambled = 0x2;
    static constexpr int kHeaderSize = 8;
    static constexpr int kTrailerSize = 2;
    static constexpr int kBufferSize = 4096;

    explicit FirmwarePackage(const QString& path);
    FirmwarePackage(const FirmwarePackage&) = delete;
    FirmwarePackage& operator=(const FirmwarePackage&) = delete;

    Error error() const { return m_error; }
    Check failedCheck() const { return m_failedCheck; }
    // The name of a failed check for a message ("CRC", "length"); translated.
    static QString checkName(Check check);
    quint32 flags() const { return m_flags; }
    QString path() const { return m_path; }

    // Writes the payload to `target` (the temporary image, or the batch's
    // copy); false when the file is no valid package or the payload cannot
    // be written (the target then stays as it was: it is replaced only by a
    // complete payload).
    bool extractTo(const QString& target);
    // True when the last extraction failed because the image could not be
    // written (no folder, a full disk): the file is a package all the same,
    // and sending it as it is would put its header on the card.
    bool writeFailed() const { return m_writeFailed; }

    // The application directory (for the installed tool the user data
    // folder, see AppPaths) followed by "/firmware/tmp.bin".
    static QString temporaryImagePath();
    // True when `path` names the file `temporary` (by default the temporary
    // image), compared by full path: a file of the technician's whose name
    // merely ends the same way is not it.
    static bool isTemporaryImage(const QString& path, const QString& temporary = temporaryImagePath());

private:
    void validate();
    void fail(Check check);
    bool copyBody(QIODevice& out, qint64 offset, qint64 count, bool unscramble);

    QFile m_input;
    QString m_path;
    Error m_error = NoError;
    qint64 m_size = 0;
    quint32 m_flags = 0;
    Check m_failedCheck = Check::Passed;
    // Where the payload lies in the file, as the check found it.
    qint64 m_payloadOffset = 0;
    qint64 m_payloadLength = 0;
    bool m_writeFailed = false;
};
