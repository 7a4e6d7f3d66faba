#include "discoveryparsers.h"

#include "cardframe.h"
#include "link/jsontext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

namespace Discovery {

namespace {

constexpr int kProductOffset = 4;
constexpr int kShortEntryFixed = 1 + 4 + 4; // length byte, address, netmask
constexpr int kHardwareAddressSize = 6;
constexpr int kLongEntryExtra = 14; // the long form's length counts L + 14

// Text of a field that may hold a zero byte: it ends there.
QString textUpToZero(const char* data, int size)
{
    int n = 0;
    while (n < size && data[n] != '\0')
        ++n;
    return QString::fromUtf8(data, n);
}

QString dotted(const quint8* p)
{
    return QHostAddress(qFromBigEndian<quint32>(p)).toString();
}

} // namespace

bool hasMagic(const QByteArray& datagram)
{
    return datagram.startsWith(QByteArray::fromRawData(kMagic, sizeof kMagic));
}

QByteArray buildRequest(quint32 address, quint32 netmask)
{
    QByteArray request(kMagic, sizeof kMagic);
    request.resize(kRequestSize); // the address and the netmask follow
    auto* p = reinterpret_cast<quint8*>(request.data());
    qToLittleEndian<quint32>(address, p + 3);
    qToLittleEndian<quint32>(netmask, p + 7);
    return request;
}

std::optional<CardInfo> parseUdpReply(const QByteArray& datagram, const QHostAddress& sender)
{
    if (!hasMagic(datagram))
        return std::nullopt;
    CardInfo card;
    bool ok = false;
    const quint32 v4 = sender.toIPv4Address(&ok);
    card.host = ok ? QHostAddress(v4).toString() : sender.toString();
    card.cardAddress = card.host;

    const int size = datagram.size();
    if (size == kUnknownReplySize) {
        card.productUnknown = true;
        return card;
    }
    const auto* p = reinterpret_cast<const quint8*>(datagram.constData());
    if (size <= 3) // no length byte at all
        return card;
    const int nameLength = p[3];
    const int nameAvailable = qMin(nameLength, size - kProductOffset);
    card.product = textUpToZero(datagram.constData() + kProductOffset, nameAvailable);
    if (nameAvailable < nameLength)
        card.truncated = true;

    int pos = kProductOffset + nameLength;
    if (size <= kUnknownReplySize || pos >= size)
        return card;

    bool longForm = false;
    // Every pass consumes at least one byte, so the loop ends with the datagram.
    while (pos < size) {
        int at = pos;
        if (size - at >= 3 && qFromBigEndian<quint16>(p + at) == p[at + 2] + kLongEntryExtra) {
            longForm = true;
            at += 2;
        }
        const int length = p[at];
        const int entrySize = kShortEntryFixed + length + (longForm ? kHardwareAddressSize : 0);
        if (size - at < entrySize) {
            card.truncated = true;
            break;
        }
        CardInterface entry;
        entry.name = textUpToZero(datagram.constData() + at + 1, length);
        const int addressAt = at + 1 + length;
        entry.address = dotted(p + addressAt);
        entry.netmask = dotted(p + addressAt + 4);
        if (longForm) {
            entry.hardwareAddress = CardFrame::hardwareAddressText(p + addressAt + 8);
            if (entry.address == card.cardAddress)
                card.cardHardwareAddress = entry.hardwareAddress;
        }
        card.interfaces.append(entry);
        pos = at + entrySize;
    }
    card.carriesHardwareAddresses = longForm;
    return card;
}

std::optional<CardInfo> parseNetworkInfo(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument doc = JsonText::parse(text, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return std::nullopt;
    const QJsonObject object = doc.object();
    CardInfo card;
    card.host = object.value(QLatin1String("host")).toString();
    card.product = object.value(QLatin1String("product")).toString();
    const QJsonArray interfaces = object.value(QLatin1String("intfInfo")).toArray();
    for (const QJsonValue& element : interfaces) {
        const QJsonArray fields = element.toArray();
        CardInterface entry;
        entry.name = fields.at(0).toString();
        entry.address = fields.at(1).toString();
        entry.netmask = fields.at(2).toString();
        entry.hardwareAddress = fields.at(3).toString();
        if (entry.address == card.host) {
            card.cardAddress = card.host;
            card.cardHardwareAddress = entry.hardwareAddress.toUpper();
        }
        card.interfaces.append(entry);
    }
    card.carriesHardwareAddresses = true;
    return card;
}

QByteArray setIpRequest(const QString& interfaceName, const QString& ip, const QString& netmask, const QString& gateway)
{
    const QJsonObject request { { QStringLiteral("interface"), interfaceName }, { QStringLiteral("ip"), ip },
        { QStringLiteral("netmask"), netmask }, { QStringLiteral("gateway"), gateway } };
    return QJsonDocument(request).toJson(QJsonDocument::Compact);
}

std::optional<bool> parseResult(const QByteArray& text)
{
    QJsonParseError error;
    const QJsonDocument doc = JsonText::parse(text, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return doc.object().value(QLatin1String("result")).toBool(false);
}

} // namespace Discovery
