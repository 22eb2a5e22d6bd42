#include "engine/geometry/alignment_patterns.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <new>
#include <unordered_map>
#include <vector>

#include "engine/codec/version_table.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/line_runs.h"
#include "engine/geometry/symbol_frame.h"
#include "engine/geometry/version_information.h"
#include "engine/image/state_bytes.h"

namespace velmora {
namespace {

// Grids, counters and the search's scratch tables; process-wide, one request at a time.
struct AlignmentState {
    int n = 2;
    std::array<float, kMaxAlignmentPositions> positions{};
    AlignmentCoordinates coordinates{};
    AlignmentGrid grid{};
    AlignmentGrid alternative{};
    AlignmentCell extra{};
    int found = 0;
};

AlignmentState state;

// The window reaches this many modules from the prediction along both sides of the frame.
constexpr float kWindowReach = 4.6f;
// The first pass tolerates strongly skewed runs, the second insists on even ones and wins
// whenever it finds something.
constexpr std::array<float, 2> kRatioBounds = {2.5f, 1.5f};
// The centre module with its ring must measure within this factor of the finder's module.
constexpr float kModuleSizeBound = 2.1f;
constexpr float kPairTolerance = 0.55f;
// Squared cluster reach in module sizes: an alignment centre is one module wide, so hits of one
// pattern lie within about 0.7 module of each other.
constexpr float kClusterReach = 0.5f;
constexpr int kClusters = kFinderClusters;
// A centre module is crossed by about one module's worth of lines per family.
constexpr float kMaxDensity = 1.5f;
constexpr float kMaxCandidateScore = 5.0f;
constexpr int kCandidatePlaces = 4;
constexpr double kHalfRoot2 = 0.7071067811865476;

// ---- Cells and predictions -----------------------------------------------------------------

// Plain vector arithmetic on picture points.
PointF plus(PointF a, PointF b) { return {a.x + b.x, a.y + b.y}; }
PointF minus(PointF a, PointF b) { return {a.x - b.x, a.y - b.y}; }
PointF times(PointF a, float s) { return {a.x * s, a.y * s}; }
PointF positionOf(const AlignmentCell& cell) { return {cell.x, cell.y}; }

// The frame corner of a role; roles other than B and C count as A.
const FrameCorner& cornerOf(int role) {
    const auto& corners = frameCorners();
    return corners[static_cast<std::size_t>(role == kFrameB || role == kFrameC ? role : kFrameA)];
}

// Three modules inward along both sides from the role's finder centre: module (6, 6),
// (N - 7, 6) or (6, N - 7).
PointF seedOf(int role) {
    const FrameCorner& r = cornerOf(role);
    return plus(r.point, times(plus(times(r.e1, r.m1), times(r.e2, r.m2)), 3.0f));
}

// `modules` modules along the role's side 1 (first) or side 2.
PointF alongSide1(int role, float modules) {
    const FrameCorner& r = cornerOf(role);
    return times(r.e1, modules * r.m1);
}
PointF alongSide2(int role, float modules) {
    const FrameCorner& r = cornerOf(role);
    return times(r.e2, modules * r.m2);
}

// Cell (row i, column j) of a grid, and the module coordinate of position k of the version.
AlignmentCell& cellOf(AlignmentGrid& grid, int i, int j) {
    return grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
}

float positionAt(int k) { return state.positions[static_cast<std::size_t>(k)]; }

// Cells next to a finder never hold an alignment pattern.
bool isFinderCell(int i, int j, int n) { return (i == 0 && j == 0) || (i == 0 && j == n - 1) || (i == n - 1 && j == 0); }

// The three finder cells: score 0, three modules in from their finder along both sides.
void placeSeeds(AlignmentGrid& grid, int n) {
    const PointF a = seedOf(kFrameA), b = seedOf(kFrameB), c = seedOf(kFrameC);
    cellOf(grid, 0, 0) = {a.x, a.y, 0.0f};
    cellOf(grid, 0, n - 1) = {b.x, b.y, 0.0f};
    cellOf(grid, n - 1, 0) = {c.x, c.y, 0.0f};
}

// Truncation of a picture coordinate to an int that stays far inside the int range, so that a
// wild prediction only lands its window at the picture's edge.
int truncated(float v) {
    constexpr float kLimit = 1.0e7f;
    if (!(v > -kLimit)) return -static_cast<int>(kLimit);
    if (!(v < kLimit)) return static_cast<int>(kLimit);
    return static_cast<int>(v);
}

// Writes the prediction into the cell (keeping its score) and searches around it.
void predictAndSearch(AlignmentCell& cell, PointF prediction, const uint8_t* const* rows, int height, int width,
                      int role, int directions) {
    cell.x = prediction.x;
    cell.y = prediction.y;
    searchAlignment(cell, truncated(prediction.x), truncated(prediction.y), rows, height, width, role, directions);
}

// ---- Window search -------------------------------------------------------------------------

// A rectangle of the picture, inside it; searches work in its coordinates.
struct Window {
    int x0;
    int y0;
    int width;
    int height;
};

// The bounding box of P +- 4.6 m1 e1 +- 4.6 m2 e2, moved or cut to lie inside the picture.
Window windowAround(int px, int py, const FrameCorner& r, int height, int width) {
    const PointF p = {static_cast<float>(px), static_cast<float>(py)};
    const PointF u = times(r.e1, kWindowReach * r.m1), v = times(r.e2, kWindowReach * r.m2);
    const std::array<PointF, 4> corners = {plus(plus(p, u), v), plus(minus(p, u), v), minus(plus(p, u), v),
                                           minus(minus(p, u), v)};
    float minX = corners[0].x, maxX = corners[0].x, minY = corners[0].y, maxY = corners[0].y;
    for (const PointF& c : corners) {
        minX = std::min(minX, c.x);
        maxX = std::max(maxX, c.x);
        minY = std::min(minY, c.y);
        maxY = std::max(maxY, c.y);
    }
    Window w{truncated(minX + 0.5f), truncated(minY + 0.5f), truncated(maxX - minX + 1.5f),
             truncated(maxY - minY + 1.5f)};
    w.x0 = std::clamp(w.x0, 0, width - 1);
    w.y0 = std::clamp(w.y0, 0, height - 1);
    w.width = std::clamp(w.width, 1, width - w.x0);
    w.height = std::clamp(w.height, 1, height - w.y0);
    return w;
}

// One line of a window: first sample (row, column) and the step per sample.
struct WindowLine {
    int row;
    int column;
    int rowStep;
    int columnStep;
    int length;
};

// Lines of a family across the window: rows, columns, or diagonals of either direction.
int lineCount(ScanFamily family, const Window& w) {
    switch (family) {
        case kScanRows: return w.height;
        case kScanColumns: return w.width;
        default: return w.height + w.width - 1;
    }
}

// Lines are walked as the finder search walks the whole picture.
WindowLine lineOf(ScanFamily family, int L, const Window& w) {
    switch (family) {
        case kScanRows: return {L, 0, 0, 1, w.width};
        case kScanColumns: return {0, L, 1, 0, w.height};
        case kScanDiagonals: {
            const int row = std::max(0, L + 1 - w.width);
            const int column = w.width - 1 - L + row;
            return {row, column, 1, 1, std::min(w.height - row, w.width - column)};
        }
        default: {
            const int row = std::max(0, L + 1 - w.width);
            const int column = L - row;
            return {row, column, 1, -1, std::min(w.height - row, column + 1)};
        }
    }
}


constexpr int kPasses = static_cast<int>(kRatioBounds.size());
constexpr int kFamilies = 4;

// Scratch tables of the search, grown to the largest window seen and kept.
struct SearchScratch {
    // x | y | size of the hits of each pass and family, table pass * 4 + family.
    std::array<std::vector<float>, kPasses * kFamilies> hits;
    std::vector<float> paired;
    std::vector<int32_t> family;
    ClusterScratch clustering;
    // The window's samples (1 light, 0 dark) line by line for each scan family, `lineStride`
    // samples per line.
    std::array<std::vector<uint8_t>, kFamilies> lines;
    int lineStride = 0;
    // Positions where one line changes value.
    std::vector<int32_t> transitions;

