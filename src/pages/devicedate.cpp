#include "devicedate.h"

namespace DeviceDate {

QString format()
{
    return QStringLiteral("yyyy-MM-dd hh:mm:ss");
}

QString pattern()
{
    return QStringLiteral("2[0-9]{3}-(1[0-2]|0[1-9])-[0-3][0-9] ([0-9]{2}:){2}[0-9]{2}");
}

QByteArray syncData(const QDateTime& localTime)
{
    return localTime.toString(format()).toLocal8Bit();
}

QString fromReply(const quint8* data, int size)
{
    if (!data || size != kTextSize)
        return QString();
    return QString::fromLocal8Bit(reinterpret_cast<const char*>(data), size);
}

} // namespace DeviceDate
