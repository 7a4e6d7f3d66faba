#pragma once

// What the programming page, worker and dialog tests share: the folder of a
// test case, the data of a recorded frame, and quiet offscreen windows.

#include "packagebuilder.h"

#include <QJsonObject>
#include <QTemporaryDir>
#include <QtGlobal>

namespace ProgrammingTest {

// The temporary folder of one test case: the files the test writes and the
// images the simulated cards store there (the simulator's --prog-store).
class Workspace {
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    // Writes `bytes` to `name` in the folder; the path, or empty on failure.
    QString file(const QString& name, const QByteArray& bytes) const
    {
        const QString where = path(name);
        return PackageBuilder::write(where, bytes) ? where : QString();
    }
    QString store() const { return path(QStringLiteral("{addr}-{type}.bin")); }
    QString flashPath(const QString& card, int type) const
    {
        return path(QStringLiteral("%1-%2.bin").arg(card).arg(type));
    }
    QByteArray flash(const QString& card, int type) const { return PackageBuilder::read(flashPath(card, type)); }

private:
    QTemporaryDir m_dir;
};

inline QByteArray data(const QJsonObject& record)
{
    return QByteArray::fromHex(record.value(QStringLiteral("data")).toString().toLatin1());
}

// The offscreen platform warns about size hints for every window shown.
inline void quietOffscreenWarnings()
{
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& message) {
        if (!message.contains(QLatin1String("propagateSizeHints")))
            previous(type, context, message);
    });
}

} // namespace ProgrammingTest