    // Each of the two pairings emits every hit of its two tables at most once.
    static std::size_t pairedCapacity(int capacity) { return 4 * static_cast<std::size_t>(capacity); }

    bool reserve(const Window& w) {
        const int capacity = hitCapacity(w);
        const std::size_t c = static_cast<std::size_t>(capacity);
        const std::size_t p = pairedCapacity(capacity);
        lineStride = std::max(w.width, w.height);
        const std::size_t lineSamples = static_cast<std::size_t>(w.width + w.height) * static_cast<std::size_t>(lineStride);
        try {
            for (auto& h : hits) growTo(h, 3 * c);
            growTo(paired, 3 * p);
            growTo(family, p);
            for (auto& l : lines) growTo(l, lineSamples);
            growTo(transitions, static_cast<std::size_t>(lineStride));
        } catch (const std::bad_alloc&) {
            return false;
        }
        return clustering.reserve(static_cast<int>(p));
    }

    // Hits each family may hold: twice the window's longer side.
    static int hitCapacity(const Window& w) { return 2 * std::max(w.width, w.height); }

    template <typename T>
    static void growTo(std::vector<T>& v, std::size_t size) {
        if (v.size() < size) v.resize(size);
    }
};

SearchScratch scratch;

// The run tests of one pass: neighbouring runs within the ratio bound, their mean within 2.1
// of the expected module size (in samples along the line).
struct RunLimits {
    float ratioBound;
    float lineModule;

    bool ratio(int prev, int run) const {
        const float q = static_cast<float>(prev) / static_cast<float>(run);
        return 1.0f / ratioBound < q && q < ratioBound;
    }
    bool size(int prev, int run) const {
        const float s = static_cast<float>(prev + run) / 2.0f / lineModule;
        return 1.0f / kModuleSizeBound < s && s < kModuleSizeBound;
    }
};

// The same tests as integer ranges, which agree with them exactly: prev passes the ratio test
// after a run r when it lies in prevRanges[r], and two runs pass the size test when their sum
// lies in sums. The ratio ranges depend only on the bound and are kept from one window to the
// next, grown as longer lines come.
struct RunRanges {
    const IntRange* prevRanges;
    IntRange sums;

