#include "engine/decode/finder_outline_stage.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/pass_search.h"
#include "engine/decode/reduced_copy_stage.h"
#include "engine/decode/stage_search.h"
#include "engine/decode/symbol_record.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/perspective_fit.h"
#include "engine/image/binarization.h"
#include "engine/image/local_threshold.h"
#include "engine/image/mean_threshold.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// Three patterns of one symbol: module sizes within a factor of three (a close view in a strong
// perspective), the two sides from the corner pattern within a factor of two of each other and
// not nearer to parallel than this cosine allows (a strong perspective narrows the angle).
constexpr float kMaxModuleSizeRatio = 3.0f;
constexpr float kMaxSideRatio = 2.0f;
constexpr float kMaxSideCosine = 0.6f;
// Versions tried around the one the distances suggest, nearest first.
constexpr std::array<int, 3> kVersionSteps = {0, -1, 1};
// The largest picture searched whole.
constexpr int kLargestWhole = 2048;
// Modules of the 5 x 5 alignment pattern that must match where it is taken to lie, and how many
// times its centre counts against the twelve finder corners when the plane is fitted again.
constexpr int kAlignmentMatches = 22;
constexpr int kAlignmentWeight = 4;
// Modules on each side of a module whose mean grey is its threshold in the second sampling.
constexpr int kModuleWindow = 4;
// A run-found pattern this many module sizes from an outlined one is the same pattern.
constexpr float kSamePatternModules = 2.0f;
// How far, as the sine of the angle, the line between two patterns may turn from their edges
// (or from half a right angle to them) under perspective.
constexpr float kPairAngleTolerance = 0.3f;
// Module sizes between two finder centres of one symbol: 14 along a side of version 1, and
// 170 times the square root of 2 across version 40.
constexpr float kNearestFinders = 12.0f;
constexpr float kFarthestFinders = 250.0f;
// The mean thresholds' windows, as parts of the picture's shorter side: a symbol across a
// third of the picture has modules of a window or so in the first, a small one in the second.
constexpr std::array<int, 2> kMeanWindowParts = {24, 48};
// Patterns taken as a corner's partners when many symbols are searched for.
constexpr std::size_t kNearestPatterns = 8;
// The run scan along rows and columns and along both diagonals.
constexpr int kBothScanKinds = 3;
// The reader's matrix holds column x from byte x * 177 on.
constexpr int kMatrixStride = 177;

PointF minus(PointF a, PointF b) { return {a.x - b.x, a.y - b.y}; }
float dot(PointF a, PointF b) { return a.x * b.x + a.y * b.y; }
float length(PointF a) { return std::hypot(a.x, a.y); }
float cross(PointF a, PointF b) { return a.x * b.y - a.y * b.x; }

// One search of the stage: the grey picture at the size searched, its binary picture, which way
// round the finders are, and the factor back to the caller's picture.
struct OutlineSearch {
    const Raster& grey;
    const Raster& binary;
    bool lightFinders;
    int factor;
};

// The pattern's corners in the order top-left, top-right, bottom-right, bottom-left, with
// the first side along `along` and the second along `down`.
std::array<PointF, 4> cornersInModuleOrder(const FinderOutline& f, PointF along, PointF down) {
    std::array<PointF, 4> ordered = f.corners;
    std::array<float, 4> best = {1e30f, -1e30f, -1e30f, -1e30f};
    for (const PointF& p : f.corners) {
        const PointF d = minus(p, f.centre);
        const float x = dot(d, along), y = dot(d, down);
        const std::array<float, 4> score = {x + y, x - y, x + y, y - x};
        if (score[0] < best[0]) best[0] = score[0], ordered[0] = p;
        for (std::size_t i = 1; i < 4; ++i) {
            if (score[i] > best[i]) best[i] = score[i], ordered[i] = p;
        }
    }
    return ordered;
}

// Maps module point (c, r) of the plane into the caller's picture, from a copy reduced by factor.
PointF toCaller(const PerspectiveCoefficients& plane, float c, float r, int factor) {
    PointF p{};
    if (mapPoint({c, r}, p, plane) != 1) return {0.0f, 0.0f};
    const float f = static_cast<float>(factor);
    return {(p.x + 0.5f) * f - 0.5f, (p.y + 0.5f) * f - 0.5f};
}

