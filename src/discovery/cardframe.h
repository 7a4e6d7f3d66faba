#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <array>

// The card protocol frame that the link-layer service of a card speaks: one
// Ethernet frame of EtherType 0x5441, a 26-byte header, an optional JSON
// payload and a CRC-16/MODBUS over everything before it.
//
//   0   6  destination hardware address
//   6   6  source hardware address (the PC's adapter)
//  12   2  EtherType 0x5441, most significant byte first
//  14   4  00 00 00 01
//  18   4  command code, least significant byte first
//  22   4  frame length = payload + 28, least significant byte first
//  26   n  payload (0 to 2020 bytes)
//  26+n 2  CRC-16/MODBUS over bytes 0 to 25+n, low byte first
//
// Note the mixed byte orders: only the EtherType is big-endian.
namespace CardFrame {

constexpr quint16 kEtherType = 0x5441;
constexpr int kHeaderSize = 26;
constexpr int kChecksumSize = 2;
constexpr int kOverhead = kHeaderSize + kChecksumSize;
constexpr int kMaxPayload = 2020;
constexpr int kMaxFrame = kOverhead + kMaxPayload; // 2048

// Command codes: a request has an even code, its reply the next odd one.
enum Command : quint32 {
    Search = 0,
    NetworkInfo = 1,
    SetIp = 2,
    SetIpResult = 3,
    Reboot = 4,
    RebootResult = 5,
};

using HardwareAddress = std::array<quint8, 6>;
using Buffer = std::array<quint8, kMaxFrame>;

// Converts a hardware-address text ("00:1A:2B:3C:4D:5E") field by field with
// base 16. A field that is not a hexadecimal number gives 0, and so does a
// field that is missing: a text with fewer than six fields fills only the
// bytes it has, nothing beyond them is read.
HardwareAddress hardwareAddressFromText(const QString& text);

// True when the text is exactly six ":"-separated fields of one or two
// hexadecimal digits.
bool isHardwareAddressText(const QString& text);

// True when the text names one card: a well-formed hardware address whose
// group bit is clear (not the broadcast address, not a multicast address).
bool isUnicastHardwareAddressText(const QString& text);

// "%1:%2:%3:%4:%5:%6", two upper-case hexadecimal digits per byte.
QString hardwareAddressText(const quint8* bytes);

// Builds one frame into `buffer` and returns its length (28 + payload size),
// or -1 when the payload is longer than kMaxPayload: such a payload is never
// cut, since the card would get a truncated JSON text under a length field
// that disagrees with it. An empty destination means broadcast.
int build(Buffer& buffer, quint32 command, const HardwareAddress& source, const QString& destination,
    const QByteArray& payload);

// The same frame as a byte array (empty when the payload is too long).
QByteArray build(quint32 command, const HardwareAddress& source, const QString& destination, const QByteArray& payload);

// What a captured frame turned out to be.
struct Received {
    enum Status {
        Ok, // a reply (code 1, 3 or 5) with its JSON text
        TooShort, // fewer than 28 bytes
        BadChecksum, // the last two bytes are not the CRC of the rest
        NoText, // no "}" in the payload
        UnknownCode, // a well-formed frame of a code the tool does not take
    };
    Status status = TooShort;
    quint32 command = 0;
    QByteArray text; // the payload from its start up to and including its last "}"
};

// Checks one captured frame. The checksum is taken from the last two bytes
// of the frame as captured; the length field, the addresses and the fixed
// bytes are not looked at, and zero padding behind the JSON text is dropped.
Received receive(const QByteArray& frame);

} // namespace CardFrame
