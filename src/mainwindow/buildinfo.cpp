#include "buildinfo.h"

namespace BuildInfo {

QString date()
{
    return QString::fromLatin1(__DATE__);
}

QString time()
{
    return QString::fromLatin1(__TIME__);
}

} // namespace BuildInfo
