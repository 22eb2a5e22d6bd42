#include "engine/decode/decoded_symbols.h"

#include <algorithm>
#include <cstring>

namespace velmora {
namespace {

DecodedSymbols symbols;

}  // namespace

void DecodedSymbols::begin(int wanted) {
    wanted = std::clamp(wanted, 1, kMostWantedSymbols);
    if (static_cast<int>(entries_.size()) < wanted + 1) entries_.resize(static_cast<std::size_t>(wanted) + 1);
    count_ = 0;
    for (int k = 0; k < wanted; ++k) entry(k).nParseStrLen = 0;
}

void DecodedSymbols::publish(C_QrDecodedData& record, C_QrTextMeaning& meaning) const {
    record.nParsedNums = std::min(count_, 4);
    for (int k = 0; k < 4; ++k) {
        const DecodedEntry& e = entry(k);
        record.nInverseColor[k] = e.nInverseColor;
        record.nMirror[k] = e.nMirror;
        record.nVersion[k] = e.nVersion;
        record.nLevel[k] = e.nLevel;
        record.nMaskingNo[k] = e.nMaskingNo;
        record.nParseStrLen[k] = e.nParseStrLen;
        std::memcpy(record.sParseStr[k], e.sParseStr.data(), MAX_SrcDataLen);
        std::copy(e.dXY_FP.begin(), e.dXY_FP.end(), record.dXY_FP[k]);
        std::copy(e.dXY_4Corners.begin(), e.dXY_4Corners.end(), record.dXY_4Corners[k]);
        meaning.nModes[k] = e.nModes;
        meaning.nEci[k] = e.nEci;
    }
}

DecodedSymbols& decodedSymbols() { return symbols; }

}  // namespace velmora
