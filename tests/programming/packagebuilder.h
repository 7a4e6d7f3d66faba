#pragma once

#include "link/crc16.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
#include <QTemporaryDir>
#include <QtEndian>

// Builds image and package files for the programming tests.
namespace PackageBuilder {

// Deterministic bytes that never start with the package magic.
inline QByteArray payload(qint64 size, quint32 seed = 7)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (char& byte : bytes)
        byte = char(generator.generate() & 0xFF);
    if (bytes.startsWith("AT"))
        bytes[0] = '\0';
    return bytes;
}

// flags 0x1: a CRC trailer (`badCrc`: a wrong one); 0x2: scrambled, with the
// announced `length` (-1: the real one) and ignored bytes `afterPayload`.
inline QByteArray package(const QByteArray& payload, quint32 flags = 0, qint64 length = -1,
    const QByteArray& afterPayload = {}, bool badCrc = false)
{
    QByteArray out(8, '\0');
    qToLittleEndian<quint16>(0x5441, out.data());
    qToLittleEndian<quint16>(0x0102, out.data() + 2); // the two bytes nobody interprets
    qToLittleEndian<quint32>(flags, out.data() + 4);
    QByteArray body = payload;
    if (flags & 0x2) {
        QByteArray field(4, '\0');
        qToLittleEndian<quint32>(quint32(length >= 0 ? length : payload.size()), field.data());
        body = field + payload + afterPayload;
        for (char& c : body)
            c = char(quint8(c) + 1);
    }
    out += body;
    if (flags & 0x1) {
        QByteArray trailer(2, '\0');
        qToLittleEndian<quint16>(crc16Modbus(body) ^ (badCrc ? 0x0100 : 0), trailer.data());
        out += trailer;
    }
    return out;
}

inline bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace PackageBuilder

namespace ProgrammingTest {

// The temporary folder of one test case: the files the test writes and the
// images the simulated cards store there (the simulator's --prog-store).
class Workspace {
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString& name = QString()) const { return name.isEmpty() ? m_dir.path() : m_dir.filePath(name); }
    // Writes `bytes` to `name` in the folder; the path, or empty on failure.
    QString file(const QString& name, const QByteArray& bytes) const
    {
        return PackageBuilder::write(path(name), bytes) ? path(name) : QString();
    }
    QString store() const { return path(QStringLiteral("{addr}-{type}.bin")); }
    QByteArray flash(const QString& card, int type) const
    {
        return PackageBuilder::read(path(QStringLiteral("%1-%2.bin").arg(card).arg(type)));
    }

private:
    QTemporaryDir m_dir;
};

} // namespace ProgrammingTest
