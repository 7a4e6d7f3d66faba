#include "batchreport.h"

#include "link/commandcodes.h"
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

QString csvField(const QString& text)
{
    QString field = text;
    // A spreadsheet runs a cell that begins so; the version comes from the card.
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    if (!field.isEmpty() && formulaStarts.contains(field.at(0)))
        field.prepend(QLatin1Char('\''));
    if (field.contains(QLatin1Char(',')) || field.contains(QLatin1Char('"')) || field.contains(QLatin1Char('\n'))
        || field.contains(QLatin1Char('\r'))) {
        field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        field = QLatin1Char('"') + field + QLatin1Char('"');
    }
    return field;
}

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

QByteArray csv(const QList<CsvRow>& rows, const CsvBatch& batch)
{
    QString out = QStringLiteral(
        "address,status,reason,version,bytes_sent,resends,seconds,image_sha256,programming_type,tool_version\r\n");
    for (const CsvRow& row : rows) {
        const QString status = row.status >= 0 && row.status <= 3 ? QString::fromLatin1(kStatusTexts[row.status])
                                                                  : QStringLiteral("Code: %1").arg(row.status);
        const QStringList fields { row.address, status, row.reason, row.version, QString::number(row.bytesSent),
            QString::number(row.resends), QString::number(row.seconds, 'f', 1), QString::fromLatin1(batch.imageSha256),
            CommandCode::programmingTypeName(batch.type), batch.toolVersion };
        QStringList escaped;
        for (const QString& field : fields)
            escaped.append(csvField(field));
        out += escaped.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    return out.toUtf8();
}

bool writeCsv(const QString& path, const QList<CsvRow>& rows, const CsvBatch& batch)
{
    return SafeSave::write(path, csv(rows, batch));
}

} // namespace BatchReport
