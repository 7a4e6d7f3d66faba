// A UDP datagram on the search port, from anyone on the segment: the reply
// parser must take it or refuse it without reading beyond it, keep what a
// reply cut short held completely, and give a row the duplicate check
// recognises.
//
// Input: bytes 0 to 3 are the sender's IPv4 address, the rest the datagram.
#include "fuzzcheck.h"

#include "discovery/discoveryparsers.h"
#include "discovery/searchrows.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QtEndian>

namespace {

bool sameInterfaces(const QVector<Discovery::CardInterface>& a, const QVector<Discovery::CardInterface>& b, int count)
{
    if (a.size() < count || b.size() < count)
        return false;
    for (int i = 0; i < count; ++i) {
        if (!(a.at(i) == b.at(i)))
            return false;
    }
    return true;
}

void checkCard(const QByteArray& datagram, const QHostAddress& sender, const Discovery::CardInfo& card)
{
    static const QRegularExpression hardwareAddress(
        QRegularExpression::anchoredPattern(QStringLiteral("([0-9A-F]{2}:){5}[0-9A-F]{2}")));
    FUZZ_CHECK(card.host == sender.toString());
    FUZZ_CHECK(card.cardAddress == card.host);
    FUZZ_CHECK(card.productUnknown == (datagram.size() == Discovery::kUnknownReplySize));
    if (card.productUnknown)
        FUZZ_CHECK(card.product.isEmpty() && card.interfaces.isEmpty());
    if (datagram.size() > 3) {
        // Never more characters than the name had bytes, nor than the datagram held.
        FUZZ_CHECK(card.product.size() <= quint8(datagram.at(3)));
        FUZZ_CHECK(card.product.size() <= datagram.size() - 4);
    }
    // An entry is at least a length byte and two addresses.
    FUZZ_CHECK(card.interfaces.size() * 9 <= datagram.size());
    QString lastMatch;
    for (const Discovery::CardInterface& entry : card.interfaces) {
        FUZZ_CHECK(QHostAddress(entry.address).protocol() == QAbstractSocket::IPv4Protocol);
        FUZZ_CHECK(QHostAddress(entry.netmask).protocol() == QAbstractSocket::IPv4Protocol);
        if (card.carriesHardwareAddresses)
            FUZZ_CHECK(entry.hardwareAddress.isEmpty() || hardwareAddress.match(entry.hardwareAddress).hasMatch());
        else
            FUZZ_CHECK(entry.hardwareAddress.isEmpty());
        if (entry.address == card.host && !entry.hardwareAddress.isEmpty())
            lastMatch = entry.hardwareAddress;
    }
    // The card's hardware address is that of the last entry holding its address.
    FUZZ_CHECK(card.cardHardwareAddress == lastMatch);

    // A card is a row of its own once, then repeats it.
    Discovery::SearchRows rows;
    FUZZ_CHECK(rows.add(card, true) == Discovery::SearchRows::Outcome::Added);
    FUZZ_CHECK(rows.add(card, true) == Discovery::SearchRows::Outcome::Repeated);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4)
        return 0;
    const QHostAddress sender(qFromBigEndian<quint32>(data));
    const QByteArray datagram(reinterpret_cast<const char*>(data + 4), int(size - 4));

    const auto card = Discovery::parseUdpReply(datagram, sender);
    FUZZ_CHECK(card.has_value() == (datagram.size() >= 3 && Discovery::hasMagic(datagram)));
    if (!card)
        return 0;
    checkCard(datagram, sender, *card);

    // The same datagram from the address of its first entry: the entry that
    // holds the sender's address names the card's hardware address.
    if (!card->interfaces.isEmpty()) {
        const QHostAddress own(card->interfaces.first().address);
        const auto again = Discovery::parseUdpReply(datagram, own);
        FUZZ_CHECK(again && sameInterfaces(again->interfaces, card->interfaces, card->interfaces.size()));
        checkCard(datagram, own, *again);
        if (card->carriesHardwareAddresses && !card->interfaces.first().hardwareAddress.isEmpty())
            FUZZ_CHECK(!again->cardHardwareAddress.isEmpty());
    }

    // A reply cut short keeps exactly the entries that were complete before
    // the cut, whatever the cut.
    if (datagram.size() > 8 && !card->interfaces.isEmpty()) {
        const int cut = 8 + int(data[3]) % (datagram.size() - 8);
        const auto prefix = Discovery::parseUdpReply(datagram.left(cut), sender);
        FUZZ_CHECK(prefix);
        FUZZ_CHECK(prefix->interfaces.size() <= card->interfaces.size());
        FUZZ_CHECK(sameInterfaces(prefix->interfaces, card->interfaces, prefix->interfaces.size()));
    }
    fuzzKeep(card);
    return 0;
}
