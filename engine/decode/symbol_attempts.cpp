#include "engine/decode/symbol_attempts.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/frame_sampling.h"
#include "engine/decode/symbol_record.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/version_information.h"
#include "engine/image/state_bytes.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

struct AttemptState {
    int pairMode = 0;
    // The version the samplings and reads of the candidate work with.
    int workingVersion = 0;
    // While a candidate loop runs, each read's corners are worked out the moment it reads.
    bool cornersWanted = false;
};

AttemptState attempt;

constexpr float kMinPatternScore = 1.5f;
constexpr int kAllDirections = 3;
// The three patterns of one symbol measure their modules alike within this factor.
constexpr double kMaxModuleRatio = 3.0;
// Estimates of the two sides may disagree by this many versions.
constexpr float kMaxEstimateSpread = 4.0f;
// Enlarged pictures are small ones: a large version there is a misreading of noise.
constexpr int kMaxEnlargedVersion = 14;
// Versions of at least this size carry version blocks and alignment grids worth a first look.
constexpr int kFirstBlockVersion = 6;
constexpr int kFirstGridVersion = 7;
// Odd pair variants assume square modules and are trusted only for small symbols.
constexpr int kFirstOddRejectedVersion = 8;

// Reads the sampled matrix as version v.
bool readAs(int v) {
    attempt.workingVersion = v;
    const bool read = processDecoder().ReadSymbol(symbolSizeOf(v), v) >= 0;
    if (read && attempt.cornersWanted) computeSymbolCorners();
    return read;
}

// Samples in the mode and reads the result as version v.
bool sampleAndRead(const uint8_t* const* rows, int height, int width, int mode, int v) {
    return samplePerspective(rows, height, width, mode, v) == 1 && readAs(v);
}

// The two single-transform samplings through the finder centres; the second one only in the
// triple loop. -1 when the first cannot be sampled, 1 when one reads, else 0.
int readThroughFinders(const uint8_t* const* rows, int height, int width, int v) {
    if (samplePerspective(rows, height, width, kSampleParallelogram, v) != 1) return -1;
    if (readAs(v)) return 1;
    return attempt.pairMode == 0 && sampleAndRead(rows, height, width, kSamplePerspective, v) ? 1 : 0;
}

// The two samplings through an alignment pattern; the second one only in the triple loop.
bool readThroughAlignment(const uint8_t* const* rows, int height, int width, int v) {
    if (sampleAndRead(rows, height, width, kSampleAlignment, v)) return true;
    return attempt.pairMode == 0 && sampleAndRead(rows, height, width, kSampleCorrected, v);
}

// A small symbol read as the neighbouring version v: -1 when it cannot be sampled, 1 when it
// reads, else 0.
int readAsNeighbour(const uint8_t* const* rows, int height, int width, int v) {
    const int plain = readThroughFinders(rows, height, width, v);
    if (plain != 0) return plain;
    setAlignmentCoordinates(v);
    locateAlignmentPatterns(v, rows, height, width, kAllDirections);
    if (prepareAlignmentGrid(v) != 1) return -1;
    return readThroughAlignment(rows, height, width, v) ? 1 : 0;
}

// The three patterns measure similar modules along both sides.
bool similarModuleSizes(const std::array<FrameCorner, 4>& frame) {
    for (int side = 1; side <= 2; ++side) {
        for (int i = 0; i < 3; ++i) {
            const FrameCorner& p = frame[static_cast<std::size_t>(i)];
            const FrameCorner& q = frame[static_cast<std::size_t>((i + 1) % 3)];
            const float ratio = side == 1 ? p.m1 / q.m1 : p.m2 / q.m2;
            if (ratio > kMaxModuleRatio || ratio < 1.0 / kMaxModuleRatio) return false;
        }
    }
    return true;
}

// Modules of a sampled finder pattern that may differ from the ideal one before the pattern
// counts as missed.
constexpr int kMaxFinderMismatches = 12;
// Modules of a finder's centre row and column and of its separator that may differ while the
// finder still counts as lying where the frame puts it.
constexpr int kMaxFramingMismatches = 3;

// Whether module (x, y) of a 7 x 7 finder pattern is dark: the outer ring and the 3 x 3 centre.
constexpr bool finderModuleDark(int x, int y) {
    const int ring = std::max(std::abs(x - 3), std::abs(y - 3));
    return ring != 2;
}

bool sampledDark(const uint8_t* sampled, int x, int y) { return sampled[x * kMatrixStride + y] != 0; }

