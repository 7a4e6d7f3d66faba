#include "recorder.h"

#include <QJsonDocument>
#include <QMutexLocker>

Recorder::Recorder()
{
    m_clock.start();
}

bool Recorder::openFile(const QString& path, QString* error)
{
    QMutexLocker lock(&m_mutex);
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (error)
            *error = m_file.errorString();
        return false;
    }
    return true;
}

void Recorder::frame(
    const QString& card, int conn, bool incoming, int cmd, const QByteArray& data, const QByteArray& frame)
{
    if (!m_keepInMemory && !m_file.isOpen())
        return;
    QJsonObject record;
    record.insert(QStringLiteral("card"), card);
    record.insert(QStringLiteral("conn"), conn);
    record.insert(QStringLiteral("dir"), incoming ? QStringLiteral("in") : QStringLiteral("out"));
    record.insert(QStringLiteral("cmd"), cmd);
    record.insert(QStringLiteral("size"), data.size());
    const bool cut = frame.size() > m_dataLimit;
    record.insert(QStringLiteral("data"), QString::fromLatin1(data.left(m_dataLimit).toHex()));
    record.insert(QStringLiteral("frame"), QString::fromLatin1(frame.left(m_dataLimit).toHex()));
    if (cut)
        record.insert(QStringLiteral("truncated"), true);
    add(record);
}

void Recorder::event(const QString& card, int conn, const QString& name, const QJsonObject& extra)
{
    if (!m_keepInMemory && !m_file.isOpen())
        return;
    QJsonObject record = extra;
    record.insert(QStringLiteral("card"), card);
    record.insert(QStringLiteral("conn"), conn);
    record.insert(QStringLiteral("event"), name);
    add(record);
}

void Recorder::add(QJsonObject record)
{
    QMutexLocker lock(&m_mutex);
    record.insert(QStringLiteral("t"), m_clock.elapsed());
    if (m_file.isOpen()) {
        m_file.write(QJsonDocument(record).toJson(QJsonDocument::Compact));
        m_file.write("\n");
        m_file.flush();
    }
    if (m_keepInMemory)
        m_records.append(record);
}

QVector<QJsonObject> Recorder::records() const
{
    // A copy of its own, not one that shares m_records' storage: a reader
    // that detaches a shared copy outside the lock reads the storage while
    // the simulator's next append, seeing the count drop back to one, writes
    // to it in place (the count is read relaxed, so nothing orders the two).
    QMutexLocker lock(&m_mutex);
    QVector<QJsonObject> copy;
    copy.reserve(m_records.size());
    for (const QJsonObject& record : m_records)
        copy.append(record);
    return copy;
}

void Recorder::clear()
{
    QMutexLocker lock(&m_mutex);
    m_records.clear();
}