    bool ratio(int prev, int run) const { return prevRanges[run].contains(prev); }
    bool size(int prev, int run) const { return sums.contains(prev + run); }
};

// Extends ranges (the ratio ranges of one bound, indexed by run) to runs of up to longestRun.
void growRatioRanges(std::vector<IntRange>& ranges, float bound, int longestRun) {
    const RunLimits limits{bound, 1.0f};
    for (int r = static_cast<int>(ranges.size()); r <= longestRun; ++r) {
        ranges.push_back(r == 0 ? IntRange{}
                                : passingRange([&](int prev) { return limits.ratio(prev, r); },
                                               r / static_cast<double>(bound), r * static_cast<double>(bound)));
    }
}

// The sums of two neighbouring runs that pass the size test for the expected module size.
IntRange sizeRange(float lineModule) {
    const RunLimits limits{1.0f, lineModule};
    return passingRange([&](int sum) { return limits.size(sum, 0); }, 2.0 * lineModule / kModuleSizeBound,
                        2.0 * lineModule * kModuleSizeBound);
}

// The ratio ranges of the two passes, kept for the whole run.
std::array<std::vector<IntRange>, kPasses> passRatioRanges;

// The ranges of one pass and expected module size along the line.
RunRanges runRangesOf(int pass, float lineModule, int longestRun) {
    std::vector<IntRange>& ratios = passRatioRanges[static_cast<std::size_t>(pass)];
    growRatioRanges(ratios, kRatioBounds[static_cast<std::size_t>(pass)], longestRun);
    return {ratios.data(), sizeRange(lineModule)};
}

// Appends hits that lie at least one module inside the window; the table's last slot is
// overwritten once it is full.
struct WindowHits {
    HitTable table;
    int capacity;
    int count = 0;

    void add(float x, float y, float size, const Window& w) {
        const bool inside = size <= x && x <= static_cast<float>(w.width) - size - 1.0f && size <= y &&
                            y <= static_cast<float>(w.height) - size - 1.0f;
        if (!inside) return;
        table.x[count] = x;
        table.y[count] = y;
        table.size[count] = size;
        if (++count == capacity) count = capacity - 1;
    }
};

// Whether a hit of the line can lie at least one module inside the window (the hit table drops
// every other hit): a row or column has one coordinate fixed, a diagonal keeps x - y fixed and
// an anti-diagonal x + y. Lines that cannot are not walked. The diagonal tests keep a margin of
// one sample, so that no rounding skips a line that could hit.
bool lineMayHit(ScanFamily family, const WindowLine& line, const Window& w, float size) {
    const float right = static_cast<float>(w.width) - size - 1.0f;
    const float bottom = static_cast<float>(w.height) - size - 1.0f;
    switch (family) {
        case kScanRows: {
            const float y = static_cast<float>(line.row);
            return size <= y && y <= bottom;
        }
        case kScanColumns: {
            const float x = static_cast<float>(line.column);
            return size <= x && x <= right;
        }
        case kScanDiagonals: {
            const float d = static_cast<float>(line.column - line.row);
            return std::max(size, size + d) <= std::min(right, bottom + d) + 1.0f;
        }
        default: {
            const float sum = static_cast<float>(line.column + line.row);
            return std::max(size, sum - bottom) <= std::min(right, sum - size) + 1.0f;
        }
    }
}

// The walk of one line for one pass: a dark run between light runs of similar length (the
// centre module with its light ring) makes a hit. The walk goes run by run; the runs are the
// ones a walk sample by sample would count.
struct RunWalk {
    int run = 0;
    int prev = 0;
    int start = 0;
    int end = 0;
    bool candidate = false;