// Modules of the 7 x 7 area at (x0, y0) of the matrix as it was read that differ from a finder.
int finderMismatches(const uint8_t* sampled, int x0, int y0) {
    int mismatches = 0;
    for (int x = 0; x < 7; ++x) {
        for (int y = 0; y < 7; ++y) {
            if (sampledDark(sampled, x0 + x, y0 + y) != finderModuleDark(x, y)) ++mismatches;
        }
    }
    return mismatches;
}

// Modules that differ from a finder on the centre row and column of the 7 x 7 area at (x0, y0),
// and from light on its separator (the line of light modules between a finder and the rest of
// a symbol of n modules). These are the modules that place the finder: the finder search found
// it by its centre lines, and a frame whose corner sits a module or more away from the finder
// reads them shifted.
int framingMismatches(const uint8_t* sampled, int n, int x0, int y0) {
    int mismatches = 0;
    for (int i = 0; i < 7; ++i) {
        if (sampledDark(sampled, x0 + 3, y0 + i) != finderModuleDark(3, i)) ++mismatches;
        if (i != 3 && sampledDark(sampled, x0 + i, y0 + 3) != finderModuleDark(i, 3)) ++mismatches;
    }
    const int separatorX = x0 == 0 ? 7 : n - 8;
    const int separatorY = y0 == 0 ? 7 : n - 8;
    for (int i = 0; i < 8; ++i) {
        const int x = x0 == 0 ? i : n - 1 - i;
        const int y = y0 == 0 ? i : n - 1 - i;
        if (sampledDark(sampled, separatorX, y)) ++mismatches;
        if (x != separatorX && sampledDark(sampled, x, separatorY)) ++mismatches;
    }
    return mismatches;
}

// A read through a frame whose corner is not a finder pattern at all (a look-alike in the data
// of the same symbol, or a pattern found a module or more off) can still succeed, because error
// correction absorbs the modules that the wrong corner displaces; but its finder centres,
// corners and masked area are then wrong, and the symbol could be read again later. Such a read
// is refused, so that the candidate with the symbol's own finders gives it. A finder of the
// symbol's own that is damaged away from its centre lines also differs in many modules, but its
// centre lines and separator read true: refusing it would leave the symbol to a pair candidate,
// whose inferred corner lies most of a module off, or to no candidate at all. The pattern that
// a pair candidate infers is not judged: it may be the one that is missing. damaged[role] tells
// which finders were let through that way.
bool foundFindersSampledAsFinders(std::array<bool, 3>& damaged) {
    const CQR_Decoder& reader = processDecoder();
    const int n = reader.size();
    const std::array<std::array<int, 2>, 3> origins = {{{0, 0}, {n - 7, 0}, {0, n - 7}}};
    damaged.fill(false);
    for (int role = kFrameA; role <= kFrameC; ++role) {
        if (attempt.pairMode == 1 && frameOrder()[static_cast<std::size_t>(role)] == 0) continue;
        const auto& origin = origins[static_cast<std::size_t>(role)];
        if (finderMismatches(reader.sampledCopy(), origin[0], origin[1]) <= kMaxFinderMismatches) continue;
        if (framingMismatches(reader.sampledCopy(), n, origin[0], origin[1]) > kMaxFramingMismatches) return false;
        damaged[static_cast<std::size_t>(role)] = true;
    }
    return true;
}

// The offset, in pixels along the unit vector u, from `from` to the middle of the run of equal
// binary samples through it; false when that run is not 2 to 4 modules of `module` pixels long,
// as the 3-module core of a finder is. Samples are taken every half pixel.
bool middleOfRun(const uint8_t* const* rows, int height, int width, PointF from, PointF u, float module,
                 float& offset) {
    auto sampleAt = [&](float t, uint8_t& value) {
        const int x = static_cast<int>(std::floor(from.x + t * u.x + 0.5f));
        const int y = static_cast<int>(std::floor(from.y + t * u.y + 0.5f));
        if (x < 0 || y < 0 || x >= width || y >= height) return false;
        value = rows[y][x];
        return true;
    };
    uint8_t core = 0;
    if (!sampleAt(0.0f, core)) return false;
    const float reach = 3.0f * module;
    std::array<float, 2> ends{};
    for (int side = 0; side < 2; ++side) {
        const float step = side == 0 ? 0.5f : -0.5f;
        float t = 0.0f;
        uint8_t value = core;
        while (std::fabs(t) <= reach && sampleAt(t + step, value) && value == core) t += step;
        if (value == core) return false;  // ran off the picture or past any finder's core
        ends[static_cast<std::size_t>(side)] = t + step * 0.5f;
    }
    const float length = ends[0] - ends[1];
    if (length < 2.0f * module || length > 4.0f * module) return false;
    offset = (ends[0] + ends[1]) * 0.5f;
    return true;
}

