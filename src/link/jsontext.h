#pragma once

#include <QByteArray>
#include <QJsonDocument>

// JSON texts from outside (a card's replies, frames anyone on the segment
// can send) go through here rather than straight to QJsonDocument.
namespace JsonText {

// True when some object of the text names one member twice. Only the
// strings in key position are looked at; the text need not be valid JSON.
bool hasDuplicateKeys(const QByteArray& text);

// QJsonDocument::fromJson, except that a text naming a member twice is
// refused as not valid JSON: it is ambiguous, and Qt 5's parser leaks the
// earlier value of such a member when it is an array or an object, so a
// peer sending such texts over and over would make the tool grow without
// bound.
QJsonDocument parse(const QByteArray& text, QJsonParseError* error);

} // namespace JsonText