    // Takes the colour change at i (the run starting there is light or not; the next change is
    // at next, or the line's end) and calls emit(start, end) with the first sample of a found
    // dark run and the first sample after it.
    template <typename Emit>
    void step(bool light, int i, int next, const RunRanges& limits, Emit&& emit) {
        bool keepCounting = false;
        if (!candidate) {
            if (light && limits.ratio(prev, run) && limits.size(prev, run)) {
                candidate = true;
                start = i - run;
                end = i;
            }
        } else if (!limits.ratio(prev, run)) {
            candidate = false;
        } else if (limits.size(prev, run)) {
            emit(start, end);
            candidate = false;
        } else {
            // The runs are in proportion but too long or too short for the module size: the
            // candidate stays, the run just ended and the one starting here count as one, and
            // the next change decides.
            keepCounting = true;
        }
        if (keepCounting) {
            run += next - i;
        } else {
            prev = run;
            run = next - i;
        }
    }
};

// A hit needs a change where the centre module begins, one where it ends and one where the light
// run after it ends: a line with fewer changes holds none.
constexpr int kChangesOfAHit = 3;

// Walks one line, given by the colour of its first sample and its colour changes (positions
// transitions[k] - offset along the line), for each set of run tests in limits at once, and
// calls emit(pass, start, end) for every hit of pass (the index into limits).
template <typename T, std::size_t Passes, typename Emit>
void scanRunTransitions(bool firstLight, int length, const T* transitions, int count, int offset,
                        const std::array<RunRanges, Passes>& limits, Emit&& emit) {
    if (length <= 0) return;
    const int firstRun = count > 0 ? static_cast<int>(transitions[0]) - offset : length;
    std::array<RunWalk, Passes> walks{};
    for (RunWalk& walk : walks) walk.run = firstRun;
    bool light = firstLight;
    for (int k = 0; k < count; ++k) {
        const int i = static_cast<int>(transitions[k]) - offset;
        const int next = k + 1 < count ? static_cast<int>(transitions[k + 1]) - offset : length;
        light = !light;
        for (std::size_t pass = 0; pass < Passes; ++pass) {
            walks[pass].step(light, i, next, limits[pass], [&](int start, int end) { emit(pass, start, end); });
        }
    }
}

// Copies the window into the family's line buffer (columns, diagonals or anti-diagonals; rows
// are read in place): sample i of line L lands at L * stride + i,
// as 1 for light and 0 for dark. Diagonal lines run as the finder search walks them, so the
// sample of window pixel (r, c) sits at index min(r, c) of diagonal W - 1 - c + r, and at index
// min(r, W - 1 - c) of anti-diagonal r + c.
void gatherWindowLines(ScanFamily family, const uint8_t* const* rows, const Window& w) {
    uint8_t* out = scratch.lines[static_cast<std::size_t>(family)].data();
    const std::ptrdiff_t stride = scratch.lineStride;
    const int W = w.width;
    for (int r = 0; r < w.height; ++r) {
        const uint8_t* row = rows[w.y0 + r] + w.x0;
        switch (family) {
            case kScanColumns:
                for (int c = 0; c < W; ++c) out[c * stride + r] = row[c] != 0 ? 1 : 0;
                break;
            case kScanDiagonals:
                for (int c = 0; c < W; ++c) out[(W - 1 - c + r) * stride + std::min(r, c)] = row[c] != 0 ? 1 : 0;
                break;
            default:
                for (int c = 0; c < W; ++c) out[(r + c) * stride + std::min(r, W - 1 - c)] = row[c] != 0 ? 1 : 0;
                break;
        }
    }
}

// Every line of one family across the window, scanned for both passes at once (they differ only
// in the ratio bound): hits in window coordinates with the expected module size (diagonal sizes
// measured along the diagonal, as the finder search measures them). With a record of the
// picture's line changes each line is sliced out of it; otherwise rows are read in place and the
// other families come from their gathered lines.
template <ScanFamily family>
void scanWindowFamily(const uint8_t* const* rows, int width, const Window& w, float module, bool recorded,
                      std::array<WindowHits*, kPasses> hits) {
    const bool diagonal = family == kScanDiagonals || family == kScanAntiDiagonals;
    const float lineModule = diagonal ? static_cast<float>(module * kHalfRoot2) : module;
    const int lines = lineCount(family, w);
    const uint8_t* buffer = scratch.lines[static_cast<std::size_t>(family)].data();
    int32_t* transitions = scratch.transitions.data();
    const int longest = std::max(w.width, w.height);
    const std::array<RunRanges, kPasses> ranges = {runRangesOf(0, lineModule, longest), runRangesOf(1, lineModule, longest)};
    const LineChangeFamily record = recorded ? lineChangesOfFamily(family) : LineChangeFamily{nullptr, nullptr, nullptr};
    for (int L = 0; L < lines; ++L) {
        const WindowLine line = lineOf(family, L, w);
        if (!lineMayHit(family, line, w, module)) continue;
        // The colour of the line's first sample, read only for lines that are walked.
        auto firstLight = [&]() { return rows[w.y0 + line.row][w.x0 + line.column] != 0; };
        auto emit = [&](std::size_t pass, int start, int end) {
            WindowHits& out = *hits[pass];
            const float startRow = static_cast<float>(line.row + line.rowStep * start);
            const float endRow = static_cast<float>(line.row + line.rowStep * end);
            const float startColumn = static_cast<float>(line.column + line.columnStep * start);
            const float endColumn = static_cast<float>(line.column + line.columnStep * end);
            switch (family) {
                case kScanRows: out.add((startColumn + endColumn) / 2.0f - 0.5f, startRow, module, w); break;
                case kScanColumns: out.add(startColumn, (startRow + endRow) / 2.0f - 0.5f, module, w); break;
                case kScanDiagonals:
                    out.add((startColumn + endColumn) / 2.0f - 0.5f, (startRow + endRow) / 2.0f - 0.5f, module, w);
                    break;
                default:
                    out.add((startColumn + endColumn) / 2.0f + 0.5f, (startRow + endRow) / 2.0f - 0.5f, module, w);
                    break;
            }
        };
        if (recorded) {
            const LinePlace at = linePlaceOf(family, w.y0 + line.row, w.x0 + line.column, width);
            const LineChangeList within = changesBetween(record.line(at.line), at.offset, at.offset + line.length);
            const int count = static_cast<int>(within.end - within.begin);
            if (count >= kChangesOfAHit) {
                scanRunTransitions(firstLight(), line.length, within.begin, count, at.offset, ranges, emit);
            }
        } else {
            const uint8_t* samples = family == kScanRows ? rows[w.y0 + L] + w.x0
                                                         : buffer + static_cast<std::ptrdiff_t>(L) * scratch.lineStride;
            const int count = colourChanges(samples, line.length, transitions);
            if (count >= kChangesOfAHit) scanRunTransitions(firstLight(), line.length, transitions, count, 0, ranges, emit);
        }
    }
}

// ---- Candidates ----------------------------------------------------------------------------

// A scored cluster centre in picture coordinates.
struct Candidate {
    float x;
    float y;
    float score;
};

// The candidate nearest (px, py) among the four best-scored clusters whose score lies in
// [1.5, 5); score 0 when there is none. Equal scores rank by cluster index.
Candidate chooseCandidate(const ClusterStatistics& scored, int px, int py, const Window& w) {
    // Clusters by falling score, equal scores in cluster order: an insertion sort, which keeps
    // that order and needs no buffer for twenty entries.
    std::array<int, kClusters> order{};
    auto scoreOf = [&](int c) { return scored[static_cast<std::size_t>(c)][kFinderScore]; };
    for (int c = 0; c < kClusters; ++c) {
        int place = c;
        while (place > 0 && scoreOf(c) > scoreOf(order[static_cast<std::size_t>(place - 1)])) {
            order[static_cast<std::size_t>(place)] = order[static_cast<std::size_t>(place - 1)];
            --place;
        }
        order[static_cast<std::size_t>(place)] = c;
    }
    Candidate best{0.0f, 0.0f, 0.0f};
    float bestDistance = 0.0f;
    for (int place = 0; place < kCandidatePlaces; ++place) {
        const auto& c = scored[static_cast<std::size_t>(order[static_cast<std::size_t>(place)])];
        const float score = c[kFinderScore];
        if (!(score >= kAlignmentFoundScore && score < kMaxCandidateScore)) continue;
        const float x = static_cast<float>(w.x0) + c[kFinderX], y = static_cast<float>(w.y0) + c[kFinderY];
        const float dx = x - static_cast<float>(px), dy = y - static_cast<float>(py);
        const float d2 = dx * dx + dy * dy;
        if (best.score == 0.0f || d2 < bestDistance) {
            best = {x, y, score};
            bestDistance = d2;
        }
    }
    return best;
}

// The scan families a search uses: those of the selected directions in which the role's
// finder pattern was itself seen (frame directions: 0 rows, 1 diagonals, 2 columns,
// 3 anti-diagonals).
std::array<bool, 4> searchedFamilies(const SlotSizes& sizes, int directions) {
    const bool straight = directions == 1 || directions == 3, diagonal = directions == 2 || directions == 3;
    auto seen = [&](int d) { return sizes.counts[static_cast<std::size_t>(d)] != 0; };
    return {straight && seen(0), straight && seen(2), diagonal && seen(1), diagonal && seen(3)};
}

// The hit table of one pass and scan family.
WindowHits windowHits(int pass, ScanFamily family, int capacity) {
    float* base = scratch.hits[static_cast<std::size_t>(pass * kFamilies + family)].data();
    const std::size_t cap = static_cast<std::size_t>(capacity);
    return WindowHits{{base, base + cap, base + 2 * cap}, capacity};
}

// Pairing, clustering and choice of one pass over its scanned hits; the chosen candidate in
// picture coordinates, or score 0.
Candidate searchWindowOnce(const Window& w, std::array<WindowHits, kFamilies>& hits, const std::array<bool, 4>& families,
                           int px, int py) {
    const std::size_t pairedCapacity = SearchScratch::pairedCapacity(SearchScratch::hitCapacity(w));
    PairedHits paired{scratch.paired.data(), scratch.paired.data() + pairedCapacity,
                      scratch.paired.data() + 2 * pairedCapacity, scratch.family.data(), 0};
    const auto& rowsHits = hits[kScanRows];
    const auto& columnHits = hits[kScanColumns];
    const auto& diagonalHits = hits[kScanDiagonals];
    const auto& antiDiagonalHits = hits[kScanAntiDiagonals];
    if (families[kScanRows] || families[kScanColumns]) {
        pairFinderHits(rowsHits.table, rowsHits.count, columnHits.table, columnHits.count, false, kPairTolerance,
                       paired);
    }
    if (families[kScanDiagonals] || families[kScanAntiDiagonals]) {
        pairFinderHits(diagonalHits.table, diagonalHits.count, antiDiagonalHits.table, antiDiagonalHits.count, true,
                       kPairTolerance, paired);
    }

    // Centres are tested against the finder boxes in the caller's picture, so that no search
    // settles inside a symbol read before.
    const ClusterRule rule{kClusterReach, kMaxDensity, static_cast<float>(w.x0), static_cast<float>(w.y0)};
    ClusterStatistics scored;
    if (!clusterPairedHits(paired, rule, scratch.clustering, scored)) return {0.0f, 0.0f, 0.0f};
    return chooseCandidate(scored, px, py, w);
}

// ---- Predictions ---------------------------------------------------------------------------

// Row by row, each cell from its neighbours as they stand after their own searches.
void predictBase(const uint8_t* const* rows, int height, int width, int directions) {
    const int n = state.n;
    AlignmentGrid& g = state.grid;
    const FrameCorner& a = cornerOf(kFrameA);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (isFinderCell(i, j, n)) continue;
            PointF p;
            if (i == 0) {
                p = plus(positionOf(cellOf(g, 0, j - 1)), times(a.e1, (positionAt(j) - positionAt(j - 1)) * a.m1));
            } else if (j == 0) {
                p = plus(positionOf(cellOf(g, i - 1, 0)), times(a.e2, (positionAt(i) - positionAt(i - 1)) * a.m2));
            } else {
                p = plus(minus(positionOf(cellOf(g, i - 1, j)), positionOf(cellOf(g, i - 1, j - 1))),
                         positionOf(cellOf(g, i, j - 1)));
            }
            predictAndSearch(cellOf(g, i, j), p, rows, height, width, kFrameA, directions);
        }
    }
}

