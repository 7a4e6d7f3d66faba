#pragma once

#include <QHash>
#include <QString>

// The settings of one simulated card: every option of the simulator, given
// for all cards on the command line or for one card with --card ADDR:key=value.
class CardConfig {
public:
    void set(const QString& key, const QString& value) { m_values.insert(key, value); }
    bool has(const QString& key) const { return m_values.contains(key); }

    QString text(const QString& key, const QString& fallback = QString()) const;
    qint64 integer(const QString& key, qint64 fallback = 0) const;
    // A flag given without value counts as set; "0", "false", "no", "off" do not.
    bool flag(const QString& key) const;

private:
    QHash<QString, QString> m_values;
};
