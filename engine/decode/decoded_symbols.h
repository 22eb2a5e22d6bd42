// The symbols a decode request has read so far, any number of them, each an entry shaped as
// the design's decode record keeps it: finder centres, corners, attributes, text and meaning.
// The record's entries 0 to 3 are filled from the first four when a request through the C
// entries ends.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/velmora_engine.h"

namespace velmora {

// The most symbols one request can be asked for.
inline constexpr int kMostWantedSymbols = 256;

struct DecodedEntry {
    int32_t nInverseColor = 0;
    int32_t nMirror = 0;
    int32_t nVersion = 0;
    int32_t nLevel = 0;
    int32_t nMaskingNo = 0;
    int32_t nParseStrLen = 0;
    std::array<char, MAX_SrcDataLen> sParseStr{};
    std::array<float, 8> dXY_FP{};        // four x, then four y, as in the record
    std::array<float, 8> dXY_4Corners{};  // likewise
    int32_t nModes = 0;                   // segment modes used, as g_QrTextMeaning
    int32_t nEci = 0;
};

// The entries of a request. The entry at count() is the one about to be recorded: a read
// writes its corners there before the count moves on. Entries keep what they held until a
// request writes them again, as the record's entries do.
class DecodedSymbols {
public:
    // Starts a request for up to `wanted` (1..kMostWantedSymbols) symbols: the count goes to 0
    // and the texts of the entries it may fill become empty. Entries are made once, here.
    void begin(int wanted);
    int count() const { return count_; }
    void setCount(int count) { count_ = count; }
    // Entry k, 0 <= k <= the wanted count of the request (the one after the last it may fill).
    DecodedEntry& entry(int k) { return entries_[static_cast<std::size_t>(k)]; }
    const DecodedEntry& entry(int k) const { return entries_[static_cast<std::size_t>(k)]; }
    // How many entries exist: any k below this is an entry.
    int capacity() const { return static_cast<int>(entries_.size()); }

    // Copies entries 0 to 3 into the records, and the count, at most four.
    void publish(C_QrDecodedData& record, C_QrTextMeaning& meaning) const;

private:
    std::vector<DecodedEntry> entries_ = std::vector<DecodedEntry>(5);
    int count_ = 0;
};

// The symbols of the request in progress, or of the last one.
DecodedSymbols& decodedSymbols();

// Shorthands for the request's count and entry k.
inline int decodedCount() { return decodedSymbols().count(); }
inline DecodedEntry& decodedEntry(int k) { return decodedSymbols().entry(k); }

}  // namespace velmora