// Versions 2 to 6: the one alignment pattern predicted again with the module-size ratios at B
// and C, which follow a perspective that the parallelogram misses.
void predictCorrected(PointF parallelogram, const uint8_t* const* rows, int height, int width, int directions) {
    const FrameCorner& a = cornerOf(kFrameA);
    const FrameCorner& b = cornerOf(kFrameB);
    const FrameCorner& c = cornerOf(kFrameC);
    const PointF p = parallelogram;
    const float ratioC = c.m1 / a.m1, ratioB = b.m2 / a.m2;
    const PointF e = {c.point.x + (p.x - c.point.x) * ratioC + b.point.x + (p.x - b.point.x) * ratioB - p.x,
                      c.point.y + (p.y - c.point.y) * ratioC + b.point.y + (p.y - b.point.y) * ratioB - p.y};
    predictAndSearch(state.extra, e, rows, height, width, kFrameA, directions);
}

// Top row first, then each cell from the one above it (the top-right block was read).
void predictDownwards(AlignmentGrid& g, const uint8_t* const* rows, int height, int width, int directions) {
    const int n = state.n;
    const FrameCorner& a = cornerOf(kFrameA);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (isFinderCell(i, j, n)) continue;
            const PointF p = i == 0
                                 ? plus(positionOf(cellOf(g, 0, j - 1)), times(a.e1, (positionAt(j) - positionAt(j - 1)) * a.m1))
                                 : plus(positionOf(cellOf(g, i - 1, j)), times(a.e2, (positionAt(i) - positionAt(i - 1)) * a.m2));
            predictAndSearch(cellOf(g, i, j), p, rows, height, width, kFrameA, directions);
        }
    }
}

