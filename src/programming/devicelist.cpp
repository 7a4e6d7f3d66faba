#include "devicelist.h"

#include "link/ipaddresspattern.h"
#include "xlsxreader.h"

#include <QFile>

namespace DeviceList {

namespace {

void addUnique(QStringList* addresses, const QString& candidate)
{
    if (IpAddressPattern::matches(candidate) && !addresses->contains(candidate))
        addresses->append(candidate);
}

} // namespace

QString addressFromLine(const QByteArray& line)
{
    QByteArray text = line.simplified();
    if (text.endsWith(','))
        text.chop(1);
    const QString candidate = QString::fromUtf8(text);
    return IpAddressPattern::matches(candidate) ? candidate : QString();
}

Result readText(const QString& path, QStringList* addresses)
{
    addresses->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Result::CannotOpen;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine(kMaxLineBytes + 1);
        if (line.isEmpty())
            break;
        if (!line.endsWith('\n') && !file.atEnd()) {
            char next = 0;
            if (file.peek(&next, 1) == 1 && next == '\n') {
                file.skip(1); // a line of exactly kMaxLineBytes
            } else {
                // The rest of an over-long line is no line of its own: its
                // tail must not be taken for an address.
                QByteArray rest;
                do
                    rest = file.readLine(kMaxLineBytes + 1);
                while (!rest.isEmpty() && !rest.endsWith('\n'));
                continue;
            }
        }
        addUnique(addresses, addressFromLine(line));
    }
    return Result::Ok;
}

Result readWorkbook(const QString& path, QStringList* addresses, QString* error)
{
    addresses->clear();
    XlsxReader reader;
    if (!reader.read(path)) {
        if (error)
            *error = reader.errorString();
        return Result::NotAWorkbook;
    }
    const XlsxReader::Range range = reader.usedRange();
    if (range.isEmpty())
        return Result::Ok;
    for (int row = range.firstRow; row <= range.lastRow; ++row) {
        const QString text = reader.cellText(row, range.firstColumn);
        if (!text.isNull())
            addUnique(addresses, text);
    }
    return Result::Ok;
}

Result read(const QString& path, QStringList* addresses, QString* error)
{
    if (path.endsWith(QLatin1String("xlsx")))
        return readWorkbook(path, addresses, error);
    return readText(path, addresses);
}

} // namespace DeviceList
