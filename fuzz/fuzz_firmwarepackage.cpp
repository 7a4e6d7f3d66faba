// Arbitrary bytes as an image file: the package reader must either refuse
// it or unwrap a payload no longer than the file.
#include "programming/firmwarepackage.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static QTemporaryDir dir;
    QTemporaryFile input(dir.filePath(QStringLiteral("input-XXXXXX")));
    if (!input.open())
        return 0;
    input.write(reinterpret_cast<const char*>(data), qint64(size));
    input.flush();
    const QString target = dir.filePath(QStringLiteral("payload.bin"));
    FirmwarePackage package(input.fileName());
    const bool unwrapped = package.extractTo(target);
    if (unwrapped && package.error() != FirmwarePackage::NoError)
        abort();
    if (unwrapped && QFileInfo(target).size() > qint64(size))
        abort();
    return 0;
}