// Samples the n x n module centres of the plane from the binary picture into the reader's
// matrix (1 dark). False when a centre falls outside the picture.
bool sampleModules(const Raster& binary, const PerspectiveCoefficients& plane, int n, bool lightFinders,
                   CQR_Decoder& reader) {
    uint8_t* matrix = reader.matrix();
    for (int c = 0; c < n; ++c) {
        for (int r = 0; r < n; ++r) {
            PointF p{};
            if (mapPoint({static_cast<float>(c), static_cast<float>(r)}, p, plane) != 1) return false;
            const int x = static_cast<int>(std::lround(p.x)), y = static_cast<int>(std::lround(p.y));
            if (x < 0 || y < 0 || x >= binary.width || y >= binary.height) return false;
            const bool dark = binary.rows[y][x] == 0;
            matrix[c * kMatrixStride + r] = dark != lightFinders ? 1 : 0;
        }
    }
    return true;
}

// Samples the grey of the n x n module centres (each the mean of the pixel and its four
// neighbours) and calls a module dark when it is darker than the mean of the modules within
// kModuleWindow modules around it: a threshold that follows the light module by module, where a
// pixel threshold can lose modules to noise or a gradient across the symbol. False when a centre
// falls outside the picture.
bool sampleModulesAgainstNeighbours(const Raster& grey, const PerspectiveCoefficients& plane, int n,
                                    bool lightFinders, CQR_Decoder& reader) {
    std::array<float, kMatrixStride * kMatrixStride> value{};
    // Sums over the grid, one row and column ahead: sum[(r + 1) * (n + 1) + c + 1].
    std::array<float, (kMatrixStride + 1) * (kMatrixStride + 1)> sum{};
    const int w = n + 1;
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            PointF p{};
            if (mapPoint({static_cast<float>(c), static_cast<float>(r)}, p, plane) != 1) return false;
            const int x = static_cast<int>(std::lround(p.x)), y = static_cast<int>(std::lround(p.y));
            if (x < 1 || y < 1 || x + 1 >= grey.width || y + 1 >= grey.height) return false;
            const float v = (static_cast<float>(grey.rows[y][x]) * 2.0f + grey.rows[y - 1][x] + grey.rows[y + 1][x] +
                             grey.rows[y][x - 1] + grey.rows[y][x + 1]) / 6.0f;
            value[static_cast<std::size_t>(r * n + c)] = v;
            sum[static_cast<std::size_t>((r + 1) * w + c + 1)] =
                v + sum[static_cast<std::size_t>(r * w + c + 1)] + sum[static_cast<std::size_t>((r + 1) * w + c)] -
                sum[static_cast<std::size_t>(r * w + c)];
        }
    }
    uint8_t* matrix = reader.matrix();
    for (int r = 0; r < n; ++r) {
        const int r0 = std::max(0, r - kModuleWindow), r1 = std::min(n, r + kModuleWindow + 1);
        for (int c = 0; c < n; ++c) {
            const int c0 = std::max(0, c - kModuleWindow), c1 = std::min(n, c + kModuleWindow + 1);
            const float total = sum[static_cast<std::size_t>(r1 * w + c1)] - sum[static_cast<std::size_t>(r0 * w + c1)] -
                                sum[static_cast<std::size_t>(r1 * w + c0)] + sum[static_cast<std::size_t>(r0 * w + c0)];
            const float mean = total / static_cast<float>((r1 - r0) * (c1 - c0));
            const bool dark = value[static_cast<std::size_t>(r * n + c)] < mean;
            matrix[c * kMatrixStride + r] = dark != lightFinders ? 1 : 0;
        }
    }
    return true;
}

