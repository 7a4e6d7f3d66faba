#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The card's answer to a version request (command 1) is text such as
// "v1.3.0 20261201": the letter v, major, minor and patch numbers separated
// by dots, a space and further text.
namespace VersionText {

// Cards whose firmware is older than 1.2.3 take the plain transfer (chunks
// without sequence byte); newer cards take the sequenced transfer.
constexpr qint32 kSequencedSince = 0x10203;

// The text of a reply: its bytes up to the first zero byte.
QByteArray text(const quint8* data, int size);

// Reads the three numbers with "v%d.%d.%d %*s" and combines them to
// (major << 16) | (minor << 8) | patch; false when the text does not yield
// three numbers.
bool value(const QByteArray& text, qint32* combined);

// Whether the card that sent this version reply needs the plain transfer.
// A reply shorter than 6 bytes, or one that does not yield three numbers,
// comes from a newer card.
bool usesOldProtocol(const quint8* data, int size);

// The version word of a reply: the text is split at single spaces (so runs
// of spaces give empty words) and the first word beginning with a lowercase
// v is the version; a reply without such a word is kept whole.
QString versionWord(const QByteArray& text);

} // namespace VersionText
