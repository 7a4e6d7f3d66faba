#include "jsontext.h"

#include <QSet>
#include <QString>
#include <QVector>

namespace JsonText {

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Reads the string that starts at the quote at `pos` and returns it decoded,
// so that "a" and "\u0061" are the same key; `pos` ends behind the closing
// quote (or at the end of an unterminated string). `unsafe` is set for a
// zero character, raw or escaped: Qt 5 does not keep member names apart
// that differ only behind one.
QString readString(const QByteArray& text, int& pos, bool& unsafe)
{
    QString value;
    const int size = text.size();
    ++pos;
    int run = pos;
    while (pos < size && text.at(pos) != '"') {
        if (text.at(pos) != '\\') {
            if (text.at(pos) == '\0')
                unsafe = true;
            ++pos;
            continue;
        }
        value += QString::fromUtf8(text.constData() + run, pos - run);
        ++pos;
        if (pos >= size)
            break;
        const char escape = text.at(pos++);
        switch (escape) {
        case 'b': value += QLatin1Char('\b'); break;
        case 'f': value += QLatin1Char('\f'); break;
        case 'n': value += QLatin1Char('\n'); break;
        case 'r': value += QLatin1Char('\r'); break;
        case 't': value += QLatin1Char('\t'); break;
        case 'u': {
            ushort unit = 0;
            int digits = 0;
            while (digits < 4 && pos < size && hexValue(text.at(pos)) >= 0) {
                unit = ushort(unit * 16 + hexValue(text.at(pos++)));
                ++digits;
            }
            if (unit == 0)
                unsafe = true;
            value += QChar(unit);
            break;
        }
        default: value += QLatin1Char(escape); break;
        }
        run = pos;
    }
    value += QString::fromUtf8(text.constData() + run, qMin(pos, size) - run);
    if (pos < size)
        ++pos; // the closing quote
    return value;
}

} // namespace

bool isAmbiguous(const QByteArray& text)
{
    struct Container {
        bool object = false;
        bool expectKey = false;
        QSet<QString> keys;
    };
    QVector<Container> open;
    const int size = text.size();
    int pos = 0;
    while (pos < size) {
        const char c = text.at(pos);
        switch (c) {
        case '{': open.append(Container { true, true, {} }); break;
        case '[': open.append(Container { false, false, {} }); break;
        case '}':
        case ']':
            if (!open.isEmpty())
                open.removeLast();
            break;
        case ',':
            if (!open.isEmpty() && open.last().object)
                open.last().expectKey = true;
            break;
        case '"': {
            bool unsafe = false;
            const QString value = readString(text, pos, unsafe);
            if (!open.isEmpty() && open.last().object && open.last().expectKey) {
                if (unsafe)
                    return true;
                Container& object = open.last();
                if (object.keys.contains(value))
                    return true;
                object.keys.insert(value);
                object.expectKey = false;
            }
            continue; // readString has moved on
        }
        default: break;
        }
        ++pos;
    }
    return false;
}

QJsonDocument parse(const QByteArray& text, QJsonParseError* error)
{
    if (isAmbiguous(text)) {
        if (error) {
            // Qt has no code of its own for it; the callers only ask
            // whether the text was taken.
            error->error = QJsonParseError::IllegalValue;
            error->offset = 0;
        }
        return QJsonDocument();
    }
    QJsonParseError own;
    const QJsonDocument document = QJsonDocument::fromJson(text, error ? error : &own);
    return document;
}

} // namespace JsonText
