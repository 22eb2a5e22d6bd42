// Feeds the segment parser arbitrary streams for every version. Byte 0 gives the version and
// how many bits of the last byte count; the rest is the stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "engine/codec/segment_parser.h"

using namespace velmora;

namespace {
uint8_t text[kTextBufferBytes + 1];
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const int version = 1 + data[0] % kMaxVersion;
    const int bits = static_cast<int>((size - 1) * 8) - (data[0] >> 6);
    text[kTextBufferBytes] = 0x5A;  // guard byte past the buffer
    int length = -1;
    const int result = ParseSegments(data + 1, bits < 0 ? 0 : bits, version, text, length);
    if (length < 0 || length > kTextLimit || text[length] != 0 || text[kTextBufferBytes] != 0x5A) std::abort();
    if (result == 0 || (result > 0 && length == 0)) std::abort();
    return 0;
}
