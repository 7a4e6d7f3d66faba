#pragma once

#include <QByteArray>
#include <QtGlobal>

// The command frame of the card's TCP command service, the same in both
// directions:
//   0x68 | length (2, big-endian) = 2 + n | command code (2, big-endian) |
//   n data bytes | additive checksum over everything before it (mod 256)
namespace CommandFrame {

constexpr quint8 kStartByte = 0x68;
constexpr int kHeaderSize = 5; // start byte, length, command code
constexpr int kOverhead = kHeaderSize + 1; // ... plus the checksum
constexpr int kMaxReceivedFrame = 4096; // size of the reassembly buffer
constexpr int kMaxSentData = 0xFFFF - 2; // the length field is 16 bits

quint8 checksum(const quint8* bytes, int size);

// The whole frame for `cmd` (only its low 16 bits are sent) and `data`, or an
// empty array when `data` does not fit the 16-bit length field.
QByteArray build(int cmd, const QByteArray& data = QByteArray());

} // namespace CommandFrame

// Reassembles received bytes into command frames. A plain class so that the
// TCP link, the card simulator and the fuzzers share one implementation.
//
// Bytes are taken one at a time: while hunting, everything but 0x68 is
// skipped; once three bytes are held the declared length L is known and the
// frame is complete at L + 4 bytes. A complete frame whose checksum matches
// and whose length field leaves room for a command code (L >= 2) is handed to
// the callback; either way hunting resumes with the next byte. A frame that
// would exceed the 4096-byte buffer never completes: when the buffer is full
// the next byte starts a new frame, whatever its value.
class FrameAssembler {
public:
    static constexpr int kCapacity = CommandFrame::kMaxReceivedFrame;

    // onFrame(const quint8* frame, int size) sees the whole frame, start byte
    // to checksum; the pointer is valid only during the call.
    template <typename OnFrame> void feed(const char* bytes, qsizetype count, OnFrame&& onFrame)
    {
        for (qsizetype i = 0; i < count; ++i) {
            if (push(quint8(bytes[i])))
                deliver(onFrame);
        }
    }

    void reset() { m_len = 0; }
    bool hunting() const { return m_len == 0; }

private:
    // Stores one byte; true when it completed a frame that must be delivered.
    bool push(quint8 byte);

    template <typename OnFrame> void deliver(OnFrame& onFrame)
    {
        onFrame(static_cast<const quint8*>(m_buf), int(m_len));
        m_len = 0;
    }

    quint8 m_buf[kCapacity];
    quint16 m_len = 0;
};
