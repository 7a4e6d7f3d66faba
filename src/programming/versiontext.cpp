#include "versiontext.h"

#include <QList>

#include <cstdio>

namespace VersionText {

QByteArray text(const quint8* data, int size)
{
    if (!data || size <= 0)
        return QByteArray();
    const auto* begin = reinterpret_cast<const char*>(data);
    int length = 0;
    while (length < size && begin[length] != '\0')
        ++length;
    return QByteArray(begin, length);
}

bool value(const QByteArray& text, qint32* combined)
{
    int major = 0;
    int minor = 0;
    int patch = 0;
    // QByteArray keeps a terminating zero behind its data, so the scan
    // cannot run past the reply.
    if (std::sscanf(text.constData(), "v%d.%d.%d %*s", &major, &minor, &patch) != 3)
        return false;
    // Combined as the card's own int arithmetic does, without shifting a
    // negative number.
    const quint32 bits = (quint32(major) << 16) | (quint32(minor) << 8) | quint32(patch);
    if (combined)
        *combined = qint32(bits);
    return true;
}

bool usesOldProtocol(const quint8* data, int size)
{
    if (size < 6)
        return false;
    qint32 combined = 0;
    if (!value(text(data, size), &combined))
        return false;
    return combined < kSequencedSince;
}

QString versionWord(const QByteArray& text)
{
    for (const QByteArray& word : text.split(' ')) {
        if (word.startsWith('v'))
            return QString::fromUtf8(word);
    }
    return QString::fromUtf8(text);
}

} // namespace VersionText
