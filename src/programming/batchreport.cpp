#include "batchreport.h"

#include <QCoreApplication>
#include <QSaveFile>

namespace {

const char* const kContext = "BatchProgrammingDialog";

const char* const kStatusTexts[] = {
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "Not Start"),
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "In Progress"),
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "Succeeded"),
    QT_TRANSLATE_NOOP("BatchProgrammingDialog", "Failed"),
};

} // namespace

namespace BatchReport {

QString statusText(int status)
{
    if (status < 0 || status > 3)
        return QString();
    return QCoreApplication::translate(kContext, kStatusTexts[status]);
}

QString resultText(int status)
{
    if (status >= 0 && status <= 3)
        return statusText(status);
    return QCoreApplication::translate("BatchProgrammingDialog", "Code: ") + QString::number(status);
}

QByteArray format(const QDateTime& when, const QList<Row>& rows, const Texts& texts)
{
    if (rows.isEmpty())
        return QByteArray();
    QString out;
    out += when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("\n\n");
    out += texts.ip + QStringLiteral("\t\t\t\t\t") + texts.result + QLatin1Char('\n');
    out += QString(48, QLatin1Char('=')) + QLatin1Char('\n');
    for (const Row& row : rows)
        out += row.address + QStringLiteral("\t\t") + row.result + QLatin1Char('\n');
    return out.toUtf8();
}

bool write(const QString& path, const QDateTime& when, const QList<Row>& rows, const Texts& texts)
{
    QSaveFile file(path);
    // Unbuffered: QSaveFile::commit() does not notice when the bytes still
    // buffered fail to reach the disk, and would put a short file in place.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    const QByteArray bytes = format(when, rows, texts);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace BatchReport
