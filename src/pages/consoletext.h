#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// The console's traffic, without widgets: a typed line goes out as the data
// of code 18, the card's answer comes back as code 19.
namespace ConsoleText {

// The line the console keeps for itself: it empties the transcript and is
// never sent. Case-sensitive, so "Clear" still reaches the card.
bool isClearCommand(const QString& line);

// The typed line in the system's 8-bit encoding, without terminator.
QByteArray encodeLine(const QString& line);

// The answer text: UTF-8 up to the first zero byte or the end of the data.
QString decodeAnswer(const quint8* data, int size);

} // namespace ConsoleText
