// The JSON texts a card sends over the link layer (network information and
// results), as anyone on the segment can send them: both parsers must take
// any text, and a network-information row must be consistent with its
// interfaces and with the duplicate check.
#include "fuzzcheck.h"

#include "discovery/discoveryparsers.h"
#include "discovery/searchrows.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy, as the link hands the text on: a byte array with its terminator.
    const QByteArray text(reinterpret_cast<const char*>(data), int(size));

    const auto result = Discovery::parseResult(text);
    const auto card = Discovery::parseNetworkInfo(text);
    fuzzKeep(result);
    // Network information is a JSON object, so its text is valid JSON too.
    FUZZ_CHECK(!card || result);
    if (!card)
        return 0;

    FUZZ_CHECK(card->carriesHardwareAddresses);
    FUZZ_CHECK(!card->productUnknown && !card->truncated);
    QString matchedAddress;
    QString matchedHardware;
    bool matched = false;
    for (const Discovery::CardInterface& entry : card->interfaces) {
        if (entry.address == card->host) {
            matched = true;
            matchedAddress = entry.address;
            matchedHardware = entry.hardwareAddress.toUpper();
        }
    }
    // Only an interface holding the host's address gives the row its
    // address and hardware address; the last such interface wins.
    if (matched) {
        FUZZ_CHECK(card->cardAddress == matchedAddress);
        FUZZ_CHECK(card->cardHardwareAddress == matchedHardware);
    } else {
        FUZZ_CHECK(card->cardAddress.isEmpty() && card->cardHardwareAddress.isEmpty());
    }

    // A card is a row of its own once, then repeats it; the same card with
    // another hardware address is a new row, or completes the row when that
    // row has an address but no hardware address.
    using Outcome = Discovery::SearchRows::Outcome;
    Discovery::SearchRows rows;
    FUZZ_CHECK(rows.add(*card, false) == Outcome::Added);
    FUZZ_CHECK(rows.add(*card, false) == Outcome::Repeated);
    Discovery::CardInfo other = *card;
    other.cardHardwareAddress += QLatin1Char('x');
    const bool completes = !card->cardAddress.isEmpty() && card->cardHardwareAddress.isEmpty();
    FUZZ_CHECK(rows.add(other, false) == (completes ? Outcome::Completed : Outcome::Added));
    FUZZ_CHECK(rows.rows().size() == (completes ? 1 : 2));

    // Parsing is a function of the text alone.
    const auto again = Discovery::parseNetworkInfo(text);
    FUZZ_CHECK(again && again->host == card->host && again->interfaces == card->interfaces);
    fuzzKeep(card);
    return 0;
}
