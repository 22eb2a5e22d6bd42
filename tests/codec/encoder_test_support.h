// Small helpers shared by the encoder suites: run the encoder and look at its output.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/codec/qr_encode.h"
#include "engine/velmora_engine.h"

namespace velmora::test {

struct Encoded {
    int result = 0;
    int version = 0;
    int mask = -1;
    int size = 0;
};

// Encodes text through the public entry; version 0 and mask -1 ask for automatic choices.
inline Encoded encode(const std::string& text, int level, int version = 0, int mask = -1, int autoExtend = 0) {
    Encoded e;
    e.version = version;
    e.mask = mask;
    e.result = QR_Encode_Matrix(level, &e.version, autoExtend, &e.mask, text.data(), static_cast<int>(text.size()),
                                nullptr);
    e.size = g_QrEncodedData.iEncoded_WH;
    return e;
}

// True when the module at column x, row y of the last symbol is dark.
inline bool dark(int x, int y) { return g_QrEncodedData.byEncoded_Data[y][x] == 0; }

// The first n bits of the encoder's data stream as a string of '0' and '1'.
inline std::string streamBits(int n) {
    const uint8_t* bits = processEncoder().dataBits();
    std::string out;
    for (int i = 0; i < n; ++i) out += ((bits[i / 8] >> (7 - i % 8)) & 1) ? '1' : '0';
    return out;
}

inline std::vector<uint8_t> dataCodewords(int count) {
    const uint8_t* bits = processEncoder().dataBits();
    return std::vector<uint8_t>(bits, bits + count);
}

}  // namespace velmora::test