// Left column first, then each cell from the one to its left, column by column (the
// bottom-left block was read).
void predictRightwards(AlignmentGrid& g, const uint8_t* const* rows, int height, int width, int directions) {
    const int n = state.n;
    const FrameCorner& a = cornerOf(kFrameA);
    for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
            if (isFinderCell(i, j, n)) continue;
            const PointF p = j == 0
                                 ? plus(positionOf(cellOf(g, i - 1, 0)), times(a.e2, (positionAt(i) - positionAt(i - 1)) * a.m2))
                                 : plus(positionOf(cellOf(g, i, j - 1)), times(a.e1, (positionAt(j) - positionAt(j - 1)) * a.m1));
            predictAndSearch(cellOf(g, i, j), p, rows, height, width, kFrameA, directions);
        }
    }
}

// Both blocks were read: the bottom row from C and the right column from B, then every other
// cell backwards from the bottom-right corner.
void predictFromFarSides(AlignmentGrid& g, const uint8_t* const* rows, int height, int width, int directions) {
    const int n = state.n;
    const FrameCorner& b = cornerOf(kFrameB);
    const FrameCorner& c = cornerOf(kFrameC);
    for (int j = 1; j < n; ++j) {
        const PointF p =
            plus(positionOf(cellOf(g, n - 1, j - 1)), times(c.e1, (positionAt(j) - positionAt(j - 1)) * c.m1));
        predictAndSearch(cellOf(g, n - 1, j), p, rows, height, width, kFrameA, directions);
    }
    for (int i = 1; i < n; ++i) {
        const PointF p =
            plus(positionOf(cellOf(g, i - 1, n - 1)), times(b.e2, (positionAt(i) - positionAt(i - 1)) * b.m2));
        predictAndSearch(cellOf(g, i, n - 1), p, rows, height, width, kFrameC, directions);
    }
    for (int i = n - 2; i >= 0; --i) {
        for (int j = n - 2; j >= 0; --j) {
            if (isFinderCell(i, j, n)) continue;
            const PointF p = plus(minus(positionOf(cellOf(g, i + 1, j)), positionOf(cellOf(g, i + 1, j + 1))),
                                  positionOf(cellOf(g, i, j + 1)));
            predictAndSearch(cellOf(g, i, j), p, rows, height, width, kFrameA, directions);
        }
    }
}

// The second prediction that the version blocks choose; it replaces the first when it finds
// more patterns.
void predictAlternative(const uint8_t* const* rows, int height, int width, int directions) {
    const int match = versionBlockMatch();
    if (match < 1 || match > 3) return;
    const int baseFound = state.found;
    state.found = 0;
    AlignmentGrid& g = state.alternative;
    placeSeeds(g, state.n);
    if (match == 1) predictDownwards(g, rows, height, width, directions);
    if (match == 2) predictRightwards(g, rows, height, width, directions);
    if (match == 3) predictFromFarSides(g, rows, height, width, directions);
    if (state.found > baseFound) {
        for (int i = 0; i < state.n; ++i) {
            for (int j = 0; j < state.n; ++j) cellOf(state.grid, i, j) = cellOf(g, i, j);
        }
    }
}

}  // namespace

