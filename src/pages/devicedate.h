#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The card's clock as it travels with read date (code 6) and set date
// (code 7): exactly 19 characters "yyyy-MM-dd hh:mm:ss", 24-hour clock,
// no terminator.
namespace DeviceDate {

constexpr int kTextSize = 19;

QString format();
// What the date field admits.
QString pattern();

// The set-date request for a local time, in the local 8-bit encoding.
QByteArray syncData(const QDateTime& localTime);

// The text of a read-date reply; a null string unless it holds exactly 19 bytes.
QString fromReply(const quint8* data, int size);

} // namespace DeviceDate
