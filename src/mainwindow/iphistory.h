#pragma once

#include <QString>
#include <QStringList>

// The IP history file config/completer.dat: one 16-byte record per address,
// in the order the addresses were first connected to, no header. A record is
// the address text in 8-bit characters, a zero byte, and zero padding to 16.
namespace IpHistory {

constexpr int kRecordSize = 16;
extern const char* const kFile;

// Reads records until no bytes are left; the last record may be shorter than
// 16 bytes. Each text ends at its first zero byte. A missing or unreadable
// file gives an empty list.
QStringList read(const QString& path);

// Rewrites the whole file (creating its folder); the old file stays intact
// until the new one is complete. False when it cannot be written.
bool write(const QString& path, const QStringList& history);

QByteArray encode(const QStringList& history);
QStringList decode(const QByteArray& bytes);

} // namespace IpHistory
