#include "cardconfig.h"

QString CardConfig::text(const QString& key, const QString& fallback) const
{
    return m_values.value(key, fallback);
}

qint64 CardConfig::integer(const QString& key, qint64 fallback) const
{
    if (!m_values.contains(key))
        return fallback;
    bool ok = false;
    const qint64 value = m_values.value(key).toLongLong(&ok, 0);
    return ok ? value : fallback;
}

bool CardConfig::flag(const QString& key) const
{
    if (!m_values.contains(key))
        return false;
    const QString value = m_values.value(key).trimmed().toLower();
    return !(value == QLatin1String("0") || value == QLatin1String("false") || value == QLatin1String("no")
        || value == QLatin1String("off"));
}
