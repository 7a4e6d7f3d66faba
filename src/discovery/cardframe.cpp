#include "cardframe.h"

#include "link/crc16.h"

#include <QRegularExpression>
#include <QVector>
#include <QtEndian>

#include <cstring>

namespace CardFrame {

namespace {

constexpr int kDestinationOffset = 0;
constexpr int kSourceOffset = 6;
constexpr int kEtherTypeOffset = 12;
constexpr int kFixedOffset = 14;
constexpr int kCommandOffset = 18;
constexpr int kLengthOffset = 22;

} // namespace

HardwareAddress hardwareAddressFromText(const QString& text)
{
    HardwareAddress bytes {};
    const QVector<QStringRef> fields = text.splitRef(QLatin1Char(':'));
    const int count = qMin(fields.size(), int(bytes.size()));
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        const uint v = fields.at(i).toUInt(&ok, 16);
        bytes[size_t(i)] = ok ? quint8(v) : 0;
    }
    return bytes;
}

bool isHardwareAddressText(const QString& text)
{
    // Digits only: the number conversion alone would also take a sign or
    // white space (" 1", "+1").
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9A-Fa-f]{1,2}:){5}[0-9A-Fa-f]{1,2}")));
    return pattern.match(text).hasMatch();
}

bool isUnicastHardwareAddressText(const QString& text)
{
    return isHardwareAddressText(text) && (hardwareAddressFromText(text)[0] & 0x01) == 0;
}

QString hardwareAddressText(const quint8* bytes)
{
    return QString::asprintf(
        "%02X:%02X:%02X:%02X:%02X:%02X", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5]);
}

int build(Buffer& buffer, quint32 command, const HardwareAddress& source, const QString& destination,
    const QByteArray& payload)
{
    if (payload.size() > kMaxPayload)
        return -1;
    buffer.fill(0);
    quint8* p = buffer.data();
    if (destination.isEmpty()) {
        std::memset(p + kDestinationOffset, 0xFF, 6);
    } else {
        const HardwareAddress d = hardwareAddressFromText(destination);
        std::memcpy(p + kDestinationOffset, d.data(), d.size());
    }
    std::memcpy(p + kSourceOffset, source.data(), source.size());
    qToBigEndian<quint16>(kEtherType, p + kEtherTypeOffset);
    p[kFixedOffset + 3] = 0x01;
    qToLittleEndian<quint32>(command, p + kCommandOffset);
    qToLittleEndian<quint32>(quint32(payload.size() + kOverhead), p + kLengthOffset);
    if (!payload.isEmpty())
        std::memcpy(p + kHeaderSize, payload.constData(), size_t(payload.size()));
    const int covered = kHeaderSize + payload.size();
    qToLittleEndian<quint16>(crc16Modbus(p, covered), p + covered);
    return covered + kChecksumSize;
}

QByteArray build(quint32 command, const HardwareAddress& source, const QString& destination, const QByteArray& payload)
{
    Buffer buffer;
    const int size = build(buffer, command, source, destination, payload);
    if (size < 0)
        return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(buffer.data()), size);
}

Received receive(const QByteArray& frame)
{
    Received r;
    if (frame.size() < kOverhead) {
        r.status = Received::TooShort;
        return r;
    }
    const auto* p = reinterpret_cast<const quint8*>(frame.constData());
    const int end = frame.size() - kChecksumSize;
    if (crc16Modbus(p, end) != qFromLittleEndian<quint16>(p + end)) {
        r.status = Received::BadChecksum;
        return r;
    }
    r.command = qFromLittleEndian<quint32>(p + kCommandOffset);
    int last = end - 1;
    while (last >= kHeaderSize && p[last] != '}')
        --last;
    if (last < kHeaderSize) {
        r.status = Received::NoText;
        return r;
    }
    if (r.command != NetworkInfo && r.command != SetIpResult && r.command != RebootResult) {
        r.status = Received::UnknownCode;
        return r;
    }
    r.text = frame.mid(kHeaderSize, last - kHeaderSize + 1);
    r.status = Received::Ok;
    return r;
}

} // namespace CardFrame