// Where the bottom-right alignment pattern of an n x n symbol lies in the binary picture, as
// a shift in modules from where the plane puts it: the shift within two modules at which the
// pattern's 5 x 5 modules match best, when at least 22 of them do. False when none does.
bool findAlignmentShift(const Raster& binary, const PerspectiveCoefficients& plane, int n, bool lightFinders,
                        PointF& shift) {
    const float centre = static_cast<float>(n - 7);
    auto matches = [&](float dx, float dy) {
        int count = 0;
        for (int j = -2; j <= 2; ++j) {
            for (int i = -2; i <= 2; ++i) {
                PointF p{};
                if (mapPoint({centre + static_cast<float>(i) + dx, centre + static_cast<float>(j) + dy}, p, plane) != 1) {
                    return 0;
                }
                const int x = static_cast<int>(std::lround(p.x)), y = static_cast<int>(std::lround(p.y));
                if (x < 0 || y < 0 || x >= binary.width || y >= binary.height) return 0;
                const bool wantDark = std::max(std::abs(i), std::abs(j)) != 1;
                const bool dark = (binary.rows[y][x] == 0) != lightFinders;
                count += dark == wantDark ? 1 : 0;
            }
        }
        return count;
    };
    int best = 0;
    PointF found{};
    // Half-module steps over the whole reach, then quarter steps around the best.
    for (float dy = -2.0f; dy <= 2.0f; dy += 0.5f) {
        for (float dx = -2.0f; dx <= 2.0f; dx += 0.5f) {
            const int m = matches(dx, dy);
            if (m > best) best = m, found = {dx, dy};
        }
    }
    const PointF coarse = found;
    for (const float dy : {-0.25f, 0.0f, 0.25f}) {
        for (const float dx : {-0.25f, 0.0f, 0.25f}) {
            const int m = matches(coarse.x + dx, coarse.y + dy);
            if (m > best) best = m, found = {coarse.x + dx, coarse.y + dy};
        }
    }
    if (best < kAlignmentMatches) return false;
    shift = found;
    return true;
}

// Writes the symbol the reader holds into the next entry of the decode record, its corners and
// finder centres mapped through the plane into the caller's picture.
void recordFramed(const PerspectiveCoefficients& plane, int n, int factor) {
    const int k = decodedCount();
    if (k < 0 || k >= wantedCount()) return;
    const float lo = -0.5f, hi = static_cast<float>(n) - 0.5f, near = 3.0f, far = static_cast<float>(n - 4);
    const std::array<PointF, 4> corners = {toCaller(plane, lo, lo, factor), toCaller(plane, hi, lo, factor),
                                           toCaller(plane, lo, hi, factor), toCaller(plane, hi, hi, factor)};
    DecodedEntry& entry = decodedEntry(k);
    for (std::size_t i = 0; i < 4; ++i) {
        entry.dXY_4Corners[i] = corners[i].x;
        entry.dXY_4Corners[4 + i] = corners[i].y;
    }
    const PointF fourth = toCaller(plane, far, far, factor);
    entry.dXY_FP[3] = fourth.x;
    entry.dXY_FP[7] = fourth.y;
    recordSymbolWithFinders(k,
                            {toCaller(plane, near, near, factor), toCaller(plane, far, near, factor),
                             toCaller(plane, near, far, factor)},
                            convertUtf8Requested() ? 1 : 0);
}

// The patterns that belong to no symbol read so far.
std::vector<FinderOutline> unreadOutlines(std::vector<FinderOutline> outlines, int factor) {
    const float f = static_cast<float>(factor);
    std::erase_if(outlines, [f](const FinderOutline& o) {
        return isInFinderExclusionBox((o.centre.x + 0.5f) * f - 0.5f, (o.centre.y + 0.5f) * f - 0.5f);
    });
    return outlines;
}

// Samples the plane's modules from the binary picture, then against their neighbours' grey, and
// reads them as a symbol of the version; true at the first read.
bool readThrough(const OutlineSearch& search, const PerspectiveCoefficients& plane, int n, int version) {
    CQR_Decoder& reader = processDecoder();
    if (sampleModules(search.binary, plane, n, search.lightFinders, reader) && reader.ReadSymbol(n, version) >= 0) {
        return true;
    }
    return sampleModulesAgainstNeighbours(search.grey, plane, n, search.lightFinders, reader) &&
           reader.ReadSymbol(n, version) >= 0;
}

