#include "filechoice.h"

#include "link/commandcodes.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

namespace {

const QString kStampFormat = QStringLiteral("yyyyMMdd-hhmmss");

QString key(const char* purpose)
{
    return QLatin1String(FileChoice::kFolderGroup) + QLatin1Char('/') + QLatin1String(purpose);
}

// The suffixes of the first filter of a list such as "Binary File(*.bin);;*":
// its patterns are those in parentheses, or the whole filter without any.
QStringList suffixes(const QString& filter)
{
    QString patterns = filter.section(QStringLiteral(";;"), 0, 0);
    const int open = patterns.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && patterns.endsWith(QLatin1Char(')')))
        patterns = patterns.mid(open + 1, patterns.size() - open - 2);
    QStringList result;
    for (const QString& pattern : patterns.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString suffix = pattern.mid(1);
        if (pattern.startsWith(QLatin1String("*.")) && !suffix.contains(QLatin1Char('*')))
            result.append(suffix);
    }
    return result;
}

} // namespace

namespace FileChoice {

QString folder(const QString& settingsFile, const char* purpose, const QString& first)
{
    if (settingsFile.isEmpty() || !purpose)
        return first;
    const QString kept = QSettings(settingsFile, QSettings::IniFormat).value(key(purpose)).toString();
    return !kept.isEmpty() && QFileInfo(kept).isDir() ? kept : first;
}

void rememberFolder(const QString& settingsFile, const char* purpose, const QString& chosenFile)
{
    if (settingsFile.isEmpty() || !purpose || chosenFile.isEmpty())
        return;
    QSettings(settingsFile, QSettings::IniFormat).setValue(key(purpose), QFileInfo(chosenFile).absolutePath());
}

QString withFilterSuffix(const QString& path, const QString& filter)
{
    const QStringList known = suffixes(filter);
    if (path.isEmpty() || known.isEmpty() || QFileInfo(path).isDir())
        return path;
    for (const QString& suffix : known) {
        if (path.endsWith(suffix, Qt::CaseInsensitive))
            return path;
    }
    return path + known.first();
}

QString backupName(const QString& address, int type, const QDateTime& when)
{
    const QString prefix = address.isEmpty() ? QString() : address + QLatin1Char('_');
    return prefix + CommandCode::programmingTypeName(type) + QLatin1Char('_') + when.toString(kStampFormat)
        + QStringLiteral(".bin");
}

QString parameterName(const QString& address)
{
    return address.isEmpty() ? QStringLiteral("params.ini") : address + QStringLiteral("_params.ini");
}

QString reportName(const QString& suffix, const QDateTime& when)
{
    return QStringLiteral("batch_") + when.toString(kStampFormat) + QLatin1Char('.') + suffix;
}

} // namespace FileChoice
