// Arbitrary bytes from a card, in arbitrary read sizes: the reassembly must
// never read or write outside its buffer, and every frame it delivers must
// be well-formed.
#include "link/commandframe.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FrameAssembler assembler;
    size_t offset = 0;
    while (offset < size) {
        // The first byte of each piece chooses the length of the next read.
        const size_t piece = 1 + data[offset] % 97;
        ++offset;
        const size_t n = piece < size - offset ? piece : size - offset;
        assembler.feed(reinterpret_cast<const char*>(data + offset), qsizetype(n), [](const quint8* frame, int length) {
            const int declared = frame[1] * 256 + frame[2];
            if (frame[0] != CommandFrame::kStartByte || length != declared + 4 || declared < 2
                || length > CommandFrame::kMaxReceivedFrame
                || CommandFrame::checksum(frame, length - 1) != frame[length - 1])
                abort();
        });
        offset += n;
    }
    return 0;
}