void setAlignmentCoordinates(int version) {
    state.n = 2;
    if (version < 2 || version > kMaxVersion) return;
    const VersionInfo& info = VersionTable[version];
    state.n = info.alignmentCount + 1;
    state.positions[0] = 6.0f;
    for (int k = 1; k < state.n; ++k) state.positions[static_cast<std::size_t>(k)] = static_cast<float>(info.alignmentPositions[k - 1]);
    for (int i = 0; i < state.n; ++i) {
        for (int j = 0; j < state.n; ++j) {
            state.coordinates[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = {positionAt(j), positionAt(i)};
        }
    }
}

int alignmentPositionCount() { return state.n; }
AlignmentCoordinates& alignmentCoordinates() { return state.coordinates; }
AlignmentGrid& alignmentGrid() { return state.grid; }
AlignmentCell& extraAlignmentCell() { return state.extra; }
int alignmentFoundCount() { return state.found; }
void clearAlignmentFoundCount() { state.found = 0; }
std::span<std::byte> alignmentStateBytes() { return stateBytes(state); }

void locateAlignmentPatterns(int version, const uint8_t* const* rows, int height, int width, int directions) {
    state.found = 0;
    if (version < 2 || rows == nullptr || height <= 0 || width <= 0) return;
    placeSeeds(state.grid, state.n);
    if (version <= 6) {
        const PointF parallelogram = plus(minus(positionOf(cellOf(state.grid, 0, 1)), positionOf(cellOf(state.grid, 0, 0))),
                                          positionOf(cellOf(state.grid, 1, 0)));
        predictBase(rows, height, width, directions);
        predictCorrected(parallelogram, rows, height, width, directions);
        return;
    }
    predictBase(rows, height, width, directions);
    predictAlternative(rows, height, width, directions);
}

int alignmentCentreRuns(const uint8_t* samples, int length, float lineModule, float ratioBound,
                        std::array<int, 2>* runs, int capacity) {
    if (samples == nullptr || lineModule <= 0.0f || length <= 0) return 0;
    int count = 0;
    std::vector<int32_t> transitions(static_cast<std::size_t>(length));
    const int changes = colourChanges(samples, length, transitions.data());
    std::vector<IntRange> ratios;
    growRatioRanges(ratios, ratioBound, length);
    const std::array<RunRanges, 1> limits = {RunRanges{ratios.data(), sizeRange(lineModule)}};
    scanRunTransitions(samples[0] != 0, length, transitions.data(), changes, 0, limits,
                       [&](std::size_t, int start, int end) {
        if (runs != nullptr && count < capacity) runs[count] = {start, end};
        ++count;
    });
    return count;
}

namespace {

// What a window search reads besides the picture: the window, the prediction (the nearest
// candidate wins), the families searched and the module size expected along each of them (0
// for a family not searched).
struct WindowQuestion {
    Window window;
    int px;
    int py;
    int families;
    std::array<float, kFamilies> modules;

    bool operator==(const WindowQuestion& other) const { return std::memcmp(this, &other, sizeof *this) == 0; }
};
// Questions compare as bytes: they hold no padding.
static_assert(sizeof(WindowQuestion) == sizeof(Window) + 3 * sizeof(int) + kFamilies * sizeof(float));

struct WindowQuestionHash {
    std::size_t operator()(const WindowQuestion& q) const {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&q);
        uint64_t h = 0xcbf29ce484222325ull;
        for (std::size_t i = 0; i < sizeof q; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
        return static_cast<std::size_t>(h);
    }
};

// The candidates of both passes of each window searched on the pass's picture in its present
// colour sense. Pair variants and version candidates often ask the same window again; the
// answers hold while the picture's line record stands and the picture is not inverted.
struct WindowAnswers {
    static constexpr std::size_t kKeptBuckets = 4096;
    PictureOnRecord picture;
    std::unordered_map<WindowQuestion, std::array<Candidate, kPasses>, WindowQuestionHash> answers;

    // The answers for this picture, forgotten when the picture is another or was inverted.
    void holdFor(const uint8_t* const* rows) {
        const PictureOnRecord now = PictureOnRecord::of(rows);
        if (now.sameRecord(picture) && !now.invertedFrom(picture)) return;
        picture = now;
        // Clearing walks every bucket: a table grown large on one picture starts small again.
        if (answers.bucket_count() > kKeptBuckets) {
            answers = {};
        } else {
            answers.clear();
        }
    }
};

WindowAnswers windowAnswers;

// The candidates of both passes over the question's window; score 0 for a pass that found none.
// False when the scratch tables cannot grow to the window.
bool searchWindow(std::array<Candidate, kPasses>& found, const WindowQuestion& q, const uint8_t* const* rows,
                  int height, int width) {
    const Window& w = q.window;
    std::array<bool, kFamilies> families{};
    for (int f = 0; f < kFamilies; ++f) families[static_cast<std::size_t>(f)] = (q.families >> f & 1) != 0;
    if (!scratch.reserve(w)) return false;
    // Both passes scan the same lines with the same expected sizes, so every line is walked once
    // for the two of them.
    const int capacity = SearchScratch::hitCapacity(w);
    std::array<std::array<WindowHits, kFamilies>, kPasses> hits;
    for (int pass = 0; pass < kPasses; ++pass) {
        for (int f = 0; f < kFamilies; ++f) {
            hits[static_cast<std::size_t>(pass)][static_cast<std::size_t>(f)] = windowHits(pass, static_cast<ScanFamily>(f), capacity);
        }
    }
    const bool recorded = lineChangesReady(rows, height, width);
    for (int f = 0; f < kFamilies; ++f) {
        if (!families[static_cast<std::size_t>(f)]) continue;
        const ScanFamily family = static_cast<ScanFamily>(f);
        if (family != kScanRows && !recorded) gatherWindowLines(family, rows, w);
        const float module = q.modules[static_cast<std::size_t>(f)];
        const std::array<WindowHits*, kPasses> familyHits = {&hits[0][static_cast<std::size_t>(f)],
                                                              &hits[1][static_cast<std::size_t>(f)]};
        switch (family) {
            case kScanRows: scanWindowFamily<kScanRows>(rows, width, w, module, recorded, familyHits); break;
            case kScanColumns: scanWindowFamily<kScanColumns>(rows, width, w, module, recorded, familyHits); break;
            case kScanDiagonals: scanWindowFamily<kScanDiagonals>(rows, width, w, module, recorded, familyHits); break;
            default: scanWindowFamily<kScanAntiDiagonals>(rows, width, w, module, recorded, familyHits); break;
        }
    }
    for (int pass = 0; pass < kPasses; ++pass) {
        found[static_cast<std::size_t>(pass)] =
            searchWindowOnce(w, hits[static_cast<std::size_t>(pass)], families, q.px, q.py);
    }
    return true;
}

}  // namespace

void searchAlignment(AlignmentCell& cell, int px, int py, const uint8_t* const* rows, int height, int width, int role,
                     int directions) {
    if (rows == nullptr || height <= 0 || width <= 0) return;
    if (role != kFrameB && role != kFrameC) role = kFrameA;
    const SlotSizes& sizes = slotSizes()[static_cast<std::size_t>(frameOrder()[static_cast<std::size_t>(role)])];
    const std::array<bool, kFamilies> families = searchedFamilies(sizes, directions);
    const std::array<float, kFamilies> expected = {sizes.sizes[0], sizes.sizes[2], sizes.sizes[1], sizes.sizes[3]};
    WindowQuestion question;
    std::memset(&question, 0, sizeof question);
    question.window = windowAround(px, py, cornerOf(role), height, width);
    question.px = px;
    question.py = py;
    for (int f = 0; f < kFamilies; ++f) {
        if (!families[static_cast<std::size_t>(f)]) continue;
        question.families |= 1 << f;
        question.modules[static_cast<std::size_t>(f)] = expected[static_cast<std::size_t>(f)];
    }
    std::array<Candidate, kPasses> found{};
    if (lineChangesReady(rows, height, width)) {
        windowAnswers.holdFor(rows);
        const auto known = windowAnswers.answers.find(question);
        if (known != windowAnswers.answers.end()) {
            found = known->second;
        } else {
            if (!searchWindow(found, question, rows, height, width)) return;
            try {
                windowAnswers.answers.emplace(question, found);
            } catch (const std::bad_alloc&) {
                // Not remembered: the window is searched again when asked again.
            }
        }
    } else if (!searchWindow(found, question, rows, height, width)) {
        return;
    }
    for (const Candidate& f : found) {
        if (f.score == 0.0f) continue;
        cell.score = f.score;
        if (f.score >= kAlignmentFoundScore) {
            cell.x = f.x;
            cell.y = f.y;
            ++state.found;
        }
    }
}

void locateVersionAlignment(const uint8_t* const* rows, int height, int width, int directions) {
    const int n = state.n;
    if (n < 3 || rows == nullptr || height <= 0 || width <= 0) return;
    AlignmentGrid& g = state.grid;
    placeSeeds(g, n);
    const PointF seedB = seedOf(kFrameB), seedC = seedOf(kFrameC);
    auto set = [&](int i, int j, PointF p) {
        cellOf(g, i, j).x = p.x;
        cellOf(g, i, j).y = p.y;
    };
    const PointF topLeftOfB = plus(seedB, alongSide1(kFrameB, positionAt(n - 1) - positionAt(n - 2)));
    const PointF belowB = plus(seedB, alongSide2(kFrameB, positionAt(1) - positionAt(0)));
    set(0, n - 2, topLeftOfB);
    set(1, n - 1, belowB);
    set(1, n - 2, minus(plus(topLeftOfB, belowB), seedB));
    const PointF aboveC = plus(seedC, alongSide2(kFrameC, positionAt(n - 1) - positionAt(n - 2)));
    const PointF rightOfC = plus(seedC, alongSide1(kFrameC, positionAt(1) - positionAt(0)));
    set(n - 2, 0, aboveC);
    set(n - 1, 1, rightOfC);
    set(n - 2, 1, minus(plus(aboveC, rightOfC), seedC));

    auto search = [&](int i, int j, int role) {
        AlignmentCell& cell = cellOf(g, i, j);
        searchAlignment(cell, truncated(cell.x), truncated(cell.y), rows, height, width, role, directions);
    };
    search(0, n - 2, kFrameB);
    search(1, n - 2, kFrameB);
    search(1, n - 1, kFrameB);
    search(n - 2, 0, kFrameC);
    search(n - 2, 1, kFrameC);
    search(n - 1, 1, kFrameC);
}

}  // namespace velmora
