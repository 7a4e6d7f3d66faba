#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// The card's list of log files (reply data of code 8) and the rules the log
// page applies to it, without widgets.
//
// The list is a sequence of entries up to the end of the data, each one
// length byte L (0 to 255) followed by L bytes of name in UTF-8.
namespace LogList {

struct Entries {
    QStringList names; // in the card's order, repeats included
    int longest = 0; // the largest L among the complete entries
    bool truncated = false; // an entry ran past the end of the data
};

// Walks the entries. An entry whose length runs past the end of the data ends
// the walk: it is not a name, does not count for `longest`, and nothing
// beyond the data is read.
Entries parse(const quint8* data, int size);
inline Entries parse(const QByteArray& data)
{
    return parse(reinterpret_cast<const quint8*>(data.constData()), data.size());
}

// The list data for `names` (the card's side); names are cut to 255 bytes.
QByteArray build(const QStringList& names);

// The fixed width, in pixels, of the choice list: its font size in points
// times the longest name in bytes times 0.8, rounded to the nearest integer,
// halves up.
int choiceWidth(qreal pointSize, int longestName);

// The file name as the card expects it in the open request (code 9): the
// PC's local 8-bit encoding, no length, no terminator.
QByteArray openRequest(const QString& name);

} // namespace LogList
