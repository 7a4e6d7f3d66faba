// A text or CSV device list a technician is handed: the reader must give
// exactly the addresses that whole lines of the file hold, each once, in
// file order, whatever the file holds (long lines, no line ends, any bytes).
// A line longer than the reader's limit holds no address.
//
// Input: byte 0 chooses the file name (.txt or .csv), the rest is the file.
#include "fuzzcheck.h"

#include "link/ipaddresspattern.h"
#include "programming/devicelist.h"

#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    static QTemporaryDir dir;
    const QString path = dir.filePath(data[0] & 1 ? QStringLiteral("cards.csv") : QStringLiteral("cards.txt"));
    const QByteArray content(reinterpret_cast<const char*>(data + 1), int(size - 1));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(content);
    }

    QStringList addresses { QStringLiteral("left over") };
    QString error;
    FUZZ_CHECK(DeviceList::read(path, &addresses, &error) == DeviceList::Result::Ok);

    // The lines of the file, each taken whole; over-long ones are no address.
    QStringList expected;
    for (const QByteArray& line : content.split('\n')) {
        if (line.size() > DeviceList::kMaxLineBytes)
            continue;
        const QString address = DeviceList::addressFromLine(line);
        if (!address.isEmpty() && !expected.contains(address))
            expected.append(address);
    }
    if (addresses != expected) {
        std::fprintf(stderr, "read:     %s\nexpected: %s\n", qPrintable(addresses.join(QLatin1Char(' '))),
            qPrintable(expected.join(QLatin1Char(' '))));
    }
    FUZZ_CHECK(addresses == expected);
    for (const QString& address : addresses)
        FUZZ_CHECK(IpAddressPattern::matches(address));
    return 0;
}
