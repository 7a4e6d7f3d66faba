#include "serialframes.h"

#include "link/crc16.h"

#include <QStringList>

namespace SerialFrames {

QByteArray portNameBytes(const QString& name)
{
    QByteArray bytes = name.toUtf8();
    if (bytes.size() <= kMaxPortNameBytes)
        return bytes;
    int cut = kMaxPortNameBytes;
    // Never split a character: back up over UTF-8 continuation bytes.
    while (cut > 0 && (quint8(bytes.at(cut)) & 0xC0) == 0x80)
        --cut;
    bytes.truncate(cut);
    return bytes;
}

bool portNameFits(const QString& name)
{
    return name.toUtf8().size() <= kMaxPortNameBytes;
}

QByteArray openRequest(const PortSettings& settings)
{
    const QByteArray name = portNameBytes(settings.portName);
    QByteArray data;
    data.reserve(7 + name.size());
    data.append(char(settings.rs485 ? 1 : 0));
    data.append(char(quint8(name.size())));
    data.append(name);
    data.append(char(quint8(settings.baudIndex)));
    data.append(char(quint8(settings.dataBitsIndex)));
    data.append(char(quint8(settings.parityIndex)));
    data.append(char(quint8(settings.flowControlIndex)));
    data.append(char(quint8(settings.stopBitsIndex)));
    return data;
}

quint8 hexPart(const QString& part)
{
    QStringRef digits(&part);
    digits = digits.trimmed();
    if (digits.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        digits = digits.mid(2);
    if (digits.isEmpty())
        return 0;
    // Only the last two digits reach the low 8 bits, so a part of any length
    // is read without overflow.
    quint8 value = 0;
    for (const QChar c : digits) {
        int digit;
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
            digit = c.unicode() - '0';
        else if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
            digit = c.unicode() - 'a' + 10;
        else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
            digit = c.unicode() - 'A' + 10;
        else
            return 0;
        value = quint8((value << 4) | digit);
    }
    return value;
}

QByteArray encodeHex(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(' '), Qt::KeepEmptyParts);
    QByteArray bytes;
    bytes.reserve(parts.size() + 2);
    for (const QString& part : parts)
        bytes.append(char(hexPart(part)));
    return bytes;
}

QByteArray encodeModbus(const QString& text)
{
    QByteArray bytes = encodeHex(text);
    const quint16 crc = crc16Modbus(bytes);
    bytes.append(char(crc & 0xFF));
    bytes.append(char(crc >> 8));
    return bytes;
}

QByteArray encodeAscii(const QString& text)
{
    return text.toLatin1();
}

QByteArray encode(SendType type, const QString& text)
{
    switch (type) {
    case Ascii: return encodeAscii(text);
    case Modbus: return encodeModbus(text);
    case Hex: break;
    }
    return encodeHex(text);
}

QString hexPayload(const QByteArray& bytes)
{
    static const char kDigits[] = "0123456789abcdef";
    QString text;
    text.reserve(bytes.size() * 3);
    for (const char byte : bytes) {
        text.append(QLatin1Char(kDigits[(quint8(byte) >> 4) & 0xF]));
        text.append(QLatin1Char(kDigits[quint8(byte) & 0xF]));
        text.append(QLatin1Char(' '));
    }
    return text;
}

QString timeStamp(const QDateTime& when)
{
    return when.toString(QStringLiteral("[yyyy-MM-dd hh:mm:ss.zzz] "));
}

QString escapeEntry(const QString& text)
{
    QString html = text;
    html.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    html.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    html.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    html.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    html.replace(QLatin1Char('\''), QLatin1String("&#39;"));
    html.replace(QLatin1Char(' '), QLatin1String("&nbsp;"));
    html.replace(QLatin1Char('\n'), QLatin1String("<br>"));
    html.replace(QLatin1Char('\r'), QLatin1String("<br>"));
    return html;
}

QString entryHtml(const QString& text, quint8 red, quint8 green, quint8 blue)
{
    return QStringLiteral("<font color=#%1%2%3>")
               .arg(uint(red), 2, 16, QLatin1Char('0'))
               .arg(uint(green), 2, 16, QLatin1Char('0'))
               .arg(uint(blue), 2, 16, QLatin1Char('0'))
        + escapeEntry(text);
}

} // namespace SerialFrames
