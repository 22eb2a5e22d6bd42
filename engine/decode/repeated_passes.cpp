#include "engine/decode/repeated_passes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <span>

#include "engine/codec/qr_decoder.h"
#include "engine/decode/frame_sampling.h"
#include "engine/decode/symbol_attempts.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/symbol_frame.h"
#include "engine/geometry/version_information.h"
#include "engine/image/simd.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// Every piece of state a pass may leave to the next, besides the reads (compared apart).
std::array<std::span<std::byte>, 9> carriedState() {
    CQR_Decoder& reader = processDecoder();
    const std::size_t matrixBytes = static_cast<std::size_t>(kMatrixStride) * kMatrixStride;
    return {std::as_writable_bytes(std::span(reader.matrix(), matrixBytes)),
            std::as_writable_bytes(std::span(reader.sampledCopy(), matrixBytes)),
            finderStateBytes(),
            candidateStateBytes(),
            frameStateBytes(),
            alignmentStateBytes(),
            versionInformationStateBytes(),
            samplingStateBytes(),
            attemptStateBytes()};
}

std::vector<std::byte> snapshot() {
    std::vector<std::byte> bytes;
    for (const auto piece : carriedState()) bytes.insert(bytes.end(), piece.begin(), piece.end());
    return bytes;
}

bool equalsCarriedState(const std::vector<std::byte>& bytes) {
    std::size_t at = 0;
    for (const auto piece : carriedState()) {
        if (at + piece.size() > bytes.size() || std::memcmp(bytes.data() + at, piece.data(), piece.size()) != 0) {
            return false;
        }
        at += piece.size();
    }
    return at == bytes.size();
}

void restoreCarriedState(const std::vector<std::byte>& bytes) {
    std::size_t at = 0;
    for (const auto piece : carriedState()) {
        std::memcpy(piece.data(), bytes.data() + at, piece.size());
        at += piece.size();
    }
}

// What the request has read so far: its records and the finder boxes they leave.
int readsSoFar() { return decodedCount() + finderExclusionBoxCount(); }

uint64_t hashOf(const std::vector<uint8_t>& packed, int width, int height) {
    uint64_t h = 0x9e3779b97f4a7c15ull ^ (static_cast<uint64_t>(width) << 32) ^ static_cast<uint64_t>(height);
    std::size_t i = 0;
    for (; i + 8 <= packed.size(); i += 8) {
        uint64_t word;
        std::memcpy(&word, packed.data() + i, sizeof word);
        h = (h ^ word) * 0x100000001b3ull;
        h ^= h >> 29;
    }
    for (; i < packed.size(); ++i) h = (h ^ packed[i]) * 0x100000001b3ull;
    return h;
}

}  // namespace

void packPicture(const Raster& binary, PackedPicture& picture) {
    std::vector<uint8_t>& packed = picture.bytes;
    const int rowBytes = (binary.width + 7) / 8;
    picture.packed = false;
    try {
        packed.assign(static_cast<std::size_t>(rowBytes) * binary.height, 0);
    } catch (const std::bad_alloc&) {
        return;
    }
    uint8_t* out = packed.data();
    for (int y = 0; y < binary.height; ++y, out += rowBytes) {
        const uint8_t* row = binary.rows[y];
        int x = 0;
#if VELMORA_SSE2
        for (; x + 16 <= binary.width; x += 16) {
            // Shifted left by 7, a sample of 1 sets its byte's top bit, which the mask gathers.
            const __m128i samples = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x));
            const int bits = _mm_movemask_epi8(_mm_slli_epi16(samples, 7));
            out[x / 8] = static_cast<uint8_t>(bits);
            out[x / 8 + 1] = static_cast<uint8_t>(bits >> 8);
        }
#endif
        for (; x + 8 <= binary.width; x += 8) {
            uint64_t word;
            std::memcpy(&word, row + x, sizeof word);
            // Each byte is 0 or 1: the product gathers sample i at bit i of its top byte.
            out[x / 8] = static_cast<uint8_t>((word * 0x0102040810204080ull) >> 56);
        }
        for (; x < binary.width; ++x) out[x / 8] |= static_cast<uint8_t>((row[x] & 1) << (x % 8));
    }
    picture.hash = hashOf(packed, binary.width, binary.height);
    picture.packed = true;
}


bool RepeatedPasses::skipsSearch(const PackedPicture& picture) {
    open_ = false;
    if (!picture.packed) return false;
    const uint64_t hash = picture.hash;
    const int reads = readsSoFar();
    for (auto r = remembered_.rbegin(); r != remembered_.rend(); ++r) {
        if (r->hash != hash || r->readsBefore != reads || r->readsAfter != reads) continue;
        if (r->packed != picture.bytes || !equalsCarriedState(r->start)) continue;
        restoreCarriedState(r->end);
        return true;
    }
    // Memory short for the record only means passes are not remembered.
    try {
        const bool seenBefore = std::find(seen_.begin(), seen_.end(), hash) != seen_.end();
        seen_.push_back(hash);
        if (seenBefore) {
            remembered_.push_back({hash, picture.bytes, snapshot(), {}, reads, -1});
            open_ = true;
        }
    } catch (const std::bad_alloc&) {
        open_ = false;
    }
    return false;
}

void RepeatedPasses::searchEnded() {
    if (!open_) return;
    open_ = false;
    try {
        remembered_.back().end = snapshot();
        remembered_.back().readsAfter = readsSoFar();
    } catch (const std::bad_alloc&) {
        remembered_.pop_back();
    }
}

}  // namespace velmora
