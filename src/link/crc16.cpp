#include "crc16.h"

#include <array>

namespace {

constexpr std::array<quint16, 256> makeTable()
{
    std::array<quint16, 256> table {};
    for (int i = 0; i < 256; ++i) {
        quint16 crc = quint16(i);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
        table[size_t(i)] = crc;
    }
    return table;
}

constexpr std::array<quint16, 256> kTable = makeTable();

} // namespace

quint16 crc16Modbus(const void* data, qsizetype size, quint16 crc)
{
    const auto* p = static_cast<const quint8*>(data);
    for (qsizetype i = 0; i < size; ++i)
        crc = quint16((crc >> 8) ^ kTable[(crc ^ p[i]) & 0xFF]);
    return crc;
}