// Tries a, b and c as the corners of a symbol at the suggested version and its neighbours.
// True when one read and was recorded.
bool readTriple(const OutlineSearch& search, const FinderOutline& a, const FinderOutline& b, const FinderOutline& c) {
    if (!couldBeCorners(a, b, c)) return false;
    const int suggested = versionByOutlines(a, b, c);
    if (suggested + kVersionSteps.back() < kMinVersion || suggested - kVersionSteps.back() > kMaxVersion) return false;
    processDecoder().setColourInverse(search.lightFinders ? 1 : 0);
    for (const int step : kVersionSteps) {
        const int version = suggested + step;
        if (version < kMinVersion || version > kMaxVersion) continue;
        const int n = symbolSizeOf(version);
        PerspectiveCoefficients plane{};
        if (!frameByOutlines(a, b, c, n, plane)) continue;
        if (readThrough(search, plane, n, version)) {
            recordFramed(plane, n, search.factor);
            return true;
        }
        // Under a perspective or a bend the far corner strays most: the alignment pattern there,
        // where the symbol has one, pins it.
        PointF shift{};
        if (version < 2 || !findAlignmentShift(search.binary, plane, n, search.lightFinders, shift)) continue;
        PointF alignment{};
        const float centre = static_cast<float>(n - 7);
        if (mapPoint({centre + shift.x, centre + shift.y}, alignment, plane) != 1) continue;
        PerspectiveCoefficients pinned{};
        if (!frameByOutlines(a, b, c, n, pinned, &alignment)) continue;
        if (readThrough(search, pinned, n, version)) {
            recordFramed(pinned, n, search.factor);
            return true;
        }
    }
    return false;
}

// Tries a as the corner and b and c as the other two in the order in which the first side turns
// into the second as a symbol seen from the front does; the reader reads a mirrored symbol as
// such.
bool readOrientedTriple(const OutlineSearch& search, const FinderOutline& a, const FinderOutline& b,
                        const FinderOutline& c) {
    if (cross(minus(b.centre, a.centre), minus(c.centre, a.centre)) < 0.0f) return readTriple(search, a, c, b);
    return readTriple(search, a, b, c);
}

// Every corner pattern with every pair of others, until a read; true when one was recorded.
bool readSomeTriple(const OutlineSearch& search, const std::vector<FinderOutline>& outlines) {
    const std::size_t count = outlines.size();
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = 0; j < count; ++j) {
            for (std::size_t k = j + 1; k < count; ++k) {
                if (i == j || i == k) continue;
                if (budgetSpent()) return false;
                if (readOrientedTriple(search, outlines[i], outlines[j], outlines[k])) return true;
            }
        }
    }
    return false;
}

// How two outlined patterns could lie in one symbol: along a side (the line between them runs
// along the edges of both), across the diagonal (at half a right angle to them), or not at all.
enum class PairLayout { None, Side, Diagonal };

PairLayout layoutOf(const FinderOutline& p, const FinderOutline& q) {
    if (p.side <= 0.0f || q.side <= 0.0f) return PairLayout::None;
    const PointF d = minus(q.centre, p.centre);
    const float ld = length(d);
    if (!(ld > 0.0f)) return PairLayout::None;
    bool side = true, diagonal = true;
    for (const FinderOutline* f : {&p, &q}) {
        const PointF e = minus(f->corners[1], f->corners[0]);
        const float le = length(e);
        if (!(le > 0.0f)) return PairLayout::None;
        const float c = std::fabs(dot(d, e)) / (ld * le), s = std::fabs(cross(d, e)) / (ld * le);
        side = side && std::min(c, s) < kPairAngleTolerance;
        diagonal = diagonal && std::fabs(c - s) < kPairAngleTolerance;
    }
    return side ? PairLayout::Side : diagonal ? PairLayout::Diagonal : PairLayout::None;
}

