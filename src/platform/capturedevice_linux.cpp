#include "capturedevice.h"

#include <QNetworkInterface>

#include <net/if.h>

QString captureDeviceName(const QString& interfaceName, const QString& hardwareAddress)
{
    if (!interfaceName.isEmpty()) {
        // The kernel's own table, not a cached list: the adapter may have
        // gone since the page last polled.
        return ::if_nametoindex(interfaceName.toLocal8Bit().constData()) != 0 ? interfaceName : QString();
    }
    if (hardwareAddress.isEmpty())
        return QString();
    const QList<QNetworkInterface> interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        if (iface.hardwareAddress().toUpper() == hardwareAddress)
            return iface.name();
    }
    return QString();
}
