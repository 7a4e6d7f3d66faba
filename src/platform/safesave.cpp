#include "safesave.h"

#include <QSaveFile>

namespace SafeSave {

bool open(QSaveFile& file)
{
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

bool write(const QString& path, const QByteArray& bytes, QString* error)
{
    QSaveFile file(path);
    bool ok = open(file) && file.write(bytes) == bytes.size();
    if (!ok)
        file.cancelWriting();
    else
        ok = file.commit();
    if (!ok && error)
        *error = file.errorString();
    return ok;
}

} // namespace SafeSave