// Two outlined patterns of one symbol with the third lost (to glare, a fold, a finger): the third
// is placed where a square symbol would have it, as a centre without corners, in each way the
// two can be two corners of a square as they lie. True when one read and was recorded.
bool readSomePair(const OutlineSearch& search, const std::vector<FinderOutline>& outlines) {
    const std::size_t count = outlines.size();
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = i + 1; j < count; ++j) {
            const FinderOutline& p = outlines[i];
            const FinderOutline& q = outlines[j];
            const PairLayout layout = layoutOf(p, q);
            if (layout == PairLayout::None) continue;
            const float smaller = std::min(p.moduleSize, q.moduleSize), larger = std::max(p.moduleSize, q.moduleSize);
            if (!(smaller > 0.0f) || larger > kMaxModuleSizeRatio * smaller) continue;
            const PointF d = minus(q.centre, p.centre);
            // Two finder centres of one symbol lie 14 (version 1, along a side) to 240 (version
            // 40, across) modules apart.
            const float apart = length(d) / ((p.moduleSize + q.moduleSize) * 0.5f);
            if (apart < kNearestFinders || apart > kFarthestFinders) continue;
            const PointF turned{-d.y, d.x};
            const PointF middle{(p.centre.x + q.centre.x) * 0.5f, (p.centre.y + q.centre.y) * 0.5f};
            const float module = (p.moduleSize + q.moduleSize) * 0.5f;
            for (const float sense : {1.0f, -1.0f}) {
                if (budgetSpent()) return false;
                // p the corner, q the corner, or the two across the diagonal.
                const FinderOutline besideP{{p.centre.x + sense * turned.x, p.centre.y + sense * turned.y}, {}, 0.0f, module};
                const FinderOutline besideQ{{q.centre.x + sense * turned.x, q.centre.y + sense * turned.y}, {}, 0.0f, module};
                const FinderOutline across{{middle.x + sense * turned.x * 0.5f, middle.y + sense * turned.y * 0.5f}, {}, 0.0f,
                                           module};
                if (layout == PairLayout::Side &&
                    (readOrientedTriple(search, p, q, besideP) || readOrientedTriple(search, q, p, besideQ))) {
                    return true;
                }
                if (layout == PairLayout::Diagonal && readOrientedTriple(search, across, p, q)) return true;
            }
        }
    }
    return false;
}

// The patterns the run scan finds in the binary picture that no outline already holds, as
// centres without corners: a pattern whose rings have run together under blur or glare still
// shows its runs along some lines.
void addRunFoundPatterns(const Raster& binary, std::vector<FinderOutline>& outlines) {
    findFinderPatterns(binary.rows, binary.height, binary.width, kScheduleTolerances.ratioBound,
                       kScheduleTolerances.centreTolerance, kScheduleTolerances.pairTolerance, kBothScanKinds);
    const FinderTable& table = finderTable();
    for (int column = 0; column < kFinderPatternsKept; ++column) {
        if (table[kFinderScore][column] < kFinderMinScore) continue;
        const PointF centre{table[kFinderX][column], table[kFinderY][column]};
        const float size = (table[kFinderRowSize][column] + table[kFinderColumnSize][column]) * 0.5f;
        if (!(size > 0.0f)) continue;
        const bool outlined = std::any_of(outlines.begin(), outlines.end(), [&](const FinderOutline& o) {
            return length(minus(o.centre, centre)) < kSamePatternModules * o.moduleSize;
        });
        if (!outlined) outlines.push_back({centre, {}, 0.0f, size});
    }
}

// Every three patterns near enough to be one symbol's corners, a the corner and b and c among
// its nearest patterns, the most compact first; each pattern is tried in one symbol that reads,
// so a sheet of many symbols costs about one attempt per symbol.
void readNearestTriples(const OutlineSearch& search, const std::vector<FinderOutline>& outlines) {
    struct Triple {
        float spread;  // the two sides from the corner, in module sizes
        std::size_t a, b, c;
    };
    const std::size_t count = outlines.size();
    std::vector<Triple> triples;
    std::vector<std::pair<float, std::size_t>> near;
    for (std::size_t a = 0; a < count; ++a) {
        const FinderOutline& corner = outlines[a];
        if (!(corner.moduleSize > 0.0f)) continue;
        near.clear();
        for (std::size_t b = 0; b < count; ++b) {
            const float apart = length(minus(outlines[b].centre, corner.centre)) / corner.moduleSize;
            if (b != a && apart >= kNearestFinders && apart <= kFarthestFinders) near.emplace_back(apart, b);
        }
        const std::size_t kept = std::min(near.size(), kNearestPatterns);
        std::partial_sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(kept), near.end());
        for (std::size_t i = 0; i < kept; ++i) {
            for (std::size_t j = i + 1; j < kept; ++j) {
                std::size_t b = near[i].second, c = near[j].second;
                if (!couldBeCorners(corner, outlines[b], outlines[c])) continue;
                // b along the first side, c along the second, as a symbol seen from the front.
                if (cross(minus(outlines[b].centre, corner.centre), minus(outlines[c].centre, corner.centre)) < 0.0f) {
                    std::swap(b, c);
                }
                triples.push_back({near[i].first + near[j].first, a, b, c});
            }
        }
    }
    std::stable_sort(triples.begin(), triples.end(), [](const Triple& x, const Triple& y) { return x.spread < y.spread; });
    std::vector<bool> used(count, false);
    for (const Triple& t : triples) {
        if (!requestOpen()) return;
        if (used[t.a] || used[t.b] || used[t.c]) continue;
        if (readTriple(search, outlines[t.a], outlines[t.b], outlines[t.c])) used[t.a] = used[t.b] = used[t.c] = true;
    }
}

