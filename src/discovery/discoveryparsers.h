#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QString>
#include <QVector>

#include <optional>

// The two discovery protocols of the cards, as plain functions from bytes to
// values: the UDP multicast search (request and reply) and the JSON texts of
// the link-layer service. The search page, the tests and a headless search
// all use them; none of them reads beyond the end of what it is given.
namespace Discovery {

constexpr const char* kMulticastGroup = "224.0.0.100";
inline constexpr char kMagic[] = { 0x00, 0x25, 0x18 }; // every request and reply begins so
constexpr quint16 kSearchPort = 8888; // cards listen and the tool receives replies here
constexpr quint16 kRequestSourcePort = 8889; // the tool sends its requests from here
constexpr int kRequestSize = 11;
constexpr int kUnknownReplySize = 7; // a reply of exactly 7 bytes names no product

// An interface the search is offered on: up, running, broadcast- and
// multicast-capable and nothing else (flags exactly 0x27), so loopback and
// point-to-point links never are.
inline bool isUsableInterface(QNetworkInterface::InterfaceFlags flags)
{
    return flags
        == (QNetworkInterface::IsUp | QNetworkInterface::IsRunning | QNetworkInterface::CanBroadcast
            | QNetworkInterface::CanMulticast);
}

// True for a datagram at least 3 bytes long that begins with kMagic.
bool hasMagic(const QByteArray& datagram);

// The 11-byte request: 00 25 18, then the PC's address and netmask on the
// chosen interface, each least significant byte first (a.b.c.d goes out as
// d, c, b, a). Addresses are host-order numbers as QHostAddress gives them.
QByteArray buildRequest(quint32 address, quint32 netmask);

struct CardInterface {
    QString name;
    QString address;
    QString netmask;
    QString hardwareAddress; // empty when the reply carries none
    bool operator==(const CardInterface& o) const
    {
        return name == o.name && address == o.address && netmask == o.netmask && hardwareAddress == o.hardwareAddress;
    }
};

// One card as a reply describes it, the content of one card row.
struct CardInfo {
    QString host; // column 0: the card's address
    QString product; // column 1 (empty when productUnknown)
    bool productUnknown = false; // a 7-byte reply: the page shows "Unknown"
    QString cardAddress; // what the row carries as its address (may be empty)
    QString cardHardwareAddress; // upper case; empty when the card named none
    bool carriesHardwareAddresses = false; // a UDP reply in long form
    bool truncated = false; // the reply ended inside a field; complete entries were kept
    QVector<CardInterface> interfaces;
};

// Parses a UDP reply from `sender`. Returns nothing for a datagram that is
// not a reply (shorter than 3 bytes, or not beginning with 00 25 18).
//
// Layout: 00 25 18, N, N bytes product name, then interface entries up to the
// end. An entry is short (L, L bytes name, 4 bytes address, 4 bytes netmask,
// addresses most significant byte first) or long (2 bytes big-endian L + 14,
// the short form, 6 bytes hardware address). A reply is taken to be in long
// form from the first entry whose first two bytes equal its third plus 14.
//
// A reply cut short keeps the entries that were complete; a product name cut
// short keeps the bytes that are there.
std::optional<CardInfo> parseUdpReply(const QByteArray& datagram, const QHostAddress& sender);

// Parses the network information a card sends over the link layer
// ({"host":..., "product":..., "intfInfo":[[name, ip, netmask, mac], ...]}).
// Returns nothing for text that is not a JSON object. The row carries the
// host as its address, and the upper-cased hardware address of the interface
// holding that address, only when one of the interfaces holds it.
std::optional<CardInfo> parseNetworkInfo(const QByteArray& text);

// The "result" member of a result text: true for success; absent or not a
// boolean counts as failure. Nothing for text that is not valid JSON.
std::optional<bool> parseResult(const QByteArray& text);

// The payload of a set-IP frame (code 2): a compact JSON object with the
// interface name and the new address, netmask and gateway as given (the
// last two may be empty), members in name order: gateway, interface, ip,
// netmask.
QByteArray setIpRequest(
    const QString& interfaceName, const QString& ip, const QString& netmask, const QString& gateway);

} // namespace Discovery
