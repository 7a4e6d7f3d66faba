#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QtGlobal>

// What the serial port test sends to the card and how it writes its record,
// without widgets: the open request (code 11), the three send encodings
// (code 12) and the HTML of a record entry.
namespace SerialFrames {

// The card reads each serial setting as an index into these lists, so their
// order is part of the protocol.
constexpr int kBaudRates[] = { 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200 };
constexpr int kDataBits[] = { 5, 6, 7, 8 };
constexpr int kStopBits[] = { 1, 2 };
constexpr int kFlowControlCount = 3; // None, Hardware, Software
constexpr int kParityCount = 3; // None, Even, Odd

constexpr int kDefaultBaudIndex = 3; // 9600
constexpr int kDefaultDataBitsIndex = 3; // 8

// The length byte of the open request cannot describe a longer name.
constexpr int kMaxPortNameBytes = 255;

enum SendType { Hex = 0, Ascii = 1, Modbus = 2 };

struct PortSettings {
    bool rs485 = false;
    QString portName;
    int baudIndex = kDefaultBaudIndex;
    int dataBitsIndex = kDefaultDataBitsIndex;
    int flowControlIndex = 0;
    int parityIndex = 0;
    int stopBitsIndex = 0;
};

// The port name in UTF-8, cut at a character boundary to fit the length byte.
QByteArray portNameBytes(const QString& name);
bool portNameFits(const QString& name);

// Code 11 request data: RS-485 flag, name length, name, then the baud rate,
// data bits, parity, flow control and stop bits indexes. Parity goes before
// flow control on the wire, although the form shows them the other way round.
QByteArray openRequest(const PortSettings& settings);

// One hexadecimal part of the Hex and Modbus send text: its low 8 bits, or 0
// when it is not hexadecimal (an empty part included). An optional 0x prefix
// is accepted.
quint8 hexPart(const QString& part);
// The text split at every single space, empty parts kept, one byte per part.
QByteArray encodeHex(const QString& text);
// As encodeHex, followed by the CRC-16/MODBUS of those bytes, low byte first.
QByteArray encodeModbus(const QString& text);
// Latin-1; characters outside it become '?'.
QByteArray encodeAscii(const QString& text);
QByteArray encode(SendType type, const QString& text);

// Each byte as two lower-case hexadecimal digits followed by one space.
QString hexPayload(const QByteArray& bytes);

// "[yyyy-MM-dd hh:mm:ss.zzz] ", the start of every record entry.
QString timeStamp(const QDateTime& when);

// The entry text made safe for the rich-text record: & > < " ' escaped,
// spaces kept as &nbsp;, line feeds and carriage returns as <br>.
QString escapeEntry(const QString& text);
// "<font color=#rrggbb>" followed by the escaped entry (no closing tag).
QString entryHtml(const QString& text, quint8 red, quint8 green, quint8 blue);

} // namespace SerialFrames
