#include "startup.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTranslator>

namespace StartUp {

const char* const kSettingsFile = "config/settings.ini";
const char* const kTranslationFile = "translations/zh.qm";

int applyLanguage(QSettings& settings, QTranslator& translator)
{
    const QString key = QStringLiteral("language");
    if (!settings.contains(key)) {
        settings.setValue(key, QStringLiteral("English"));
        return 0;
    }
    if (settings.value(key).toString() != QLatin1String("Chinese"))
        return 0;
    if (translator.load(QString::fromLatin1(kTranslationFile)))
        QCoreApplication::installTranslator(&translator);
    return 1;
}

} // namespace StartUp
