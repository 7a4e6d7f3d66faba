#include "portrecords.h"

namespace PortRecords {

int portFromText(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

bool isValidPort(int port)
{
    return port >= kMinPort && port <= kMaxPort;
}

QByteArray encode(const Table& rows)
{
    QByteArray data(kDataSize, '\0');
    for (int i = 0; i < kServiceCount; ++i) {
        const Entry& row = rows[size_t(i)];
        if (!isValidPort(row.port))
            return QByteArray();
        data[i * kRecordSize] = char(row.enabled ? 1 : 0);
        data[i * kRecordSize + 1] = char((row.port >> 8) & 0xFF);
        data[i * kRecordSize + 2] = char(row.port & 0xFF);
    }
    return data;
}

bool decode(const quint8* data, int size, Table* rows)
{
    if (!data || size != kDataSize)
        return false;
    for (int i = 0; i < kServiceCount; ++i) {
        const quint8* record = data + i * kRecordSize;
        Entry& row = (*rows)[size_t(i)];
        row.enabled = record[0] != 0;
        row.port = record[1] * 256 + record[2];
    }
    return true;
}

} // namespace PortRecords
