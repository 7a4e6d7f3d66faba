#include "iphistory.h"

#include "platform/safesave.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace IpHistory {

const char* const kFile = "config/completer.dat";

QByteArray encode(const QStringList& history)
{
    QByteArray bytes;
    bytes.reserve(history.size() * kRecordSize);
    for (const QString& entry : history) {
        // An address is at most 15 characters; the record keeps its zero byte.
        QByteArray record = entry.toLatin1().left(kRecordSize - 1);
        record.append(QByteArray(kRecordSize - record.size(), '\0'));
        bytes.append(record);
    }
    return bytes;
}

QStringList decode(const QByteArray& bytes)
{
    QStringList history;
    for (int offset = 0; offset < bytes.size(); offset += kRecordSize) {
        const QByteArray record = bytes.mid(offset, kRecordSize);
        const int end = record.indexOf('\0');
        history.append(QString::fromLatin1(end < 0 ? record : record.left(end)));
    }
    return history;
}

QStringList read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decode(file.readAll());
}

bool write(const QString& path, const QStringList& history)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    return SafeSave::write(path, encode(history));
}

} // namespace IpHistory
