#pragma once

#include <QByteArray>
#include <QString>

class QSaveFile;

// How the tool writes a file that must never be half-written: through a
// QSaveFile, so that the file takes its new content whole or keeps its old
// one. The file is opened unbuffered: QSaveFile::commit() does not notice
// when bytes still buffered fail to reach the disk, and would put a short
// file in place.
namespace SafeSave {

// Opens `file` (named already) for writing, unbuffered.
bool open(QSaveFile& file);

// Makes `bytes` the whole content of `path`; false, with the old file kept
// and the reason in `error`, when any byte could not be written.
bool write(const QString& path, const QByteArray& bytes, QString* error = nullptr);

} // namespace SafeSave
