#include "apppaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

// NETQUILL_BIN_DIR, NETQUILL_DATA_DIR and NETQUILL_HELPER_DIR: the install
// folders relative to the prefix, from CMake.

namespace {

QString executableDirectory()
{
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // The crash handler is installed before the application object exists.
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath()).absolutePath();
}

// The install prefix when the running executable is the installed one,
// empty otherwise.
QString installPrefix()
{
    static const QString prefix = [] {
        const QString bin = QLatin1String(NETQUILL_BIN_DIR);
        const QString exeDir = QDir::cleanPath(executableDirectory());
        if (exeDir.isEmpty() || !exeDir.endsWith(QLatin1Char('/') + bin))
            return QString();
        const QString candidate = exeDir.left(exeDir.size() - bin.size() - 1);
        const QString root = candidate.isEmpty() ? QStringLiteral("/") : candidate;
        return QFileInfo(QDir(root).filePath(QLatin1String(NETQUILL_DATA_DIR))).isDir() ? root : QString();
    }();
    return prefix;
}

} // namespace

namespace AppPaths {

bool isInstalled()
{
    return !installPrefix().isEmpty();
}

QString userDataDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/netquill");
}

bool enterWorkingDirectory()
{
    if (!isInstalled())
        return true;
    const QString directory = userDataDirectory();
    return QDir().mkpath(directory) && QDir::setCurrent(directory);
}

QString applicationDirectory()
{
    return isInstalled() ? userDataDirectory() : executableDirectory();
}

QString translationFile()
{
    if (!isInstalled())
        return QStringLiteral("translations/zh.qm");
    return QDir(installPrefix()).filePath(QLatin1String(NETQUILL_DATA_DIR) + QStringLiteral("/translations/zh.qm"));
}

QString crashBoxPath()
{
    const QString directory
        = isInstalled() ? QDir(installPrefix()).filePath(QLatin1String(NETQUILL_HELPER_DIR)) : executableDirectory();
    return directory + QLatin1Char('/') + QLatin1String(kCrashBoxName);
}

} // namespace AppPaths
