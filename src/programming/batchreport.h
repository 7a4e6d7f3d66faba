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

} // namespace BatchReport