// Searches one binary picture both ways round until nothing more reads there.
void searchBinary(const Raster& grey, const Raster& binary, int factor) {
    const FinderOutlines traced = findFinderOutlines(binary);
    // The run scan looks for dark patterns only: light ones are searched in the picture inverted.
    StageRaster invertedCopy(binary.height, binary.width);
    if (invertedCopy.get() == nullptr) return;
    const Raster& inverted = *invertedCopy.get();
    for (int y = 0; y < binary.height; ++y) {
        for (int x = 0; x < binary.width; ++x) inverted.rows[y][x] = static_cast<uint8_t>(binary.rows[y][x] == 0 ? 1 : 0);
    }
    for (const bool lightFinders : {false, true}) {
        const OutlineSearch search{grey, binary, lightFinders, factor};
        std::vector<FinderOutline> found = lightFinders ? traced.light : traced.dark;
        addRunFoundPatterns(lightFinders ? inverted : binary, found);
        // Each read boxes its patterns: the rest are tried again until nothing more reads.
        while (requestOpen()) {
            const std::vector<FinderOutline> outlines = unreadOutlines(found, factor);
            if (outlines.size() < 2) break;
            if (!(outlines.size() >= 3 && readSomeTriple(search, outlines)) && !readSomePair(search, outlines)) break;
        }
        if (!requestOpen()) return;
    }
}

}  // namespace

int versionByOutlines(const FinderOutline& a, const FinderOutline& b, const FinderOutline& c) {
    const float module = (a.moduleSize + b.moduleSize + c.moduleSize) / 3.0f;
    if (!(module > 0.0f)) return 0;
    // 4 version + 10 modules lie between two finder centres.
    const float across = (length(minus(b.centre, a.centre)) + length(minus(c.centre, a.centre))) * 0.5f / module;
    return static_cast<int>(std::lround((across - 10.0f) * 0.25f));
}

bool couldBeCorners(const FinderOutline& a, const FinderOutline& b, const FinderOutline& c) {
    const float sizes[3] = {a.moduleSize, b.moduleSize, c.moduleSize};
    const float largest = *std::max_element(sizes, sizes + 3), smallest = *std::min_element(sizes, sizes + 3);
    if (!(smallest > 0.0f) || largest > kMaxModuleSizeRatio * smallest) return false;
    const PointF ab = minus(b.centre, a.centre), ac = minus(c.centre, a.centre);
    const float lab = length(ab), lac = length(ac);
    if (!(lab > 0.0f && lac > 0.0f) || std::max(lab, lac) > kMaxSideRatio * std::min(lab, lac)) return false;
    return std::fabs(dot(ab, ac)) <= kMaxSideCosine * lab * lac;
}

