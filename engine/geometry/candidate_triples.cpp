#include "engine/geometry/candidate_triples.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/geometry/symbol_frame.h"
#include "engine/image/state_bytes.h"

namespace velmora {
namespace {

struct CandidateState {
    CandidateTriple triple{};
    std::array<SlotSizes, kCandidateSlots> slots{};
    CandidateTable table{};
    float acuteLimit = kAcuteAngleLimit;
    float obtuseLimit = kObtuseAngleLimit;
    PairVariantState pair{1.0f, 0.0f, 1.0f, 0};
};

CandidateState state;

constexpr int kPairVariants = 16;
constexpr double kMaxSideRatio = 7.25;  // of squared side lengths: sides within about 2.69
constexpr double kMaxModuleRatio = 3.0;
constexpr double kMarginFactor = 0.16;  // corners may lie 0.4 pair distances outside
constexpr float kCoincidence = 3.0f;

float at(const FinderTable& table, int value, int column) {
    return table[static_cast<std::size_t>(value)][static_cast<std::size_t>(column)];
}

PointF centreOf(const FinderTable& table, int column) { return {at(table, kFinderX, column), at(table, kFinderY, column)}; }

float squaredDistance(PointF a, PointF b) {
    const float dx = a.x - b.x, dy = a.y - b.y;
    return dx * dx + dy * dy;
}

// In every scan family that measured both patterns, their module sizes are within a factor 3.
bool similarModuleSizes(const FinderTable& table, int a, int b) {
    for (int d = 0; d < 4; ++d) {
        const int size = kFinderRowSize + 2 * d, count = kFinderRowCount + 2 * d;
        if (at(table, count, a) == 0.0f || at(table, count, b) == 0.0f) continue;
        const float ratio = at(table, size, a) / at(table, size, b);
        if (ratio < 1.0 / kMaxModuleRatio || ratio > kMaxModuleRatio) return false;
    }
    return true;
}

bool sideRatioFits(float a, float b) {
    const float ratio = a / b;
    return ratio >= 1.0 / kMaxSideRatio && ratio <= kMaxSideRatio;
}

// The angle between the sides of squared lengths p and q, opposite the side of squared length
// o, is neither too acute nor too obtuse (law of cosines on squared lengths).
bool angleFits(float p, float q, float o) {
    const float e = p + q - o;
    const float cos2 = e * e / (4.0f * p * q);
    return e >= 0.0f ? !(cos2 > state.acuteLimit) : !(cos2 > state.obtuseLimit);
}

bool tripleFits(const FinderTable& table, int a, int b, int c) {
    const PointF pa = centreOf(table, a), pb = centreOf(table, b), pc = centreOf(table, c);
    const float dAB = squaredDistance(pa, pb), dAC = squaredDistance(pa, pc), dBC = squaredDistance(pb, pc);
    if (dAB == 0.0f || dAC == 0.0f || dBC == 0.0f) return false;
    if (!sideRatioFits(dAB, dAC) || !sideRatioFits(dAB, dBC) || !sideRatioFits(dAC, dBC)) return false;
    if (!angleFits(dAB, dAC, dBC) || !angleFits(dAC, dBC, dAB) || !angleFits(dAB, dBC, dAC)) return false;
    return similarModuleSizes(table, a, b) && similarModuleSizes(table, a, c) && similarModuleSizes(table, b, c);
}

// Copies FinderTable column `column` into candidate slot m.
void loadSlot(int m, const FinderTable& table, int column) {
    const auto slot = static_cast<std::size_t>(m);
    for (int v = 0; v < kFinderValues; ++v) state.triple.values[static_cast<std::size_t>(v)][slot] = at(table, v, column);
    state.triple.scores[slot] = at(table, kFinderScore, column);
    SlotSizes& sizes = state.slots[slot];
    // Frame scan order: rows, diagonals, columns, anti-diagonals.
    constexpr std::array<int, 4> familyOf = {kScanRows, kScanDiagonals, kScanColumns, kScanAntiDiagonals};
    for (int d = 0; d < kSlotDirections; ++d) {
        const int family = familyOf[static_cast<std::size_t>(d)];
        sizes.counts[static_cast<std::size_t>(d)] = static_cast<int32_t>(at(table, kFinderRowCount + 2 * family, column));
        sizes.sizes[static_cast<std::size_t>(d)] = at(table, kFinderRowSize + 2 * family, column);
    }
}

void loadEntry(const std::array<int32_t, 4>& entry, const FinderList& list, const FinderTable& table) {
    for (int m = 0; m < kCandidateSlots; ++m) {
        loadSlot(m, table, list.columns[static_cast<std::size_t>(entry[static_cast<std::size_t>(m + 1)])]);
    }
}

PointF slotCentre(int m) {
    return {state.triple.values[kFinderX][static_cast<std::size_t>(m)], state.triple.values[kFinderY][static_cast<std::size_t>(m)]};
}

void setSlotCentre(int m, PointF p) {
    state.triple.values[kFinderX][static_cast<std::size_t>(m)] = p.x;
    state.triple.values[kFinderY][static_cast<std::size_t>(m)] = p.y;
}

// Variants 0 to 7: the pair is one side of the symbol, `corner` the pattern at the right
// angle; the third pattern lies k side lengths away, turned one way or the other.
struct RightAngle {
    PointF corner;
    PointF other;
};

RightAngle rightAngleOf(int variant, PointF p1, PointF p2) { return variant < 4 ? RightAngle{p1, p2} : RightAngle{p2, p1}; }

PointF thirdAtRightAngle(int variant, PointF p1, PointF p2, float k) {
    const RightAngle r = rightAngleOf(variant, p1, p2);
    const float dx = r.other.x - r.corner.x, dy = r.other.y - r.corner.y;
    if ((variant / 2) % 2 == 0) return {r.corner.x - dy * k, r.corner.y + dx * k};
    return {r.corner.x + dy * k, r.corner.y - dx * k};
}

// Variants 8 to 15: the pair is the symbol's diagonal; the third pattern is one end turned
// about the middle, by 2 atan(k) (even variants) or a right angle (odd ones).
PointF thirdAcrossDiagonal(int variant, PointF p1, PointF p2, const PairVariantState& pv) {
    const PointF m = {(p1.x + p2.x) / 2.0f, (p1.y + p2.y) / 2.0f};
    const PointF a = variant < 12 ? p2 : p1;
    const float u = a.x - m.x, w = a.y - m.y;
    const float c = pv.cosine, s = pv.sine;
    switch (variant % 4) {
        case 0: return {m.x + u * c - w * s, m.y + w * c + u * s};
        case 1: return {m.x - w, m.y + u};
        case 2: return {m.x + u * c + w * s, m.y + w * c - u * s};
        default: return {m.x + w, m.y - u};
    }
}

// The aspect of the diagonal variants from the found patterns' module sizes: from P1 when all
// four of its scan directions measured it (as a ratio of at least 1), else from P2. False when
// neither gives a ratio.
bool measureDiagonalAspect(PairVariantState& pv) {
    const SlotSizes& first = state.slots[1];
    float k1 = 0.0f, k2 = 0.0f;
    if (first.counts[0] != 0 && first.counts[1] != 0 && first.counts[2] != 0 && first.counts[3] != 0) {
        k1 = first.sizes[0] / first.sizes[2];
        k2 = first.sizes[1] / first.sizes[3];
        if (k1 < 1.0f) k1 = 1.0f / k1;
        if (k2 < 1.0f) k2 = 1.0f / k2;
    } else {
        const SlotSizes& second = state.slots[2];
        if (second.counts[0] != 0 && second.counts[2] != 0) k1 = second.sizes[0] / second.sizes[2];
        if (second.counts[1] != 0 && second.counts[3] != 0) k2 = second.sizes[1] / second.sizes[3];
        if (k1 == 0.0f && k2 == 0.0f) return false;
    }
    const float k = std::max(k1, k2);
    pv.aspectFactor = k;
    pv.cosine = (1.0f - k * k) / (1.0f + k * k);
    pv.sine = 2.0f * k / (1.0f + k * k);
    return true;
}

// A corner may lie outside the picture by up to 0.4 pair distances.
bool withinMargin(PointF p, float q, int height, int width) {
    for (float v : {p.x, p.y}) {
        if (v < 0.0f && v * v > q) return false;
    }
    const float beyondX = p.x - static_cast<float>(width), beyondY = p.y - static_cast<float>(height);
    if (p.x > static_cast<float>(width) && !(beyondX * beyondX < q)) return false;
    if (p.y > static_cast<float>(height) && !(beyondY * beyondY < q)) return false;
    return true;
}

// The inferred centre is a pattern the search already found: that one belongs to a triple.
bool landsOnFoundPattern(PointF t) {
    const FinderBackup& backup = finderBackup();
    for (int c = 0; c < kFinderPatternsKept; ++c) {
        if (backup[2][static_cast<std::size_t>(c)] < kFinderMinScore) continue;
        if (std::fabs(t.x - backup[0][static_cast<std::size_t>(c)]) <= kCoincidence &&
            std::fabs(t.y - backup[1][static_cast<std::size_t>(c)]) <= kCoincidence) {
            return true;
        }
    }
    return false;
}

int firstPositionField(CandidateMode mode) { return mode == kPairMode ? 2 : 1; }

}  // namespace

CandidateTriple& candidateTriple() { return state.triple; }
std::array<SlotSizes, kCandidateSlots>& slotSizes() { return state.slots; }
const CandidateTable& candidateTable() { return state.table; }
PairVariantState& pairVariantState() { return state.pair; }
std::span<std::byte> candidateStateBytes() { return stateBytes(state); }

void clearCandidateTriple() {
    for (auto& value : state.triple.values) value.fill(0.0f);
    state.triple.scores.fill(0.0f);
}

void setAngleThresholds(float acute, float obtuse) {
    state.acuteLimit = acute;
    state.obtuseLimit = obtuse;
}

int buildTriples() {
    CandidateTable& t = state.table;
    t.count = 0;
    const FinderList& list = finderList();
    const FinderTable& table = finderTable();
    const int n = list.count;
    if (n < 3) return 0;
    for (int i = n; i >= 3; --i) {
        for (int j = i - 1; j >= 2; --j) {
            for (int k = j - 1; k >= 1; --k) {
                auto& entry = t.entries[static_cast<std::size_t>(t.count)];
                entry = {1, k - 1, j - 1, i - 1};
                const int a = list.columns[static_cast<std::size_t>(k - 1)];
                const int b = list.columns[static_cast<std::size_t>(j - 1)];
                const int c = list.columns[static_cast<std::size_t>(i - 1)];
                if (tripleFits(table, a, b, c) && t.count < kMaxCandidates) ++t.count;
            }
        }
    }
    return 1;
}

int buildPairs() {
    CandidateTable& t = state.table;
    t.count = 0;
    const FinderList& list = finderList();
    const FinderTable& table = finderTable();
    const int n = list.count;
    if (n < 2) return 0;
    for (int i = n; i >= 2; --i) {
        for (int j = i - 1; j >= 1; --j) {
            auto& entry = t.entries[static_cast<std::size_t>(t.count)];
            entry = {1, -1, j - 1, i - 1};
            const int a = list.columns[static_cast<std::size_t>(j - 1)];
            const int b = list.columns[static_cast<std::size_t>(i - 1)];
            if (similarModuleSizes(table, a, b) && t.count < kMaxCandidates) ++t.count;
        }
    }
    return 1;
}

int nextTriple(int& cursor) {
    const CandidateTable& t = state.table;
    if (t.count == 0) return -1;
    ++cursor;
    while (cursor < t.count && t.entries[static_cast<std::size_t>(cursor)][0] == 0) ++cursor;
    if (cursor >= t.count) return -1;
    loadEntry(t.entries[static_cast<std::size_t>(cursor)], finderList(), finderTable());
    return 1;
}

int nextPairVariant(int& entry, int& variant, const FinderList& list, const FinderTable& table, int height, int width) {
    CandidateTable& t = state.table;
    if (t.count == 0 || entry >= t.count) return -1;
    if (++variant >= kPairVariants) {
        variant = 0;
        if (++entry >= t.count) return -1;
    }
    while (t.entries[static_cast<std::size_t>(entry)][0] == 0) {
        variant = 0;
        if (++entry >= t.count) return -1;
    }

    PairVariantState& pv = state.pair;
    pv.oddVariantFlag = variant % 2;
    if (pv.oddVariantFlag != 0) {
        // The square-module variants are worth a try only when the measured aspect is
        // moderately off square.
        const float k = pv.aspectFactor;
        if ((k > 0.99 && k < 1.01) || k > 1.2 || k < 0.8) {
            pv.oddVariantFlag = 0;
            return 0;
        }
    }

    auto& fields = t.entries[static_cast<std::size_t>(entry)];
    fields[1] = fields[2];
    loadEntry(fields, list, table);
    const PointF p1 = slotCentre(1), p2 = slotCentre(2);

    PointF third;
    PointF fourth;
    if (variant < 8) {
        setSlotCentre(0, thirdAtRightAngle(variant, p1, p2, 1.0f));
        if (variant % 2 == 0) {
            if (buildSymbolFrame(framePoints()) != 1) return 0;
            const auto& corners = frameCorners();
            const FrameCorner& a = corners[kFrameA];
            const FrameCorner& b = corners[kFrameB];
            const FrameCorner& c = corners[kFrameC];
            pv.aspectFactor = frameOrder()[1] == 0 ? 2.0f * a.m1 / (a.m2 + c.m2) : 2.0f * a.m2 / (a.m1 + b.m1);
        } else {
            pv.aspectFactor = 1.0f;
        }
        third = thirdAtRightAngle(variant, p1, p2, pv.aspectFactor);
        const RightAngle r = rightAngleOf(variant, p1, p2);
        fourth = {r.other.x + third.x - r.corner.x, r.other.y + third.y - r.corner.y};
    } else {
        if (variant == 8 && !measureDiagonalAspect(pv)) return 0;
        third = thirdAcrossDiagonal(variant, p1, p2, pv);
        fourth = {p1.x + p2.x - third.x, p1.y + p2.y - third.y};
    }
    setSlotCentre(0, third);

    const float q = static_cast<float>(kMarginFactor * squaredDistance(p1, p2));
    if (!withinMargin(third, q, height, width) || !withinMargin(fourth, q, height, width)) return 0;
    if (landsOnFoundPattern(third)) return 0;
    return 1;
}

void disableSharingTriples(int entry, CandidateMode mode) {
    CandidateTable& t = state.table;
    const std::array<int32_t, 4> used = t.entries[static_cast<std::size_t>(entry)];
    const int first = firstPositionField(mode);
    for (int f = 0; f < t.count; ++f) {
        auto& other = t.entries[static_cast<std::size_t>(f)];
        if (other[0] == 0) continue;
        for (int a = first; a < 4 && other[0] != 0; ++a) {
            for (int b = first; b < 4; ++b) {
                if (other[static_cast<std::size_t>(a)] == used[static_cast<std::size_t>(b)]) {
                    other[0] = 0;
                    break;
                }
            }
        }
    }
}

void markPatternsUsed(int entry, CandidateMode mode) {
    const auto& fields = state.table.entries[static_cast<std::size_t>(entry)];
    FinderTable& table = finderTable();
    const FinderList& list = finderList();
    for (int a = firstPositionField(mode); a < 4; ++a) {
        const int column = list.columns[static_cast<std::size_t>(fields[static_cast<std::size_t>(a)])];
        table[kFinderScore][static_cast<std::size_t>(column)] = 0.0f;
    }
}

}  // namespace velmora
