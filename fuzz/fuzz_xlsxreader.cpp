// Arbitrary bytes as a device-list workbook: the reader must fail cleanly or
// give cells inside the sheet's bounds.
#include "programming/xlsxreader.h"

#include <QTemporaryFile>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QTemporaryFile file;
    if (!file.open())
        return 0;
    file.write(reinterpret_cast<const char*>(data), qint64(size));
    file.flush();
    XlsxReader reader;
    if (reader.read(file.fileName())) {
        for (const XlsxReader::Cell& cell : reader.cells()) {
            if (cell.row < 1 || cell.row > 1048576 || cell.column < 1 || cell.column > 16384 || cell.text.isEmpty())
                abort();
        }
        (void)reader.usedRange().toString();
    }
    return 0;
}
