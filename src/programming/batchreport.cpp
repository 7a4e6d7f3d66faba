#include "batchreport.h"

#include "platform/safesave.h"
#include <QCoreApplication>

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
    return SafeSave::write(path, format(when, rows, texts));
}

} // namespace BatchReport
