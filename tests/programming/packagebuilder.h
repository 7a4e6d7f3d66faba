#pragma once

#include "link/crc16.h"

#include <QByteArray>
#include <QFile>
#include <QRandomGenerator>
#include <QString>
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

struct Options {
    quint32 flags = 0; // 0x1 CRC trailer, 0x2 scrambled
    bool badCrc = false;
    qint64 lengthField = -1; // scrambled: the announced length, -1 = the real one
    QByteArray afterPayload; // scrambled: ignored bytes behind the payload
    quint16 reserved = 0x0102; // the two bytes nobody interprets
};

inline QByteArray package(const QByteArray& payload, const Options& o = Options())
{
    QByteArray out(8, '\0');
    qToLittleEndian<quint16>(0x5441, out.data());
    qToLittleEndian<quint16>(o.reserved, out.data() + 2);
    qToLittleEndian<quint32>(o.flags, out.data() + 4);
    QByteArray body = payload;
    if (o.flags & 0x2) {
        QByteArray length(4, '\0');
        qToLittleEndian<quint32>(quint32(o.lengthField >= 0 ? o.lengthField : payload.size()), length.data());
        body = length + payload + o.afterPayload;
        for (char& c : body)
            c = char(quint8(c) + 1);
    }
    out += body;
    if (o.flags & 0x1) {
        QByteArray trailer(2, '\0');
        qToLittleEndian<quint16>(crc16Modbus(body) ^ (o.badCrc ? 0x0100 : 0), trailer.data());
        out += trailer;
    }
    return out;
}

inline QByteArray package(const QByteArray& payload, quint32 flags, qint64 length = -1,
    const QByteArray& afterPayload = {}, bool badCrc = false)
{
    return package(payload, Options { flags, badCrc, length, afterPayload });
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
