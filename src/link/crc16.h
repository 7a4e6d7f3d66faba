#pragma once

#include <QByteArray>
#include <QtGlobal>

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final
// XOR. The card protocol frame, the firmware package trailer and the Modbus
// send mode of the serial port test all use this one function. Where the
// value goes on the wire it is stored low byte first.
constexpr quint16 kCrc16ModbusInit = 0xFFFF;

quint16 crc16Modbus(const void* data, qsizetype size, quint16 crc = kCrc16ModbusInit);

inline quint16 crc16Modbus(const QByteArray& bytes, quint16 crc = kCrc16ModbusInit)
{
    return crc16Modbus(bytes.constData(), bytes.size(), crc);
}
