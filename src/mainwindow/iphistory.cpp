#include "iphistory.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

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
    QSaveFile file(path);
    // Unbuffered: QSaveFile::commit() does not notice when the bytes still
    // buffered fail to reach the disk, and would put a short file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray bytes = encode(history);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace IpHistory
