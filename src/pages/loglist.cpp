#include "loglist.h"

#include <cmath>

namespace LogList {

namespace {

constexpr int kMaxNameBytes = 255;

} // namespace

Entries parse(const quint8* data, int size)
{
    Entries result;
    if (!data || size <= 0)
        return result;
    int pos = 0;
    // Every step consumes at least the length byte, so the walk ends after at
    // most `size` steps.
    while (pos < size) {
        const int length = data[pos];
        if (length > size - pos - 1) {
            result.truncated = true;
            break;
        }
        result.names.append(QString::fromUtf8(reinterpret_cast<const char*>(data + pos + 1), length));
        result.longest = qMax(result.longest, length);
        pos += 1 + length;
    }
    return result;
}

QByteArray build(const QStringList& names)
{
    QByteArray data;
    for (const QString& name : names) {
        QByteArray bytes = name.toUtf8();
        if (bytes.size() > kMaxNameBytes)
            bytes.truncate(kMaxNameBytes);
        data.append(char(bytes.size()));
        data.append(bytes);
    }
    return data;
}

int choiceWidth(qreal pointSize, int longestName)
{
    if (pointSize <= 0 || longestName <= 0)
        return 0;
    // 0.8 as 4/5 keeps whole point sizes exact.
    const double width = double(pointSize) * longestName * 4.0 / 5.0;
    return int(std::floor(width + 0.5));
}

QByteArray openRequest(const QString& name)
{
    return name.toLocal8Bit();
}

} // namespace LogList
