#pragma once

#include <QString>
#include <QStringList>

// Device lists for batch programming: card addresses read from a text, CSV
// or .xlsx file. Each reader gives the addresses in file order, only those
// that match the IP address pattern exactly, each once.
namespace DeviceList {

enum class Result { Ok, CannotOpen, NotAWorkbook };

// A device list is short: a longer line (without its line end) is no address.
constexpr int kMaxLineBytes = 4095;

// One address per line: white space around it is removed and inner runs
// reduced to one space, one trailing comma is dropped; other lines (an
// address followed by more text, two commas, a line longer than
// kMaxLineBytes, anything else) are skipped.
Result readText(const QString& path, QStringList* addresses);

// The workbook's current sheet: the used range is computed from the cells
// that hold a value, and the cell in its first column is read for every row
// of the range. A sheet whose only value is in A1 gives that value.
Result readWorkbook(const QString& path, QStringList* addresses, QString* error = nullptr);

// Chooses the reader by the file name: a name ending in "xlsx" is a workbook.
Result read(const QString& path, QStringList* addresses, QString* error = nullptr);

// The line rule on its own: the address the line holds, or an empty string.
QString addressFromLine(const QByteArray& line);

} // namespace DeviceList
