#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// The result report of a batch, a text file:
//   2026-12-06 14:03:09
//   (empty line)
//   IP<five tabs>Result
//   ================================================
//   192.168.1.20<two tabs>Succeeded
// The caller gives the texts in the technician's language.
namespace BatchReport {

struct Row {
    QString address;
    QString result;
};

struct Texts {
    QString ip = QStringLiteral("IP");
    QString result = QStringLiteral("Result");
};

// The task status texts "Not Start", "In Progress", "Succeeded", "Failed"
// for 0 to 3, translated in the batch dialog's context; an empty string for
// any other value.
QString statusText(int status);
// The Result column for a status: its text, or "Code: " and the number for a
// value without one.
QString resultText(int status);

QByteArray format(const QDateTime& when, const QList<Row>& rows, const Texts& texts = Texts());

// Writes the report so that a failure never leaves a half-written file under
// `path` (an existing file stays as it was). With no rows the file is
// created empty. False when it cannot be written.
bool write(const QString& path, const QDateTime& when, const QList<Row>& rows, const Texts& texts = Texts());

// The CSV export, beside the text report: a header row, then one row per card
//   address,status,reason,version,bytes_sent,resends,seconds,image_sha256,programming_type,tool_version
// in fixed English whatever the language shown, with CRLF line ends; a
// field holding a comma, a quote or a line end is quoted, and one that a
// spreadsheet would take for a formula gets a leading apostrophe.
struct CsvRow {
    QString address;
    int status = 0;
    QString reason;
    QString version;
    qint64 bytesSent = 0;
    int resends = 0;
    double seconds = 0;
};

// What every row of one batch shares.
struct CsvBatch {
    QByteArray imageSha256; // hex; empty for a version batch
    int type = 0;
    QString toolVersion;
};

QByteArray csv(const QList<CsvRow>& rows, const CsvBatch& batch);
bool writeCsv(const QString& path, const QList<CsvRow>& rows, const CsvBatch& batch);

} // namespace BatchReport
