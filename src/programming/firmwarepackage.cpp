#include "firmwarepackage.h"

#include "link/crc16.h"
#include "platform/apppaths.h"
#include "platform/safesave.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

namespace {

// Reads exactly `count` bytes; a short read is a failure.
bool readExactly(QFile& file, char* into, qint64 count)
{
    qint64 done = 0;
    while (done < count) {
        const qint64 got = file.read(into + done, count - done);
        if (got <= 0)
            return false;
        done += got;
    }
    return true;
}

} // namespace

FirmwarePackage::FirmwarePackage(const QString& path)
    : m_input(path)
    , m_path(path)
{
    if (!m_input.open(QIODevice::ReadOnly)) {
        m_error = CannotOpen;
        return;
    }
    validate();
    m_input.seek(0);
}

QString FirmwarePackage::temporaryImagePath()
{
    return AppPaths::applicationDirectory() + QStringLiteral("/firmware/tmp.bin");
}

bool FirmwarePackage::isTemporaryImage(const QString& path, const QString& temporary)
{
    if (path.isEmpty() || temporary.isEmpty())
        return false;
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath())
        == QDir::cleanPath(QFileInfo(temporary).absoluteFilePath());
}

void FirmwarePackage::validate()
{
    m_size = m_input.size();
    if (m_size < kHeaderSize) {
        m_error = TooShort;
        return;
    }
    char header[kHeaderSize];
    if (!readExactly(m_input, header, kHeaderSize)) {
        m_error = TooShort;
        return;
    }
    if (qFromLittleEndian<quint16>(header) != kMagic) {
        m_error = MagicMismatch;
        return;
    }
    m_flags = qFromLittleEndian<quint32>(header + 4);
    const bool withCrc = m_flags & kFlagCrc;
    if (withCrc && m_size < kHeaderSize + kTrailerSize) {
        fail(Check::Crc);
        return;
    }
    const qint64 body = m_size - kHeaderSize - (withCrc ? kTrailerSize : 0);
    m_payloadOffset = kHeaderSize;
    m_payloadLength = body;

    if (withCrc) {
        char trailer[kTrailerSize];
        if (!m_input.seek(m_size - kTrailerSize) || !readExactly(m_input, trailer, kTrailerSize)) {
            fail(Check::Crc);
            return;
        }
        const quint16 stored = qFromLittleEndian<quint16>(trailer);
        char buffer[kBufferSize];
        quint16 crc = kCrc16ModbusInit;
        qint64 left = body;
        if (!m_input.seek(kHeaderSize)) {
            fail(Check::Crc);
            return;
        }
        while (left > 0) {
            const qint64 block = qMin<qint64>(left, kBufferSize);
            if (!readExactly(m_input, buffer, block)) {
                fail(Check::Crc);
                return;
            }
            crc = crc16Modbus(buffer, block, crc);
            left -= block;
        }
        if (crc != stored) {
            fail(Check::Crc);
            return;
        }
    }

    if (m_flags & kFlagScrambled) {
        // The length field must lie inside the body, and the payload it
        // announces inside what follows it.
        char stored[4];
        if (body < 4 || !m_input.seek(kHeaderSize) || !readExactly(m_input, stored, 4)) {
            fail(Check::Length);
            return;
        }
        for (char& c : stored)
            c = char(quint8(c) - 1);
        m_payloadOffset = kHeaderSize + 4;
        m_payloadLength = qFromLittleEndian<quint32>(stored);
        if (m_payloadLength > body - 4)
            fail(Check::Length);
    }
}

void FirmwarePackage::fail(Check check)
{
    m_error = CrcOrLengthFailure;
    m_failedCheck = check;
}

QString FirmwarePackage::checkName(Check check)
{
    switch (check) {
    case Check::Crc: return QCoreApplication::translate("FirmwarePackage", "CRC");
    case Check::Length: return QCoreApplication::translate("FirmwarePackage", "length");
    case Check::Passed: break;
    }
    return QString();
}

bool FirmwarePackage::extractTo(const QString& target)
{
    m_writeFailed = false;
    if (m_error != NoError)
        return false;

    // Without its folder the image could not be written, and the package
    // would go to the card as it is, header included.
    const QFileInfo targetInfo(target);
    if (!QDir().mkpath(targetInfo.absolutePath())) {
        m_writeFailed = true;
        return false;
    }

    QSaveFile out(target);
    if (!SafeSave::open(out)) {
        m_writeFailed = true;
        return false;
    }
    if (!copyBody(out, m_payloadOffset, m_payloadLength, m_flags & kFlagScrambled)) {
        out.cancelWriting();
        m_input.seek(0);
        return false;
    }
    m_input.seek(0);
    // The last buffered block reaches the disk only here.
    if (!out.commit()) {
        m_writeFailed = true;
        return false;
    }
    return true;
}

bool FirmwarePackage::copyBody(QIODevice& out, qint64 offset, qint64 count, bool unscramble)
{
    if (!m_input.seek(offset))
        return false;
    char buffer[kBufferSize];
    while (count > 0) {
        const qint64 block = qMin<qint64>(count, kBufferSize);
        if (!readExactly(m_input, buffer, block))
            return false;
        if (unscramble) {
            for (qint64 i = 0; i < block; ++i)
                buffer[i] = char(quint8(buffer[i]) - 1);
        }
        if (out.write(buffer, block) != block) {
            m_writeFailed = true;
            return false;
        }
        count -= block;
    }
    return true;
}
