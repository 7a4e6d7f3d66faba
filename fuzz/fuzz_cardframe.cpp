// A captured link-layer frame, as anyone on the segment can send it: the
// receive check must classify it without reading outside it, hand on only
// the JSON text of a reply, and that text must survive the search page's
// parsers and the set-IP path that uses the hardware address it names.
//
// Input: byte 0 chooses the mode, the rest is the frame.
//   even  the rest is the frame as captured (almost always a bad checksum)
//   odd   the rest is a command byte, a padding count byte and a payload; the
//         harness builds a frame with a valid checksum around them, so the
//         fuzzer reaches the text search and the JSON behind it
#include "fuzzcheck.h"

#include "discovery/cardframe.h"
#include "discovery/discoveryparsers.h"
#include "link/crc16.h"

#include <QByteArray>
#include <QtEndian>

namespace {

const CardFrame::HardwareAddress kSource { 0x02, 0x00, 0x00, 0x00, 0x00, 0x01 };

void checkReceived(const QByteArray& frame, const CardFrame::Received& r)
{
    using R = CardFrame::Received;
    if (frame.size() < CardFrame::kOverhead) {
        FUZZ_CHECK(r.status == R::TooShort);
        return;
    }
    FUZZ_CHECK(r.status != R::TooShort);
    const auto* p = reinterpret_cast<const quint8*>(frame.constData());
    const int end = frame.size() - CardFrame::kChecksumSize;
    const bool crcOk = crc16Modbus(p, end) == qFromLittleEndian<quint16>(p + end);
    FUZZ_CHECK(crcOk == (r.status != R::BadChecksum));
    if (r.status != R::Ok) {
        FUZZ_CHECK(r.text.isEmpty());
        return;
    }
    FUZZ_CHECK(r.command == CardFrame::NetworkInfo || r.command == CardFrame::SetIpResult
        || r.command == CardFrame::RebootResult);
    FUZZ_CHECK(!r.text.isEmpty() && r.text.endsWith('}'));
    FUZZ_CHECK(r.text.size() <= end - CardFrame::kHeaderSize);
    FUZZ_CHECK(frame.mid(CardFrame::kHeaderSize, r.text.size()) == r.text);
    // The text runs up to the last "}" of the payload, never to an earlier one.
    const QByteArray behind
        = frame.mid(CardFrame::kHeaderSize + r.text.size(), end - CardFrame::kHeaderSize - r.text.size());
    FUZZ_CHECK(!behind.contains('}'));
}

// The set-IP dialog sends to the hardware address a card reported; that text
// comes from the card.
void checkDestination(const QString& text)
{
    const bool wellFormed = CardFrame::isHardwareAddressText(text);
    const bool unicast = CardFrame::isUnicastHardwareAddressText(text);
    FUZZ_CHECK(!unicast || wellFormed);
    const CardFrame::HardwareAddress bytes = CardFrame::hardwareAddressFromText(text);
    if (wellFormed) {
        FUZZ_CHECK(unicast == ((bytes[0] & 0x01) == 0));
        // Formatting the bytes and reading them again gives the same bytes.
        const QString canonical = CardFrame::hardwareAddressText(bytes.data());
        FUZZ_CHECK(CardFrame::isHardwareAddressText(canonical));
        FUZZ_CHECK(CardFrame::hardwareAddressFromText(canonical) == bytes);
        FUZZ_CHECK(canonical.compare(text, Qt::CaseInsensitive) == 0 || text.size() < canonical.size());
    }
    const QByteArray frame = CardFrame::build(CardFrame::SetIp, kSource, text, QByteArrayLiteral("{}"));
    FUZZ_CHECK(frame.size() == CardFrame::kOverhead + 2);
    const auto* p = reinterpret_cast<const quint8*>(frame.constData());
    if (text.isEmpty()) {
        for (int i = 0; i < 6; ++i)
            FUZZ_CHECK(p[i] == 0xFF);
    } else {
        for (int i = 0; i < 6; ++i)
            FUZZ_CHECK(p[i] == bytes[size_t(i)]);
    }
}

void followText(const CardFrame::Received& r)
{
    if (r.status != CardFrame::Received::Ok)
        return;
    if (r.command == CardFrame::NetworkInfo) {
        const auto card = Discovery::parseNetworkInfo(r.text);
        if (card) {
            FUZZ_CHECK(card->cardAddress.isEmpty() || card->cardAddress == card->host);
            checkDestination(card->cardHardwareAddress);
        }
        fuzzKeep(card);
    } else {
        const auto result = Discovery::parseResult(r.text);
        fuzzKeep(result);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool build = data[0] & 1;
    ++data;
    --size;
    QByteArray frame;
    QByteArray payload;
    if (!build) {
        frame = QByteArray(reinterpret_cast<const char*>(data), int(size));
    } else {
        if (size < 2)
            return 0;
        const quint32 command = data[0] % 8;
        const int padding = data[1] % 64;
        payload = QByteArray(reinterpret_cast<const char*>(data + 2), int(size - 2));
        frame = CardFrame::build(command, kSource, QString(), payload);
        if (payload.size() > CardFrame::kMaxPayload) {
            FUZZ_CHECK(frame.isEmpty());
            return 0;
        }
        FUZZ_CHECK(frame.size() == payload.size() + CardFrame::kOverhead);
        FUZZ_CHECK(qFromLittleEndian<quint32>(frame.constData() + 22) == quint32(frame.size()));
        // Cards pad short frames with zeros behind the checksum-covered part:
        // pad the payload and checksum it again, as a card would.
        if (padding > 0) {
            frame.chop(CardFrame::kChecksumSize);
            frame.append(QByteArray(padding, '\0'));
            const quint16 crc = crc16Modbus(frame);
            frame.append(char(crc & 0xFF));
            frame.append(char(crc >> 8));
        }
    }

    const CardFrame::Received r = CardFrame::receive(frame);
    checkReceived(frame, r);
    if (build) {
        const quint32 command = quint32(data[0] % 8);
        const int lastBrace = payload.lastIndexOf('}');
        const bool reply = command == CardFrame::NetworkInfo || command == CardFrame::SetIpResult
            || command == CardFrame::RebootResult;
        if (lastBrace < 0)
            FUZZ_CHECK(r.status == CardFrame::Received::NoText);
        else if (!reply)
            FUZZ_CHECK(r.status == CardFrame::Received::UnknownCode);
        else
            FUZZ_CHECK(r.status == CardFrame::Received::Ok && r.text == payload.left(lastBrace + 1));
    }
    followText(r);
    fuzzKeep(r);
    return 0;
}