bool frameByOutlines(const FinderOutline& a, const FinderOutline& b, const FinderOutline& c, int n,
                     PerspectiveCoefficients& moduleToPicture, const PointF* alignment) {
    if (!couldBeCorners(a, b, c)) return false;
    const PointF ab = minus(b.centre, a.centre), ac = minus(c.centre, a.centre);
    const float lab = length(ab), lac = length(ac);
    const PointF along{ab.x / lab, ab.y / lab}, down{ac.x / lac, ac.y / lac};
    const float shift = static_cast<float>(n - 7);
    std::array<PointF, 13 + kAlignmentWeight> modulePoints{}, picturePoints{};
    std::size_t count = 0;
    auto add = [&](PointF modulePoint, PointF picturePoint) {
        modulePoints[count] = modulePoint;
        picturePoints[count++] = picturePoint;
    };
    const std::array<const FinderOutline*, 3> patterns = {&a, &b, &c};
    const std::array<PointF, 3> offsets = {{{0.0f, 0.0f}, {shift, 0.0f}, {0.0f, shift}}};
    for (std::size_t p = 0; p < 3; ++p) {
        const FinderOutline& f = *patterns[p];
        // The pattern's centre is module (3, 3) of its corner; its square's corners lie half the
        // side around it.
        if (f.side <= 0.0f) {
            add({3.0f + offsets[p].x, 3.0f + offsets[p].y}, f.centre);
            continue;
        }
        const std::array<PointF, 4> ordered = cornersInModuleOrder(f, along, down);
        const float h = f.side * 0.5f;
        const std::array<PointF, 4> square = {{{3.0f - h, 3.0f - h}, {3.0f + h, 3.0f - h}, {3.0f + h, 3.0f + h},
                                               {3.0f - h, 3.0f + h}}};
        for (std::size_t i = 0; i < 4; ++i) add({square[i].x + offsets[p].x, square[i].y + offsets[p].y}, ordered[i]);
    }
    if (alignment != nullptr) {
        // The alignment centre lies as far in as the centres of b and c.
        for (int w = 0; w < kAlignmentWeight; ++w) add({shift, shift}, *alignment);
    } else if (count < 4) {
        // Three centres alone: the fourth corner of their parallelogram.
        add({3.0f + shift, 3.0f + shift}, {b.centre.x + c.centre.x - a.centre.x, b.centre.y + c.centre.y - a.centre.y});
    }
    return fitPerspective(std::span(modulePoints).first(count), std::span(picturePoints).first(count), moduleToPicture) ==
           1;
}

std::vector<int> outlineSearchFactors(int width, int height) {
    std::vector<int> factors;
    const int longer = std::max(width, height);
    if (longer <= kLargestWhole) factors.push_back(1);
    const int coarsest = (longer + kReducedSide - 1) / kReducedSide;
    if (coarsest >= 2) factors.push_back(coarsest);
    return factors;
}

void searchFinderOutlines(const Raster& grey, int factor) {
    StageRaster binary(grey.height, grey.width);
    if (binary.get() == nullptr) return;
    ThresholdTable thresholds{};
    if (binarizeBlocks(0, binary.get()->rows, grey.rows, grey.width, grey.height, grey.width, grey.height,
                       thresholds) == 0) {
        searchBinary(grey, *binary.get(), factor);
    }
    if (requestOpen() && binarizeLocally(grey, *binary.get()) == 1) searchBinary(grey, *binary.get(), factor);
    for (const int parts : kMeanWindowParts) {
        if (requestOpen() &&
            binarizeAgainstLocalMean(grey, *binary.get(), meanThresholdWindow(grey.width, grey.height, parts)) == 1) {
            searchBinary(grey, *binary.get(), factor);
        }
    }
}

void searchManyFinderOutlines(const Raster& grey, int factor) {
    StageRaster binary(grey.height, grey.width);
    if (binary.get() == nullptr) return;
    auto search = [&] {
        const FinderOutlines traced = findFinderOutlines(*binary.get());
        for (const bool lightFinders : {false, true}) {
            if (!requestOpen()) return;
            const OutlineSearch search{grey, *binary.get(), lightFinders, factor};
            readNearestTriples(search, unreadOutlines(lightFinders ? traced.light : traced.dark, factor));
        }
    };
    ThresholdTable thresholds{};
    if (binarizeBlocks(0, binary.get()->rows, grey.rows, grey.width, grey.height, grey.width, grey.height,
                       thresholds) == 0) {
        search();
    }
    if (requestOpen() && binarizeLocally(grey, *binary.get()) == 1) search();
    if (requestOpen() &&
        binarizeAgainstLocalMean(grey, *binary.get(), meanThresholdWindow(grey.width, grey.height, kMeanWindowParts[0])) == 1) {
        search();
    }
}

}  // namespace velmora
