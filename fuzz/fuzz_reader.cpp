// Feeds the symbol reader arbitrary matrices, sizes and versions, and damaged or mirrored
// symbols of our own encoder. Any crash, sanitizer report or misread clean symbol is a bug.
//
// Input: byte 0 chooses the road.
//   even: raw road. Bytes 1 and 2 are the version and the size handed over (mostly consistent,
//         sometimes anything), the rest fills the matrix column by column, one bit per module
//         or, when bit 1 of byte 0 is set, one byte per module (any value).
//   odd:  symbol road. Bytes 1..3 choose level, version, mask and orientation, byte 4 the
//         number of damaged modules, which follow as (x, y) pairs; the rest is the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/qr_encode.h"
#include "engine/codec/segment_parser.h"

using namespace velmora;

namespace {

uint8_t displayMatrix[kMatrixStride * kMatrixStride];

void rawRoad(const uint8_t* data, size_t size) {
    if (size < 3) return;
    const uint8_t selector = data[0];
    int version = 1 + data[1] % kMaxVersion;
    int side = symbolSizeOf(version);
    if (data[2] & 0x80) {
        // Sizes and versions that do not belong together, or to any symbol.
        version = static_cast<int8_t>(data[1]);
        side = static_cast<int8_t>(data[2]) * 2;
    }
    data += 3;
    size -= 3;
    uint8_t* matrix = processDecoder().matrix();
    std::memset(matrix, 0, kMatrixStride * kMatrixStride);
    const bool wholeBytes = selector & 2;
    const size_t modules = kMatrixStride * kMatrixStride;
    for (size_t i = 0; i < modules; ++i) {
        const size_t source = wholeBytes ? i : i / 8;
        if (source >= size) break;
        matrix[i] = wholeBytes ? data[source] : (data[source] >> (i % 8)) & 1;
    }
    processDecoder().ReadSymbol(side, version);
}

void symbolRoad(const uint8_t* data, size_t size) {
    if (size < 6) return;
    const int level = data[1] & 3;
    int version = (data[1] >> 2) % (kMaxVersion + 1);  // 0: the smallest that fits
    int mask = data[2] & 7;
    const bool transposed = data[2] & 8;
    const size_t damage = data[3] % 16;
    size_t offset = 4;
    if (size < offset + 2 * damage + 1) return;
    const uint8_t* flips = data + offset;
    offset += 2 * damage;
    const char* text = reinterpret_cast<const char*>(data + offset);
    const int textLength = static_cast<int>(size - offset);
    int side = 0;
    if (processEncoder().EncodeSymbol(level, version, 1, mask, displayMatrix, side, text, textLength) != 1) return;

    uint8_t* matrix = processDecoder().matrix();
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const uint8_t dark = 1 - displayMatrix[y * kMatrixStride + x];
            matrix[transposed ? y * kMatrixStride + x : x * kMatrixStride + y] = dark;
        }
    }
    for (size_t i = 0; i < damage; ++i) {
        const int x = flips[2 * i] % side;
        const int y = flips[2 * i + 1] % side;
        matrix[x * kMatrixStride + y] ^= 1;
    }
    const int result = processDecoder().ReadSymbol(side, version);
    if (damage != 0) return;
    // A clean symbol must read back exactly.
    const CQR_Decoder& reader = processDecoder();
    if (result < 0 || reader.textLength() != textLength || std::memcmp(reader.text(), text, textLength) != 0 ||
        reader.level() != level || reader.mask() != mask || reader.mirrored() != (transposed ? 1 : 0)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        symbolRoad(data, size);
    } else {
        rawRoad(data, size);
    }
    return 0;
}