// A finder damaged away from its centre lines is found by fewer scan lines on one side of its
// centre than on the other, which pulls its centre up to a third of a module off and the symbol
// corner beside it half a module. Its centre lines read true, so the centre is taken again as the
// middle of its core along side 2, then along side 1 through that point; the finder's recorded
// centre and the corner beside it move by the same amount. A run that does not look like a
// finder's core, or a move of more than a module, leaves both as they were.
void recentreDamagedFinders(const uint8_t* const* rows, int height, int width, int k,
                            const std::array<bool, 3>& damaged) {
    CandidateTriple& triple = candidateTriple();
    const float back = backToCaller();
    for (int role = kFrameA; role <= kFrameC; ++role) {
        if (!damaged[static_cast<std::size_t>(role)]) continue;
        const FrameCorner& f = frameCorners()[static_cast<std::size_t>(role)];
        const auto slot = static_cast<std::size_t>(frameOrder()[static_cast<std::size_t>(role)]);
        const PointF centre{triple.values[kFinderX][slot], triple.values[kFinderY][slot]};
        float along2 = 0.0f, along1 = 0.0f;
        if (!middleOfRun(rows, height, width, centre, f.e2, f.m2, along2)) continue;
        const PointF halfway{centre.x + along2 * f.e2.x, centre.y + along2 * f.e2.y};
        if (!middleOfRun(rows, height, width, halfway, f.e1, f.m1, along1)) continue;
        const PointF shift{along2 * f.e2.x + along1 * f.e1.x, along2 * f.e2.y + along1 * f.e1.y};
        const float module = 0.5f * (f.m1 + f.m2);
        if (shift.x * shift.x + shift.y * shift.y > module * module) continue;
        triple.values[kFinderX][slot] = centre.x + shift.x;
        triple.values[kFinderY][slot] = centre.y + shift.y;
        decodedEntry(k).dXY_4Corners[role] += shift.x * back;
        decodedEntry(k).dXY_4Corners[4 + role] += shift.y * back;
    }
}

// A candidate with a pattern scored below 1.5 (or marked used) is not tried.
bool anyScoreBelowFound(const CandidateTriple& triple) {
    return std::any_of(triple.scores.begin(), triple.scores.end(), [](float s) { return s < kMinPatternScore; });
}

// Records the read symbol as entry k. A failure while recording leaves the count as it was.
bool recordRead(int k, int convertFlag) {
    try {
        recordSymbol(k, convertFlag);
        return true;
    } catch (...) {
        return false;
    }
}

// Attempts the current candidate and records what it reads as entry k. A read through a guessed
// fourth point, or through a grid whose bottom-right centre is a look-alike, gets its corners
// from the alignment pattern first.
bool readAndRecord(const uint8_t* const* rows, int height, int width, int k, int convertFlag) {
    std::array<bool, 3> damaged{};
    if (attemptSymbol(rows, height, width) != 1 || !foundFindersSampledAsFinders(damaged)) return false;
    anchorCornersOnAlignment(rows, height, width);
    recentreDamagedFinders(rows, height, width, k, damaged);
    return recordRead(k, convertFlag);
}

// Masks the symbol just recorded in the request's mask, when there is one. The mask only keeps
// later candidates off the symbol, so once the wanted count is reached there is nothing to mask
// for: the request ends with this symbol.
void markReadArea() {
    if (decodedCount() >= wantedCount()) return;
    const Raster* mask = decodedAreaMask();
    if (mask != nullptr && mask->rows != nullptr) markDecodedArea(mask->rows, mask->width, mask->height);
}

// The request's wanted count.
int wantedHere() { return wantedCount(); }

// Each read symbol's corners are worked out while a loop runs, and not otherwise.
class CornersWanted {
public:
    CornersWanted() { attempt.cornersWanted = true; }
    ~CornersWanted() { attempt.cornersWanted = false; }
    CornersWanted(const CornersWanted&) = delete;
    CornersWanted& operator=(const CornersWanted&) = delete;
};

}  // namespace

int pairMode() { return attempt.pairMode; }

