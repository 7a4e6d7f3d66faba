#pragma once

#include <QRegularExpression>
#include <QString>

// The dotted IPv4 address pattern that every address field of the tool uses,
// both as input validator and as exact-match test: four numbers 0 to 255 in
// decimal, without leading zeros, separated by dots.
namespace IpAddressPattern {

extern const char* const kPattern;

// The one expression object, built once for the life of the program. It is
// anchored, so a match is a match of the whole text.
const QRegularExpression& ipRegExp();

bool matches(const QString& text);

} // namespace IpAddressPattern
