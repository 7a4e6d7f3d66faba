#include "consoletext.h"

#include <cstring>

namespace ConsoleText {

bool isClearCommand(const QString& line)
{
    return line == QLatin1String("clear");
}

QByteArray encodeLine(const QString& line)
{
    return line.toLocal8Bit();
}

QString decodeAnswer(const quint8* data, int size)
{
    if (!data || size <= 0)
        return QString();
    const void* zero = std::memchr(data, 0, size_t(size));
    const int length = zero ? int(static_cast<const quint8*>(zero) - data) : size;
    return QString::fromUtf8(reinterpret_cast<const char*>(data), length);
}

} // namespace ConsoleText
