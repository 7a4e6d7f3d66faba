#pragma once

#include <QByteArray>
#include <QJsonDocument>

// JSON texts from outside (a card's replies, frames anyone on the segment
// can send) go through here rather than straight to QJsonDocument.
namespace JsonText {

// True when some object of the text names one member twice, or names one
// with a zero character in it (raw or escaped). The text need not be valid
// JSON.
bool isAmbiguous(const QByteArray& text);

// QJsonDocument::fromJson, except that an ambiguous text is refused as not
// valid JSON. Qt 5's parser leaks the earlier value of a member named twice
// when it is an array or an object, so a peer sending such texts over and
// over would make the tool grow without bound; and it folds member names
// that differ only behind zero characters into one.
QJsonDocument parse(const QByteArray& text, QJsonParseError* error);

} // namespace JsonText