int estimateVersion(int& version, const uint8_t* const* rows, int height, int width,
                    const std::array<FrameCorner, 4>& frame) {
    if (!similarModuleSizes(frame)) return -1;
    const FrameCorner& a = frame[kFrameA];
    const FrameCorner& b = frame[kFrameB];
    const FrameCorner& c = frame[kFrameC];
    // 4 version + 10 modules lie between two finder centres.
    const float across = (2.0f * a.length1 / (a.m1 + b.m1) - 10.0f) * 0.25f;
    const float down = (2.0f * a.length2 / (a.m2 + c.m2) - 10.0f) * 0.25f;
    for (float estimate : {across, down}) {
        if (!(estimate >= 0.7 && estimate <= 44.0)) return -1;
    }
    if (std::fabs(across - down) > kMaxEstimateSpread) return -1;
    int v = static_cast<int>((static_cast<long double>(across) + down) * 0.5L + 0.5L);
    if (isEnlarged() && enlargementFactor() > 1.0f && v > kMaxEnlargedVersion) return -1;
    if (attempt.pairMode == 0 && v >= kFirstGridVersion && correctFourthCorner(framePoints()) != 1) return -1;
    // The flag belongs to the pair variant being tried; in the triple loop a flag left over
    // from an earlier pair loop says nothing about the candidate.
    PairVariantState& variant = pairVariantState();
    if (attempt.pairMode == 1 && variant.oddVariantFlag != 0 && v >= kFirstOddRejectedVersion) {
        variant.oddVariantFlag = 0;
        return -1;
    }
    attempt.workingVersion = v;
    version = v;
    const int estimated = v;
    if (v >= kFirstBlockVersion && v <= kMaxVersion) {
        const int plain = readThroughFinders(rows, height, width, v);
        if (plain < 0) return -1;
        if (plain == 1) return 2;
    }
    if (v >= kFirstBlockVersion) {
        const int confirmed = readVersionInformation(v, rows, height, width, kAllDirections);
        if (confirmed != 0) v = confirmed;
    }
    if (v < kMinVersion || v > kMaxVersion) return -1;
    attempt.workingVersion = v;
    version = v;
    return v < kFirstBlockVersion || v != estimated ? 1 : 0;
}

std::span<std::byte> attemptStateBytes() { return stateBytes(attempt); }

int attemptSymbol(const uint8_t* const* rows, int height, int width) {
    if (buildSymbolFrame(framePoints()) != 1) return -1;
    int v = 0;
    const int estimate = estimateVersion(v, rows, height, width, frameCorners());
    if (estimate < 0 || v < kMinVersion || v > kMaxVersion) return -1;
    if (estimate == 2) return 1;
    if (estimate == 1) {
        const int plain = readThroughFinders(rows, height, width, v);
        if (plain != 0) return plain;
    }
    setAlignmentCoordinates(v);
    locateAlignmentPatterns(v, rows, height, width, kAllDirections);
    if (readThroughAlignment(rows, height, width, v)) return 1;
    if (v >= kFirstGridVersion) {
        if (prepareAlignmentGrid(v) != 1) return -1;
        return sampleAlignmentGrid(rows, height, width, v) == 1 && readAs(v) ? 1 : -2;
    }
    const int estimated = v;
    for (int neighbour : {estimated - 1, estimated + 1}) {
        if (neighbour < kMinVersion || neighbour >= kFirstGridVersion) continue;
        const int read = readAsNeighbour(rows, height, width, neighbour);
        if (read != 0) return read;
    }
    return -1;
}

int tryFinderTriples(const uint8_t* const* rows, int height, int width, int convertFlag) {
    attempt.pairMode = 0;
    int k = decodedCount();
    if (buildTriples() == 0) return k;
    const CornersWanted corners;
    CandidateTriple& triple = candidateTriple();
    int cursor = -1;
    while (k < wantedHere()) {
        triple.scores.fill(0.0f);
        if (nextTriple(cursor) != 1) break;
        if (budgetSpent()) break;
        if (anyScoreBelowFound(triple)) continue;
        if (!readAndRecord(rows, height, width, k, convertFlag)) continue;
        k = decodedCount();
        disableSharingTriples(cursor, kTripleMode);
        markPatternsUsed(cursor, kTripleMode);
        markReadArea();
    }
    return k;
}

int tryFinderPairs(const uint8_t* const* rows, int height, int width, int convertFlag) {
    attempt.pairMode = 1;
    int k = decodedCount();
    if (buildPairs() == 0) return k;
    const CornersWanted corners;
    CandidateTriple& triple = candidateTriple();
    int entry = 0, variant = -1;
    while (k < wantedHere()) {
        triple.scores.fill(0.0f);
        const int next = nextPairVariant(entry, variant, finderList(), finderTable(), height, width);
        if (next == 0) continue;
        if (next != 1) break;
        if (budgetSpent()) break;
        if (anyScoreBelowFound(triple)) continue;
        if (!readAndRecord(rows, height, width, k, convertFlag)) continue;
        k = decodedCount();
        disableSharingTriples(entry, kPairMode);
        markPatternsUsed(entry, kPairMode);
        ++entry;
        variant = -1;
        markReadArea();
    }
    return k;
}

}  // namespace velmora
