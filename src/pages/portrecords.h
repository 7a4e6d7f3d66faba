#pragma once

#include <QByteArray>
#include <QString>
#include <array>

// The card's four network services and their TCP ports as they travel with
// read ports (code 16) and write ports (code 17): one 3-byte record per
// service, SSH, Telnet, HTTP, HTTPS in this order, 12 bytes in all.
//   byte 0  enable flag: 0 disabled, anything else enabled (written as 1 or 0)
//   byte 1  port, high byte
//   byte 2  port, low byte
namespace PortRecords {

constexpr int kServiceCount = 4;
constexpr int kRecordSize = 3;
constexpr int kDataSize = kServiceCount * kRecordSize;
// 0 and 65535 are refused: the card takes only ports it can listen on.
constexpr int kMinPort = 1;
constexpr int kMaxPort = 65534;

struct Entry {
    bool enabled = false;
    int port = 0;
};
using Table = std::array<Entry, kServiceCount>;

// A port field's text as a base-10 number; text that is not a number is 0.
int portFromText(const QString& text);
bool isValidPort(int port);

// The write request's 12 data bytes, or an empty array when a port of any
// row, enabled or not, is outside kMinPort..kMaxPort.
QByteArray encode(const Table& rows);

// Reads a read-ports reply; false (and `rows` untouched) unless it holds
// exactly 12 bytes.
bool decode(const quint8* data, int size, Table* rows);

} // namespace PortRecords
