#pragma once

#include <QDateTime>
#include <QString>

// What the file dialogs decide without a window: the folder a dialog opens
// in, the name a save dialog suggests, and the suffix a typed name gets.
namespace FileChoice {

// The settings group that keeps, per purpose of a dialog ("image",
// "backup", ...), the folder it was last used in.
constexpr const char* kFolderGroup = "FileDialogs";

// The folder kept in `settingsFile` for `purpose`, while it still exists;
// otherwise (no settings file, never used, folder gone) `first`.
QString folder(const QString& settingsFile, const char* purpose, const QString& first);
// Keeps the folder of the chosen file as the one `purpose` opens in next.
void rememberFolder(const QString& settingsFile, const char* purpose, const QString& chosenFile);

// `path` with the suffix of the filter's first pattern (".ini" of
// "(*.ini)") added, unless its name ends with one of the filter's suffixes
// already. Card addresses in names hold dots, so a name with a dot may still
// lack the suffix: "192.168.1.10_params" becomes "192.168.1.10_params.ini".
// A filter without suffix ("*") and a path that is a folder change nothing.
QString withFilterSuffix(const QString& path, const QString& filter);

// "<address>_<type>_<yyyyMMdd-hhmmss>.bin"; the type by its name ("APP",
// "Firmware", "Patch", "root"). Without an address the name begins with
// the type.
QString backupName(const QString& address, int type, const QDateTime& when = QDateTime::currentDateTime());
// "<address>_params.ini", or "params.ini" without an address.
QString parameterName(const QString& address);
// "batch_<yyyyMMdd-hhmmss>.<suffix>".
QString reportName(const QString& suffix, const QDateTime& when = QDateTime::currentDateTime());

} // namespace FileChoice
