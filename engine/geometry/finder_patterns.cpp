#include "engine/geometry/finder_patterns.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <vector>

#include "engine/image/simd.h"

#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/line_runs.h"
#include "engine/image/state_bytes.h"

namespace velmora {
namespace {

// Results of the last search; the candidate steps read them and mark used patterns.
struct FinderState {
    FinderTable table{};
    FinderList list{};
    FinderBackup backup{};
};

FinderState state;

constexpr double kSqrt2 = 1.4142135623730951;
constexpr double kDiagonalPairFactor = 0.707;
constexpr int kClusters = kFinderClusters;
// A finder's centre module is three modules wide: hits of one pattern lie within about
// 2.12 module sizes of each other.
constexpr float kClusterReach = 4.5f;  // squared distance factor: (2.12132 module sizes)^2
constexpr int kPurgedCountValues = 5;
constexpr float kMaxScore = 14.0f;
constexpr float kMaxDensity = 4.5f;

// The run-length limits derived from the search parameters.
struct ScanLimits {
    float ratioBound;
    float lowRatio;
    float sideMin;
    float sideMax;
    float centreMin;
    float centreMax;

    ScanLimits(float bound, float centreTolerance)
        : ratioBound(bound),
          lowRatio(1.0f / bound),
          sideMin(0.0f),
          sideMax((bound + 1.0f) / 2.0f),
          centreMin(3.0f - centreTolerance),
          centreMax(3.0f + centreTolerance) {
        sideMin = 1.0f / sideMax;
    }

    // lowRatio < prev / run < ratioBound; an empty run (after a masked pixel) never fits.
    bool neighbours(int prev, int run) const {
        if (run <= 0) return false;
        const float q = static_cast<float>(prev) / static_cast<float>(run);
        return lowRatio < q && q < ratioBound;
    }
    bool side(int run, float m) const {
        const float q = static_cast<float>(run) / m;
        return sideMin < q && q < sideMax;
    }
    bool centre(int run, float m) const {
        const float r = static_cast<float>(run);
        return centreMin * m < r && r < centreMax * m;
    }
};

// The scan's run tests as integer ranges, so that a line can be walked from one colour change
// to the next: a run r passes `neighbours` after prev when prev lies in prev[r]; after a
// candidate began with m = sum / 2, a run passes `side` when it lies in side[sum] and `centre`
// when it lies in centre[sum]. Each range agrees with the float test it replaces.
struct RunRanges {
    std::vector<IntRange> prev, side, centre;
    int maxRun = 0;

    // Ranges for runs up to longestRun samples (and sums up to twice that).
    bool build(const ScanLimits& limits, int longestRun) {
        maxRun = longestRun;
        const std::size_t runs = static_cast<std::size_t>(longestRun) + 1, sums = 2 * runs + 1;
        try {
            prev.resize(runs);
            side.resize(sums);
            centre.resize(sums);
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (int r = 1; r <= longestRun; ++r) {
            prev[static_cast<std::size_t>(r)] = passingRange([&](int p) { return limits.neighbours(p, r); },
                                                             r * static_cast<double>(limits.lowRatio),
                                                             r * static_cast<double>(limits.ratioBound));
        }
        for (int sum = 1; sum < static_cast<int>(sums); ++sum) {
            const float m = static_cast<float>(sum) / 2.0f;
            const std::size_t at = static_cast<std::size_t>(sum);
            side[at] = passingRange([&](int run) { return limits.side(run, m); }, m * static_cast<double>(limits.sideMin),
                                    m * static_cast<double>(limits.sideMax));
            centre[at] = passingRange([&](int run) { return limits.centre(run, m); },
                                      m * static_cast<double>(limits.centreMin), m * static_cast<double>(limits.centreMax));
        }
        return true;
    }

    bool neighbours(int p, int run) const {
        return run > 0 && run <= maxRun && prev[static_cast<std::size_t>(run)].contains(p);
    }
    bool sideFits(int run, int sum) const { return side[static_cast<std::size_t>(sum)].contains(run); }
    bool centreFits(int run, int sum) const { return centre[static_cast<std::size_t>(sum)].contains(run); }
};

// The ranges of the last search parameters, kept from one search to the next (every search of a
// request uses the same parameters) and rebuilt only for other parameters or longer lines.
const RunRanges* runRangesFor(float ratioBound, float centreTolerance, const ScanLimits& limits, int longestRun) {
    static RunRanges ranges;
    static float builtBound = 0.0f, builtTolerance = 0.0f;
    if (ranges.maxRun < longestRun || builtBound != ratioBound || builtTolerance != centreTolerance) {
        builtBound = builtTolerance = 0.0f;
        if (!ranges.build(limits, std::max(longestRun, ranges.maxRun))) {
            ranges.maxRun = 0;
            return nullptr;
        }
        builtBound = ratioBound;
        builtTolerance = centreTolerance;
    }
    return &ranges;
}

// The 1:1:3:1:1 state machine along one line, driven run by run: per line, the current run
// length `run`, the previous one `prev`, a phase 0..3, the first sample of the candidate's centre
// run (start), the first sample after it (end) and the sum of the candidate's first two runs
// (the module size m is sum / 2). Patterns go to emit(start, end, m).
template <typename Emit>
struct PatternWalk {
    const RunRanges& ranges;
    Emit& emit;
    int run = 0, prev = 0, phase = 0, start = 0, end = 0, sum = 0;

    // Judges the last dark run (prev is the light run before it); the walk starts over.
    void evaluate() {
        if (ranges.sideFits(run, sum) && ranges.neighbours(prev, run)) emit(start, end, static_cast<float>(sum) / 2.0f);
        phase = 0;
    }
    void beginCandidate(int i) {
        phase = 1;
        sum = prev + run;
        start = i;
    }
    // The run has ended at sample i, where a run of the other colour begins (dark or not); prev
    // and run still describe the two runs before i.
    void runEnded(int i, bool dark) {
        switch (phase) {
            case 0:
                if (dark && ranges.neighbours(prev, run)) beginCandidate(i);
                break;
            case 1:
                if (ranges.centreFits(run, sum)) {
                    phase = 2;
                    end = i;
                } else if (dark && ranges.neighbours(prev, run)) {
                    beginCandidate(i);
                } else {
                    phase = 0;
                }
                break;
            case 2:
                if (ranges.sideFits(run, sum)) {
                    phase = 3;
                } else if (dark && ranges.neighbours(prev, run)) {
                    beginCandidate(i);
                } else {
                    phase = 0;
                }
                break;
            default:
                evaluate();
                break;
        }
    }
};

// A line without masked samples. changes holds the line's colour changes (any ascending integer
// positions), firstLight the colour of its first sample.
template <typename Change, typename Emit>
void scanLineByRuns(bool firstLight, int length, const Change* changes, int count, const RunRanges& ranges,
                    Emit&& emit) {
    if (count == 0) return;
    PatternWalk<Emit> walk{ranges, emit};
    bool dark = !firstLight;
    walk.run = changes[0];
    for (int k = 0; k < count; ++k) {
        const int i = changes[k];
        dark = !dark;
        walk.runEnded(i, dark);
        walk.prev = walk.run;
        walk.run = (k + 1 < count ? changes[k + 1] : length) - i;
    }
    // A last dark run that reaches the end of the line closes a pattern as well; a run of one
    // sample has already been judged at its change.
    if (walk.phase == 3 && walk.run >= 2) walk.evaluate();
}

// A line with masked samples (0 dark, 1 light, 2 and above masked); changes holds where the
// samples change between those three classes. A masked sample breaks the line: before the last
// dark run it drops the candidate and both runs; where the last dark run may end it is judged
// as ended there, and the masked sample counts on in the run. Either way the colour of the run
// before the mask carries on past it.
// classOf(k, from) gives the class of the k-th stretch, which starts at sample from; colour is
// the colour of the line's first sample, masked or not.
template <typename ClassOf, typename Emit>
void scanClassRuns(int colour, int length, const int32_t* changes, int count, ClassOf&& classOf,
                   const RunRanges& ranges, Emit&& emit) {
    PatternWalk<Emit> walk{ranges, emit};
    for (int k = 0; k <= count; ++k) {
        const int from = k == 0 ? 0 : changes[k - 1];
        const int to = k < count ? changes[k] : length;
        const int samples = to - from;
        const int sampleClass = classOf(k, from);
        if (sampleClass >= 2) {
            if (walk.phase < 3) {
                walk.phase = 0;
                walk.run = walk.prev = 0;
            } else {
                walk.evaluate();
                walk.prev = walk.run;
                walk.run = 1;
            }
            // A second masked sample finds the walk at phase 0 and drops the runs.
            if (samples >= 2) walk.run = walk.prev = 0;
            continue;
        }
        const bool continues = sampleClass == colour;
        if (continues) {
            walk.run += samples;
        } else {
            walk.runEnded(from, sampleClass == 0);
            walk.prev = walk.run;
            walk.run = samples;
            colour = sampleClass;
        }
        if (to == length && walk.phase == 3 && (continues || samples >= 2)) walk.evaluate();
    }
}

template <typename Emit>
void scanMaskedLineByRuns(const uint8_t* line, int length, const int32_t* changes, int count, const RunRanges& ranges,
                          Emit&& emit) {
    scanClassRuns(line[0] & 1, length, changes, count, [line](int, int from) { return std::min<int>(line[from], 2); },
                  ranges, emit);
}

// True when some sample of the line is covered by the decoded-area mask (2 or more).
bool anyMasked(const uint8_t* line, int length) {
    int i = 0;
#if VELMORA_SSE2
    __m128i any16 = _mm_setzero_si128();
    for (; i + 16 <= length; i += 16) any16 = _mm_or_si128(any16, _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + i)));
    const __m128i two = _mm_set1_epi8(2);
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(any16, two), two)) != 0) return true;
#endif
    uint8_t any = 0;
    for (; i < length; ++i) any |= line[i];
    return (any & 2) != 0;
}

// The first pixel of the row that the mask covers, or width when it covers none.
int firstCovered(const uint8_t* maskRow, int width) {
    int x = 0;
#if VELMORA_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; x + 16 <= width; x += 16) {
        const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(
                                  _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(maskRow + x)), zero))) ^
                              0xFFFFu;
        if (bits != 0) return x + std::countr_zero(bits);
    }
#endif
    while (x < width && maskRow[x] == 0) ++x;
    return x;
}

// True when the mask covers some pixel of the row.
bool rowCovered(const uint8_t* maskRow, int width) { return firstCovered(maskRow, width) < width; }

// out[x] = 1 for a light pixel, 0 for a dark one, plus 2 where the mask covers it.
void mergeMaskRow(const uint8_t* row, const uint8_t* maskRow, uint8_t* out, int width) {
    int x = 0;
#if VELMORA_SSE2
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1), two = _mm_set1_epi8(2);
    for (; x + 16 <= width; x += 16) {
        const __m128i light = _mm_andnot_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), zero), one);
        const __m128i covered =
            _mm_andnot_si128(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(maskRow + x)), zero), two);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_or_si128(light, covered));
    }
#endif
    for (; x < width; ++x) out[x] = static_cast<uint8_t>((row[x] != 0) | ((maskRow[x] != 0) << 1));
}

// Scans one line, by runs when no sample of it is masked (then any nonzero sample is light), else
// sample by sample.
template <bool Masked, typename Emit>
void scanAnyLine(const uint8_t* line, int length, const RunRanges& ranges, int32_t* changes, Emit&& emit) {
    if (Masked && anyMasked(line, length)) {
        scanMaskedLineByRuns(line, length, changes, maskedColourChanges(line, length, changes), ranges, emit);
        return;
    }
    scanLineByRuns(line[0] != 0, length, changes, colourChanges(line, length, changes), ranges, emit);
}

// Scans one line from the record of the picture's line changes; firstLight is the colour of its
// first sample.
template <typename Emit>
void scanRecordedLine(const LineChangeFamily& record, int L, bool firstLight, int length, const RunRanges& ranges,
                      Emit&& emit) {
    const LineChangeList changes = record.line(L);
    scanLineByRuns(firstLight, length, changes.begin, static_cast<int>(changes.end - changes.begin), ranges, emit);
}

// Beyond every position of a recorded line.
constexpr int kLongestLineEnd = 65536;

// Where a line of the picture, with the mask merged into it, changes between dark, light and
// masked, from the line's colour changes and the mask's: positions to changes, the class of
// each stretch (0 dark, 1 light, 2 masked) to classes, one more than the changes. Returns the
// count of changes.
int mergedClassChanges(LineChangeList colourList, LineChangeList maskChanges, int colour, bool masked,
                       int32_t* changes, uint8_t* classes) {
    auto classNow = [&]() { return masked ? 2 : colour; };
    int count = 0;
    classes[0] = static_cast<uint8_t>(classNow());
    const uint16_t* c = colourList.begin;
    const uint16_t* m = maskChanges.begin;
    while (c != colourList.end || m != maskChanges.end) {
        if (masked) {
            // Colour changes under the mask change no class: pass over them up to the mask's end.
            const LineChangeList hidden =
                changesBetween({c, colourList.end}, 0, m != maskChanges.end ? *m : kLongestLineEnd);
            colour ^= static_cast<int>(hidden.end - hidden.begin) & 1;
            c = hidden.end;
            if (m == maskChanges.end) break;
        }
        const int p = m == maskChanges.end || (c != colourList.end && *c < *m) ? *c : *m;
        if (c != colourList.end && *c == p) {
            colour ^= 1;
            ++c;
        }
        if (m != maskChanges.end && *m == p) {
            masked = !masked;
            ++m;
        }
        if (classNow() != classes[count]) {
            changes[count++] = p;
            classes[count] = static_cast<uint8_t>(classNow());
        }
    }
    return count;
}

// A line of the picture and the same line of the mask, both recorded (line L of their family);
// colour and masked describe the line's first sample.
template <typename Emit>
void scanRecordedMaskedLine(const LineChangeFamily& record, const LineChangeFamily& maskRecord, int L, int colour,
                            bool masked, int length, const RunRanges& ranges, int32_t* changes, uint8_t* classes,
                            Emit&& emit) {
    const LineChangeList maskChanges = maskRecord.line(L);
    if (!masked && maskChanges.begin == maskChanges.end) {
        scanRecordedLine(record, L, colour != 0, length, ranges, emit);
        return;
    }
    const int count = mergedClassChanges(record.line(L), maskChanges, colour, masked, changes, classes);
    scanClassRuns(colour, length, changes, count, [classes](int k, int) { return static_cast<int>(classes[k]); }, ranges,
                  emit);
}

// Appends hits to a table. A hit on the picture's first row or column (x or y exactly 0) is
// written but not counted; once the table is full the last slot is overwritten.
struct HitSink {
    const HitTable& table;
    int maxHits;
    int count = 0;

    void add(float x, float y, float size) {
        table.x[count] = x;
        table.y[count] = y;
        table.size[count] = size;
        if (x != 0.0f && y != 0.0f && ++count == maxHits) count = maxHits - 1;
    }
};

// The smallest rectangle holding every covered pixel of a mask; empty when none is covered.
struct CoveredBox {
    int left = 1;
    int top = 1;
    int right = 0;
    int bottom = 0;

    bool empty() const { return right < left; }
};

// The last covered pixel of a row that has one.
int lastCovered(const uint8_t* row, int width) {
    int end = width;
#if VELMORA_SSE2
    const __m128i zero = _mm_setzero_si128();
    for (; end >= 16; end -= 16) {
        const unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(
                                  _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + end - 16)), zero))) ^
                              0xFFFFu;
        if (bits != 0) return end - 16 + 31 - std::countl_zero(bits);
    }
#endif
    while (row[end - 1] == 0) --end;
    return end - 1;
}

CoveredBox coveredBox(const Raster& mask) {
    CoveredBox box;
    for (int y = 0; y < mask.height; ++y) {
        const uint8_t* row = mask.rows[y];
        const int first = firstCovered(row, mask.width);
        if (first == mask.width) continue;
        const int last = lastCovered(row, mask.width);
        if (box.empty()) box = {first, y, last, y};
        box.left = std::min(box.left, first);
        box.right = std::max(box.right, last);
        box.bottom = y;
    }
    return box;
}

// The decoded-area mask a search merges into its lines, with the box of what it covers.
struct MaskView {
    const Raster* mask = nullptr;
    CoveredBox box;
};

// The records a scan reads its lines from: the picture's line changes, and the mask's when the
// mask covers something. Lines without a record are read from the pixels.
struct ScanRecords {
    bool picture = false;
    bool mask = false;
};

// What a search decides once for the scans it runs: the mask (looked over once) and the records.
struct SearchScope {
    bool decided = false;
    MaskView view;
    ScanRecords records;
};
SearchScope searchScope;

// What was worked out from one revision of the decoded-area mask: its covered box, and whether
// its line changes are recorded. Searches of the passes that follow, while no symbol is marked,
// find the same.
struct MaskMemory {
    const Raster* mask = nullptr;
    uint64_t revision = 0;
    MaskView view;
    bool boxKnown = false;
    bool recordKnown = false;
    bool recorded = false;

    // Forgets what belongs to another mask or an earlier revision.
    void holdFor(const Raster* current) {
        if (mask == current && revision == decodedAreaRevision()) return;
        *this = {};
        mask = current;
        revision = decodedAreaRevision();
    }
};
MaskMemory maskMemory;

// The mask of decoded areas, when there is one of the searched picture's size that covers
// anything (a clear mask changes no line, so the scan can do without it).
MaskView maskFor(int height, int width) {
    if (searchScope.decided) return searchScope.view;
    const Raster* mask = decodedAreaMask();
    if (mask == nullptr || mask->rows == nullptr || mask->height != height || mask->width != width) return {};
    maskMemory.holdFor(mask);
    if (!maskMemory.boxKnown) {
        const CoveredBox box = coveredBox(*mask);
        maskMemory.view = box.empty() ? MaskView{} : MaskView{mask, box};
        maskMemory.boxKnown = true;
    }
    return maskMemory.view;
}

// Records the mask's line changes inside its covered box, once for each revision of the mask.
bool recordMask(const MaskView& maskView, int height, int width) {
    maskMemory.holdFor(maskView.mask);
    if (!maskMemory.recordKnown) {
        maskMemory.recorded = recordMaskChanges(maskView.mask->rows, height, width, maskView.box.top,
                                                maskView.box.bottom, maskView.box.left, maskView.box.right);
        maskMemory.recordKnown = true;
    }
    return maskMemory.recorded;
}

// Records the picture and the mask for a scan, unless a search has done so.
ScanRecords recordsFor(const uint8_t* const* rows, int height, int width, const MaskView& maskView) {
    if (searchScope.decided) return searchScope.records;
    ScanRecords records;
    records.picture = recordLineChanges(rows, height, width);
    records.mask = records.picture && maskView.mask != nullptr && recordMask(maskView, height, width);
    return records;
}

// Holds one search's decisions for the scans it runs, and forgets them when it ends.
struct SearchScopeDecision {
    SearchScopeDecision(const uint8_t* const* rows, int height, int width) {
        const MaskView view = maskFor(height, width);
        searchScope = {true, view, recordsFor(rows, height, width, view)};
    }
    ~SearchScopeDecision() { searchScope = {}; }
    SearchScopeDecision(const SearchScopeDecision&) = delete;
    SearchScopeDecision& operator=(const SearchScopeDecision&) = delete;
};

constexpr int columnStep(ScanFamily family) {
    return family == kScanColumns ? 0 : (family == kScanDiagonals ? 1 : -1);
}

// Pictures that cannot be recorded (a side above 65535 samples, or memory short) are scanned
// from their pixels.
// Lines that advance one row per sample are copied in batches of 16 into contiguous buffers,
// so that the picture is read row by row, 16 neighbouring pixels at a time, rather than with a
// stride per sample; then each buffer is scanned like a row. Inside the picture a batch is
// copied in tiles of 16 rows by 16 lines, transposed in registers.
constexpr int kLineBatch = 16;
constexpr int kTileRows = 16;

// 1 light, 0 dark, plus 2 when the decoded-area mask covers the pixel.
template <bool Masked>
uint8_t lineSample(const uint8_t* row, const uint8_t* maskRow, int x) {
    uint8_t sample = row[x] != 0;
    if constexpr (Masked) sample = static_cast<uint8_t>(sample | ((maskRow[x] != 0) << 1));
    return sample;
}

struct BatchGeometry {
    std::array<LineGeometry, kLineBatch> lines;
    int count;
    int top;          // first row any line of the batch covers
    int bottom;       // last row any line covers
    int sharedTop;    // from here to sharedBottom every line covers every row
    int sharedBottom;
};

BatchGeometry batchOf(ScanFamily family, int firstLine, int count, int height, int width) {
    BatchGeometry batch{{}, count, height, -1, 0, height - 1};
    for (int b = 0; b < count; ++b) {
        const LineGeometry g = lineOf(family, firstLine + b, height, width);
        batch.lines[static_cast<std::size_t>(b)] = g;
        batch.top = std::min(batch.top, g.row);
        batch.bottom = std::max(batch.bottom, g.row + g.length - 1);
        batch.sharedTop = std::max(batch.sharedTop, g.row);
        batch.sharedBottom = std::min(batch.sharedBottom, g.row + g.length - 1);
    }
    return batch;
}

template <bool Masked>
void gatherRows(ScanFamily family, const BatchGeometry& batch, int firstRow, int lastRow, const uint8_t* const* rows,
                const Raster* mask, uint8_t* buffers, int bufferLength) {
    const int step = columnStep(family);
    for (int y = firstRow; y <= lastRow; ++y) {
        const uint8_t* row = rows[y];
        const uint8_t* maskRow = Masked ? mask->rows[y] : nullptr;
        for (int b = 0; b < batch.count; ++b) {
            const LineGeometry& g = batch.lines[static_cast<std::size_t>(b)];
            const int i = y - g.row;
            if (i < 0 || i >= g.length) continue;
            buffers[static_cast<std::ptrdiff_t>(b) * bufferLength + i] = lineSample<Masked>(row, maskRow, g.column + step * i);
        }
    }
}

#if VELMORA_SSE2
// Transposes 16 rows of 16 bytes in place: byte j of row r becomes byte r of row j.
void transpose16(__m128i (&v)[16]) {
    __m128i a[16], b[16];
    for (int k = 0; k < 8; ++k) {
        a[k] = _mm_unpacklo_epi8(v[2 * k], v[2 * k + 1]);      // columns 0-7, rows 2k and 2k+1
        a[k + 8] = _mm_unpackhi_epi8(v[2 * k], v[2 * k + 1]);  // columns 8-15
    }
    for (int h = 0; h < 2; ++h) {
        for (int k = 0; k < 4; ++k) {
            b[8 * h + 2 * k] = _mm_unpacklo_epi16(a[8 * h + 2 * k], a[8 * h + 2 * k + 1]);
            b[8 * h + 2 * k + 1] = _mm_unpackhi_epi16(a[8 * h + 2 * k], a[8 * h + 2 * k + 1]);
        }
    }
    // b[8h + 2k + s]: rows 4k to 4k + 3, columns 8h + 4s to 8h + 4s + 3.
    for (int h = 0; h < 2; ++h) {
        for (int k = 0; k < 2; ++k) {
            for (int s = 0; s < 2; ++s) {
                const __m128i upper = b[8 * h + 4 * k + s], lower = b[8 * h + 4 * k + 2 + s];
                a[8 * h + 4 * k + 2 * s] = _mm_unpacklo_epi32(upper, lower);
                a[8 * h + 4 * k + 2 * s + 1] = _mm_unpackhi_epi32(upper, lower);
            }
        }
    }
    // a[8h + 4k + q]: rows 8k to 8k + 7, columns 8h + 2q and 8h + 2q + 1.
    for (int h = 0; h < 2; ++h) {
        for (int q = 0; q < 4; ++q) {
            v[8 * h + 2 * q] = _mm_unpacklo_epi64(a[8 * h + q], a[8 * h + 4 + q]);
            v[8 * h + 2 * q + 1] = _mm_unpackhi_epi64(a[8 * h + q], a[8 * h + 4 + q]);
        }
    }
}

// Rows y to y + 15 of a full batch that covers all of them: each row's 16 pixels are
// neighbours in the picture (in reverse line order for diagonals).
template <bool Masked>
void gatherTile(ScanFamily family, const BatchGeometry& batch, int y, const uint8_t* const* rows, const Raster* mask,
                uint8_t* buffers, int bufferLength) {
    const int step = columnStep(family);
    const bool reversed = family == kScanDiagonals;
    const LineGeometry& leftmost = batch.lines[reversed ? kLineBatch - 1 : 0];
    const __m128i zero = _mm_setzero_si128(), one = _mm_set1_epi8(1), two = _mm_set1_epi8(2);
    __m128i v[16];
    for (int r = 0; r < kTileRows; ++r) {
        const int x = leftmost.column + step * (y + r - leftmost.row);
        const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(rows[y + r] + x));
        v[r] = _mm_andnot_si128(_mm_cmpeq_epi8(pixels, zero), one);
        if constexpr (Masked) {
            const __m128i covered = _mm_loadu_si128(reinterpret_cast<const __m128i*>(mask->rows[y + r] + x));
            v[r] = _mm_or_si128(v[r], _mm_andnot_si128(_mm_cmpeq_epi8(covered, zero), two));
        }
    }
    transpose16(v);
    for (int j = 0; j < kLineBatch; ++j) {
        const int b = reversed ? kLineBatch - 1 - j : j;
        const LineGeometry& g = batch.lines[static_cast<std::size_t>(b)];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffers + static_cast<std::ptrdiff_t>(b) * bufferLength + (y - g.row)), v[j]);
    }
}
#endif

template <bool Masked>
void gatherBatch(ScanFamily family, const BatchGeometry& batch, const uint8_t* const* rows, const Raster* mask,
                 uint8_t* buffers, int bufferLength) {
    int y = batch.top;
#if VELMORA_SSE2
    if (batch.count == kLineBatch) {
        for (; y <= batch.bottom; y += kTileRows) {
            if (y >= batch.sharedTop && y + kTileRows - 1 <= batch.sharedBottom) {
                gatherTile<Masked>(family, batch, y, rows, mask, buffers, bufferLength);
            } else {
                gatherRows<Masked>(family, batch, y, std::min(y + kTileRows - 1, batch.bottom), rows, mask, buffers,
                                   bufferLength);
            }
        }
        return;
    }
#endif
    gatherRows<Masked>(family, batch, y, batch.bottom, rows, mask, buffers, bufferLength);
}

// Hit position of a pattern found along a line: the middle of the centre run, with the half
// pixel shift of each family.
void addLineHit(HitSink& sink, ScanFamily family, const LineGeometry& g, int start, int end, float m) {
    const int step = columnStep(family);
    const float startRow = static_cast<float>(g.row + start), endRow = static_cast<float>(g.row + end);
    const float startColumn = static_cast<float>(g.column + step * start);
    const float endColumn = static_cast<float>(g.column + step * end);
    const float diagonalSize = static_cast<float>(m * kSqrt2);
    switch (family) {
        case kScanColumns: sink.add(startColumn, (startRow + endRow) / 2.0f - 0.5f, m); break;
        case kScanDiagonals:
            sink.add((startColumn + endColumn) / 2.0f - 0.5f, (startRow + endRow) / 2.0f - 0.5f, diagonalSize);
            break;
        default: sink.add((startColumn + endColumn) / 2.0f + 0.5f, (startRow + endRow) / 2.0f - 0.5f, diagonalSize); break;
    }
}

// Whether some line of the batch passes through the box.
bool batchMeetsBox(ScanFamily family, const BatchGeometry& batch, const CoveredBox& box) {
    for (int b = 0; b < batch.count; ++b) {
        const LineGeometry& g = batch.lines[static_cast<std::size_t>(b)];
        int low = std::max(box.top, g.row), high = std::min(box.bottom, g.row + g.length - 1);
        if (family == kScanColumns) {
            if (g.column < box.left || g.column > box.right) continue;
        } else if (family == kScanDiagonals) {
            const int d = g.column - g.row;  // x - y along the line
            low = std::max(low, box.left - d);
            high = std::min(high, box.right - d);
        } else {
            const int sum = g.column + g.row;  // x + y along the line
            low = std::max(low, sum - box.right);
            high = std::min(high, sum - box.left);
        }
        if (low <= high) return true;
    }
    return false;
}

// The records a scan reads its lines from, with scratch for merging the two.
struct LineSources {
    const LineChangeFamily* picture;
    const LineChangeFamily* mask;
    int32_t* changes;
    uint8_t* classes;
};

// The lines of one family that the mask crosses, as merged: changes and classes of line L from
// changeStart[L] and classStart[L], count[L] changes (-1 for a line not merged).
struct MergedFamily {
    std::vector<int32_t> changes;
    std::vector<uint8_t> classes;
    std::vector<std::size_t> changeStart;
    std::vector<std::size_t> classStart;
    std::vector<int> count;
    std::size_t changesUsed = 0;
    std::size_t classesUsed = 0;
    bool complete = false;

    void begin(int lineCount) {
        complete = false;
        changesUsed = classesUsed = 0;
        count.assign(static_cast<std::size_t>(lineCount), -1);
        changeStart.resize(static_cast<std::size_t>(lineCount));
        classStart.resize(static_cast<std::size_t>(lineCount));
    }
    // Merges line L into the family's store: room for every change of both records, one class
    // more. False when memory is short.
    bool merge(int L, LineChangeList colourList, LineChangeList maskChanges, int colour, bool masked) {
        const auto bound =
            static_cast<std::size_t>((colourList.end - colourList.begin) + (maskChanges.end - maskChanges.begin));
        try {
            if (changes.size() < changesUsed + bound) {
                changes.resize(std::max(changesUsed + bound, 2 * changes.size()));
            }
            if (classes.size() < classesUsed + bound + 1) {
                classes.resize(std::max(classesUsed + bound + 1, 2 * classes.size()));
            }
        } catch (const std::bad_alloc&) {
            return false;
        }
        const auto line = static_cast<std::size_t>(L);
        changeStart[line] = changesUsed;
        classStart[line] = classesUsed;
        count[line] = mergedClassChanges(colourList, maskChanges, colour, masked, changes.data() + changesUsed,
                                         classes.data() + classesUsed);
        changesUsed += static_cast<std::size_t>(count[line]);
        classesUsed += static_cast<std::size_t>(count[line]) + 1;
        return true;
    }
};

// The merged lines of the search on one recorded picture under one revision of the mask, kept for
// the search on the inverted picture that follows in the same pass: inverting swaps dark and
// light and moves no change, so every merged line keeps its changes, with the classes of the
// two colours swapped.
struct MergedLines {
    PictureOnRecord picture;
    uint64_t maskRevision = 0;
    std::array<MergedFamily, 4> families;

    // The family's store for this picture, forgetting every store made for another picture or
    // mask; swapped tells whether the picture is the inverse of the one merged.
    MergedFamily& familyFor(int family, const uint8_t* const* rows, bool& swapped) {
        const PictureOnRecord now = PictureOnRecord::of(rows);
        if (!now.sameRecord(picture) || maskRevision != decodedAreaRevision()) {
            picture = now;
            maskRevision = decodedAreaRevision();
            for (MergedFamily& f : families) f.complete = false;
        }
        swapped = now.invertedFrom(picture);
        return families[static_cast<std::size_t>(family)];
    }
};
MergedLines mergedLines;

// Every line of the family from the records: the picture's, merged with the mask's when a mask
// covers something (a line the mask leaves clear has no change in the mask's record). Merged
// lines come from the search on the same picture before it was inverted when there was one.
template <ScanFamily family>
void scanRecordedFamily(HitSink& sink, const uint8_t* const* rows, const Raster* mask, int height, int width,
                        const RunRanges& ranges, const LineSources& sources) {
    const int lineCount = family == kScanRows ? height : (family == kScanColumns ? width : height + width - 1);
    bool swapped = false;
    MergedFamily* merged = mask != nullptr && lineChangesReady(rows, height, width)
                               ? &mergedLines.familyFor(family, rows, swapped)
                               : nullptr;
    const bool replay = merged != nullptr && merged->complete;
    if (merged != nullptr && !replay) merged->begin(lineCount);
    bool stored = merged != nullptr;
    for (int L = 0; L < lineCount; ++L) {
        const LineGeometry g = family == kScanRows ? LineGeometry{L, 0, width} : lineOf(family, L, height, width);
        auto emit = [&](int start, int end, float m) {
            if constexpr (family == kScanRows) {
                sink.add(static_cast<float>(start + end) / 2.0f - 0.5f, static_cast<float>(g.row), m);
            } else {
                addLineHit(sink, family, g, start, end, m);
            }
        };
        const int colour = rows[g.row][g.column] != 0;
        if (mask == nullptr) {
            scanRecordedLine(*sources.picture, L, colour != 0, g.length, ranges, emit);
            continue;
        }
        const bool masked = mask->rows[g.row][g.column] != 0;
        const LineChangeList maskChanges = sources.mask->line(L);
        if (!masked && maskChanges.begin == maskChanges.end) {
            scanRecordedLine(*sources.picture, L, colour != 0, g.length, ranges, emit);
            continue;
        }
        const auto line = static_cast<std::size_t>(L);
        if (replay || (stored && merged->merge(L, sources.picture->line(L), maskChanges, colour, masked))) {
            const uint8_t* classes = merged->classes.data() + merged->classStart[line];
            const int flip = replay && swapped ? 1 : 0;
            scanClassRuns(colour, g.length, merged->changes.data() + merged->changeStart[line], merged->count[line],
                          [classes, flip](int k, int) { return classes[k] < 2 ? classes[k] ^ flip : 2; }, ranges, emit);
        } else {
            stored = false;
            scanRecordedMaskedLine(*sources.picture, *sources.mask, L, colour, masked, g.length, ranges,
                                   sources.changes, sources.classes, emit);
        }
    }
    if (merged != nullptr && !replay) merged->complete = stored;
}

// Lines of the family gathered from the picture in batches, the mask merged into those of the
// batches that meet its covered box.
template <bool Masked>
void scanSteppedLines(ScanFamily family, HitSink& sink, const uint8_t* const* rows, const MaskView& maskView,
                      int height, int width, const RunRanges& ranges, std::vector<uint8_t>& buffers, int32_t* changes) {
    const int lineCount = family == kScanColumns ? width : height + width - 1;
    const int bufferLength = std::max(height, 1);
    for (int first = 0; first < lineCount; first += kLineBatch) {
        const BatchGeometry batch = batchOf(family, first, std::min(kLineBatch, lineCount - first), height, width);
        auto scanBatch = [&](auto maskedLines) {
            constexpr bool kMasked = decltype(maskedLines)::value;
            gatherBatch<kMasked>(family, batch, rows, maskView.mask, buffers.data(), bufferLength);
            for (int b = 0; b < batch.count; ++b) {
                const LineGeometry& g = batch.lines[static_cast<std::size_t>(b)];
                scanAnyLine<kMasked>(buffers.data() + static_cast<std::ptrdiff_t>(b) * bufferLength, g.length, ranges,
                                     changes,
                                     [&](int start, int end, float m) { addLineHit(sink, family, g, start, end, m); });
            }
        };
        // Lines that miss the box of covered pixels have no masked sample: they scan as unmasked.
        if (Masked && batchMeetsBox(family, batch, maskView.box)) {
            scanBatch(std::true_type{});
        } else {
            scanBatch(std::false_type{});
        }
    }
}

// Rows read in place, or merged with the mask where it covers some of their pixels.
void scanRowLines(HitSink& sink, const uint8_t* const* rows, const Raster* mask, int height, int width,
                  const RunRanges& ranges, std::vector<uint8_t>& buffer, int32_t* changes) {
    for (int y = 0; y < height; ++y) {
        auto emit = [&](int start, int end, float m) {
            sink.add(static_cast<float>(start + end) / 2.0f - 0.5f, static_cast<float>(y), m);
        };
        if (mask == nullptr || !rowCovered(mask->rows[y], width)) {
            scanAnyLine<false>(rows[y], width, ranges, changes, emit);
        } else {
            mergeMaskRow(rows[y], mask->rows[y], buffer.data(), width);
            scanAnyLine<true>(buffer.data(), width, ranges, changes, emit);
        }
    }
}

int runScan(ScanFamily family, int& hitCount, const HitTable* table, int maxHits, const uint8_t* const* rows,
            int height, int width, float ratioBound, float centreTolerance) {
    hitCount = 0;
    if (table == nullptr || table->x == nullptr || table->y == nullptr || table->size == nullptr || maxHits < 1) {
        return -1;
    }
    if (rows == nullptr || height <= 0 || width <= 0) return 0;
    const ScanLimits limits(ratioBound, centreTolerance);
    const MaskView maskView = maskFor(height, width);
    const Raster* mask = maskView.mask;
    HitSink sink{*table, maxHits};
    const ScanRecords records = recordsFor(rows, height, width, maskView);
    const LineChangeFamily pictureRecord = lineChangesOfFamily(family);
    const LineChangeFamily maskRecord = maskChangesOfFamily(family);
    // Line buffers kept from one scan to the next: only their first samples are used.
    static std::vector<uint8_t> buffers;
    static std::vector<int32_t> changes;
    static std::vector<uint8_t> classes;
    const int longest = std::max(height, width);
    try {
        const std::size_t needed = family == kScanRows ? (mask != nullptr ? static_cast<std::size_t>(width) : 0)
                                                       : static_cast<std::size_t>(kLineBatch) * static_cast<std::size_t>(height);
        if (buffers.size() < needed) buffers.resize(needed);
        if (changes.size() < static_cast<std::size_t>(longest)) changes.resize(static_cast<std::size_t>(longest));
        if (classes.size() < static_cast<std::size_t>(longest) + 1) classes.resize(static_cast<std::size_t>(longest) + 1);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    const RunRanges* rangesFound = runRangesFor(ratioBound, centreTolerance, limits, longest);
    if (rangesFound == nullptr) return 0;
    const RunRanges& ranges = *rangesFound;
    if (records.picture && (mask == nullptr || records.mask)) {
        const LineSources sources{&pictureRecord, &maskRecord, changes.data(), classes.data()};
        switch (family) {
            case kScanRows: scanRecordedFamily<kScanRows>(sink, rows, mask, height, width, ranges, sources); break;
            case kScanColumns: scanRecordedFamily<kScanColumns>(sink, rows, mask, height, width, ranges, sources); break;
            case kScanDiagonals: scanRecordedFamily<kScanDiagonals>(sink, rows, mask, height, width, ranges, sources); break;
            default: scanRecordedFamily<kScanAntiDiagonals>(sink, rows, mask, height, width, ranges, sources); break;
        }
    } else if (family == kScanRows) {
        scanRowLines(sink, rows, mask, height, width, ranges, buffers, changes.data());
    } else if (mask != nullptr) {
        scanSteppedLines<true>(family, sink, rows, maskView, height, width, ranges, buffers, changes.data());
    } else {
        scanSteppedLines<false>(family, sink, rows, maskView, height, width, ranges, buffers, changes.data());
    }
    hitCount = sink.count;
    return 0;
}

// ---- Pairing -------------------------------------------------------------------------------

// How close two crossing hits must lie, in their module sizes, to belong to one pattern.
struct PairRule {
    bool diagonal;
    float factor;  // pairTolerance, times 0.707 for the diagonal families

    float tolerance(float size) const {
        return diagonal ? static_cast<float>(static_cast<double>(factor) * kDiagonalPairFactor * size) : factor * size;
    }
    bool accepts(float xa, float ya, float ta, float xb, float yb, float tb) const {
        return sizesFit(ta, tb) && close(xa, ya, ta, xb, yb, tb);
    }
    // The two hits' sizes are within a factor of 2.5 of each other.
    static bool sizesFit(float ta, float tb) {
        const float ratio = ta / tb;
        return ratio >= 0.4 && ratio <= 2.5;
    }
    bool close(float xa, float ya, float ta, float xb, float yb, float tb) const {
        if (diagonal) {
            const float t = std::max(ta, tb);
            return std::fabs(xa - xb) <= t && std::fabs(ya - yb) <= t;
        }
        return std::fabs(xa - xb) <= ta && std::fabs(ya - yb) <= tb;
    }
};

void appendPaired(PairedHits& out, float x, float y, float size, int family) {
    out.x[out.count] = x;
    out.y[out.count] = y;
    out.size[out.count] = size;
    out.family[out.count] = family;
    ++out.count;
}

// B hits bucketed on a square grid so that each A hit only meets the B hits near it. The
// buckets keep B's order, and the partners of one A hit are tested in B's order, so the
// outcome is that of testing every pair in turn.
class HitGrid {
public:
    static constexpr float kCell = 32.0f;

    void build(const HitTable& b, int count) {
        minX_ = minY_ = 0.0f;
        float maxX = 0.0f, maxY = 0.0f;
        for (int j = 0; j < count; ++j) {
            if (j == 0 || b.x[j] < minX_) minX_ = b.x[j];
            if (j == 0 || b.y[j] < minY_) minY_ = b.y[j];
            if (j == 0 || b.x[j] > maxX) maxX = b.x[j];
            if (j == 0 || b.y[j] > maxY) maxY = b.y[j];
        }
        columns_ = static_cast<int>((maxX - minX_) / kCell) + 1;
        rows_ = static_cast<int>((maxY - minY_) / kCell) + 1;
        starts_.assign(static_cast<std::size_t>(columns_) * rows_ + 1, 0);
        members_.resize(static_cast<std::size_t>(count));
        for (int j = 0; j < count; ++j) ++starts_[cellOf(b.x[j], b.y[j]) + 1];
        for (std::size_t c = 1; c < starts_.size(); ++c) starts_[c] += starts_[c - 1];
        std::vector<int> fill(starts_.begin(), starts_.end() - 1);
        for (int j = 0; j < count; ++j) members_[static_cast<std::size_t>(fill[cellOf(b.x[j], b.y[j])]++)] = j;
    }

    // Every B hit within radius of (x, y) in both coordinates (and possibly a few more),
    // ascending.
    void near(float x, float y, float radius, std::vector<int>& out) const {
        out.clear();
        const int c0 = clampColumn((x - radius - minX_) / kCell), c1 = clampColumn((x + radius - minX_) / kCell);
        const int r0 = clampRow((y - radius - minY_) / kCell), r1 = clampRow((y + radius - minY_) / kCell);
        for (int r = r0; r <= r1; ++r) {
            for (int c = c0; c <= c1; ++c) {
                const std::size_t cell = static_cast<std::size_t>(r) * columns_ + c;
                out.insert(out.end(), members_.begin() + starts_[cell], members_.begin() + starts_[cell + 1]);
            }
        }
        std::sort(out.begin(), out.end());
    }

private:
    std::size_t cellOf(float x, float y) const {
        return static_cast<std::size_t>(clampRow((y - minY_) / kCell)) * columns_ +
               static_cast<std::size_t>(clampColumn((x - minX_) / kCell));
    }
    int clampColumn(float c) const { return static_cast<int>(std::clamp(c, 0.0f, static_cast<float>(columns_ - 1))); }
    int clampRow(float r) const { return static_cast<int>(std::clamp(r, 0.0f, static_cast<float>(rows_ - 1))); }

    float minX_ = 0.0f, minY_ = 0.0f;
    int columns_ = 1, rows_ = 1;
    std::vector<int> starts_;
    std::vector<int> members_;
};

// Below this many candidate pairs every pair is simply tested in turn.
constexpr long kDirectPairingLimit = 4096;

// ---- Clustering ----------------------------------------------------------------------------

// Clusters keep their members as linked lists over the paired hits, in joining order, with the
// running mean of the members and the size of the last one to join.
struct Cluster {
    int count = 0;
    float meanX = 0.0f;
    float meanY = 0.0f;
    float lastSize = 0.0f;
    int head = -1;
    int tail = -1;
};

class ClusterSet {
public:
    ClusterSet(std::vector<int>& next, float squaredReach) : next_(next), reach_(squaredReach) {}

    void add(const PairedHits& hits, int h) {
        const float x = hits.x[h], y = hits.y[h], size = hits.size[h];
        next_[static_cast<std::size_t>(h)] = -1;
        for (Cluster& c : clusters_) {
            if (c.count == 0) continue;
            const float dx = x - c.meanX, dy = y - c.meanY;
            const float d2 = dx * dx + dy * dy;
            if (d2 < reach_ * size * size || d2 < reach_ * c.lastSize * c.lastSize) {
                const float k = static_cast<float>(c.count);
                c.meanX = (k * c.meanX + x) / (k + 1.0f);
                c.meanY = (k * c.meanY + y) / (k + 1.0f);
                c.lastSize = size;
                next_[static_cast<std::size_t>(c.tail)] = h;
                c.tail = h;
                ++c.count;
                return;
            }
        }
        int started = 0;
        while (clusters_[static_cast<std::size_t>(started)].count != 0) ++started;
        clusters_[static_cast<std::size_t>(started)] = Cluster{1, x, y, size, h, h};
        if (--free_ == 0) purge(started);
    }

    Cluster& operator[](int c) { return clusters_[static_cast<std::size_t>(c)]; }
    int nextOf(int h) const { return next_[static_cast<std::size_t>(h)]; }

private:
    // All clusters are in use: drop those whose member counts are among the five smallest of
    // the others, keeping the one just started.
    void purge(int started) {
        std::array<int, kClusters - 1> counts{};
        int k = 0;
        for (int c = 0; c < kClusters; ++c) {
            if (c != started) counts[static_cast<std::size_t>(k++)] = clusters_[static_cast<std::size_t>(c)].count;
        }
        std::sort(counts.begin(), counts.end());
        int emptied = 0;
        for (int v = 0; v < kPurgedCountValues; ++v) {
            for (int c = 0; c < kClusters; ++c) {
                Cluster& cluster = clusters_[static_cast<std::size_t>(c)];
                if (c != started && cluster.count != 0 && cluster.count == counts[static_cast<std::size_t>(v)]) {
                    cluster = Cluster{};
                    ++emptied;
                }
            }
        }
        free_ = emptied;
    }

    std::array<Cluster, kClusters> clusters_{};
    std::vector<int>& next_;
    float reach_;
    int free_ = kClusters;
};

// Per-family sums over a cluster's remaining members.
struct FamilyStatistics {
    std::array<float, 4> sizeSum{};
    std::array<int, 4> count{};

    float mean(int d) const { return count[d] != 0 ? sizeSum[d] / static_cast<float>(count[d]) : 0.0f; }
};

FamilyStatistics statisticsOf(const ClusterSet& set, const Cluster& cluster, const PairedHits& hits,
                              const std::vector<char>& removed) {
    FamilyStatistics s;
    for (int h = cluster.head; h >= 0; h = set.nextOf(h)) {
        if (removed[static_cast<std::size_t>(h)]) continue;
        const int d = hits.family[h];
        s.sizeSum[d] += hits.size[h];
        ++s.count[d];
    }
    return s;
}

// A family pair whose sizes or counts disagree too much is not one pattern's.
bool familiesDisagree(const FamilyStatistics& s, int a, int b) {
    const float r = s.mean(b) / s.mean(a);
    const float q = r * static_cast<float>(s.count[b]) / static_cast<float>(s.count[a]);
    return r > 2.5f || r < 0.4f || q > 1000.0f || q < 0.001f;
}

// count / mean of the crossing family, or 0 without a mean.
float crossingTerm(const FamilyStatistics& s, int countFamily, int meanFamily) {
    const float mean = s.mean(meanFamily);
    return mean != 0.0f ? static_cast<float>(s.count[countFamily]) / mean : 0.0f;
}

// The eleven statistics of one cluster after its checks; all zero when it is dropped.
std::array<float, kFinderValues> clusterStatistics(ClusterSet& set, Cluster& cluster, const PairedHits& hits,
                                                   const ClusterRule& rule, std::vector<char>& removed) {
    std::array<float, kFinderValues> values{};
    FamilyStatistics s = statisticsOf(set, cluster, hits, removed);
    auto removeFamilies = [&](bool diagonal) {
        for (int h = cluster.head; h >= 0; h = set.nextOf(h)) {
            if ((hits.family[h] >= 2) == diagonal) removed[static_cast<std::size_t>(h)] = 1;
        }
    };
    if (s.count[kScanRows] != 0 && familiesDisagree(s, kScanRows, kScanColumns)) removeFamilies(false);
    if (s.count[kScanDiagonals] != 0 && familiesDisagree(s, kScanDiagonals, kScanAntiDiagonals)) removeFamilies(true);
    s = statisticsOf(set, cluster, hits, removed);

    const std::array<float, 4> density = {crossingTerm(s, kScanColumns, kScanRows), crossingTerm(s, kScanRows, kScanColumns),
                                          crossingTerm(s, kScanAntiDiagonals, kScanDiagonals),
                                          crossingTerm(s, kScanDiagonals, kScanAntiDiagonals)};
    const int members = s.count[0] + s.count[1] + s.count[2] + s.count[3];
    if (members == 0 || std::any_of(density.begin(), density.end(), [&](float t) { return t > rule.maxDensity; })) {
        cluster = Cluster{};
        return values;
    }

    float sumX = 0.0f, sumY = 0.0f;
    for (int h = cluster.head; h >= 0; h = set.nextOf(h)) {
        if (removed[static_cast<std::size_t>(h)]) continue;
        sumX += hits.x[h];
        sumY += hits.y[h];
    }
    const float cx = sumX / static_cast<float>(members), cy = sumY / static_cast<float>(members);
    const float back = isEnlarged() ? enlargementReciprocal() : 1.0f;
    if (isInFinderExclusionBox((rule.originX + cx) * back, (rule.originY + cy) * back)) {
        cluster = Cluster{};
        return values;
    }
    values[kFinderX] = cx;
    values[kFinderY] = cy;
    for (int d = 0; d < 4; ++d) {
        if (s.count[d] > 0 && s.sizeSum[d] != 0.0f) {
            values[static_cast<std::size_t>(kFinderRowSize + 2 * d)] = s.mean(d);
            values[static_cast<std::size_t>(kFinderRowCount + 2 * d)] = static_cast<float>(s.count[d]);
        }
    }
    values[kFinderScore] = density[0] + density[1] + density[2] + density[3];
    return values;
}

// Storage of one search, allocated once at its start and left uninitialised: every entry is
// written before it is read.
struct SearchTables {
    std::unique_ptr<float[]> a, b;  // two hit tables, x | y | size
    std::unique_ptr<float[]> paired;  // x | y | size
    std::unique_ptr<int32_t[]> family;
    ClusterScratch clustering;

    bool allocate(int maxHits) {
        const std::size_t hits = static_cast<std::size_t>(maxHits);
        a.reset(new (std::nothrow) float[3 * hits]);
        b.reset(new (std::nothrow) float[3 * hits]);
        paired.reset(new (std::nothrow) float[3 * pairedCapacity(maxHits)]);
        family.reset(new (std::nothrow) int32_t[pairedCapacity(maxHits)]);
        return a && b && paired && family;
    }
    // Each pairing emits every hit of its two tables at most once.
    static std::size_t pairedCapacity(int maxHits) { return 4 * static_cast<std::size_t>(maxHits); }
    static HitTable table(float* base, int maxHits) { return {base, base + maxHits, base + 2 * maxHits}; }
};

}  // namespace

FinderTable& finderTable() { return state.table; }
FinderList& finderList() { return state.list; }
std::span<std::byte> finderStateBytes() { return stateBytes(state); }
const FinderBackup& finderBackup() { return state.backup; }

int finderMaxHits(int height, int width) {
    const long hits = static_cast<long>(height / 25) * (width / 25) * 10;
    return static_cast<int>(std::clamp(hits, 200L, 1L << 28));
}

int scanRuns(int family, int& hitCount, const HitTable* table, int maxHits, const uint8_t* const* rows, int height,
             int width, float ratioBound, float centreTolerance) {
    return runScan(family == 0 ? kScanRows : kScanDiagonals, hitCount, table, maxHits, rows, height, width, ratioBound,
                   centreTolerance);
}

int scanRunsCrossing(int family, int& hitCount, const HitTable* table, int maxHits, const uint8_t* const* rows,
                     int height, int width, float ratioBound, float centreTolerance) {
    return runScan(family == 0 ? kScanColumns : kScanAntiDiagonals, hitCount, table, maxHits, rows, height, width,
                   ratioBound, centreTolerance);
}

namespace {

// Tables of the pairing, grown to the largest call seen and kept: one search at a time.
struct PairingScratch {
    std::vector<char> liveA;
    std::vector<char> liveB;
    std::vector<float> toleranceB;
    std::vector<float> keyB;
    std::vector<int> lineEndB;
    std::vector<int> nearby;
    HitGrid grid;
};

PairingScratch pairing;

// The coordinate along which B's hits are ordered when they come line by line: x for the
// columns, x + y for the anti-diagonals.
float pairingKey(bool diagonal, float x, float y) { return diagonal ? x + y : x; }

}  // namespace

void pairFinderHits(const HitTable& a, int countA, const HitTable& b, int countB, bool diagonal, float pairTolerance,
                    PairedHits& out) {
    if (countA <= 0 || countB <= 0) return;
    const PairRule rule{diagonal, pairTolerance};
    const int familyA = diagonal ? kScanDiagonals : kScanRows;
    const int familyB = diagonal ? kScanAntiDiagonals : kScanColumns;
    const std::size_t na = static_cast<std::size_t>(countA), nb = static_cast<std::size_t>(countB);
    if (pairing.liveA.size() < na) pairing.liveA.resize(na);
    if (pairing.liveB.size() < nb) pairing.liveB.resize(nb);
    if (pairing.toleranceB.size() < nb) pairing.toleranceB.resize(nb);
    if (pairing.keyB.size() < nb) pairing.keyB.resize(nb);
    if (pairing.lineEndB.size() < nb) pairing.lineEndB.resize(nb);
    std::fill_n(pairing.liveA.begin(), na, char{1});
    std::fill_n(pairing.liveB.begin(), nb, char{1});
    char* liveA = pairing.liveA.data();
    char* liveB = pairing.liveB.data();
    float* toleranceB = pairing.toleranceB.data();
    float* keyB = pairing.keyB.data();
    float largestB = 0.0f;
    bool ordered = true, oneSizeB = true;
    // Within one key (one line of B) the hits of a line scan come down the line: y ascends.
    bool linesDescend = true;
    for (int j = 0; j < countB; ++j) {
        toleranceB[j] = rule.tolerance(b.size[j]);
        largestB = std::max(largestB, toleranceB[j]);
        keyB[j] = pairingKey(diagonal, b.x[j], b.y[j]);
        ordered = ordered && (j == 0 || keyB[j - 1] <= keyB[j]);
        linesDescend = linesDescend && (j == 0 || keyB[j - 1] != keyB[j] || b.y[j - 1] <= b.y[j]);
        oneSizeB = oneSizeB && b.size[j] == b.size[0];
    }
    bool oneSizeA = true;
    for (int i = 1; i < countA && oneSizeA; ++i) oneSizeA = a.size[i] == a.size[0];
    // With one size in each table (as in the alignment windows) every pair has the same size
    // ratio: it is judged once.
    const bool sizesJudged = oneSizeA && oneSizeB;
    if (sizesJudged && !PairRule::sizesFit(rule.tolerance(a.size[0]), toleranceB[0])) return;
    auto tryPair = [&](int i, float ta, int j) {
        if (sizesJudged ? !rule.close(a.x[i], a.y[i], ta, b.x[j], b.y[j], toleranceB[j])
                        : !rule.accepts(a.x[i], a.y[i], ta, b.x[j], b.y[j], toleranceB[j])) {
            return;
        }
        if (liveA[i]) {
            appendPaired(out, a.x[i], a.y[i], a.size[i], familyA);
            liveA[i] = 0;
        }
        if (liveB[j]) {
            appendPaired(out, b.x[j], b.y[j], b.size[j], familyB);
            liveB[j] = 0;
        }
    };
    if (ordered) {
        // B comes line by line, so the partners of an A hit lie in one stretch of B's order:
        // a partner's key differs by at most the x tolerance (straight) or twice the larger
        // tolerance (diagonal), and its y by at most the larger tolerance. Both reaches are taken
        // a little wider, so that no rounding loses a partner; on each line of the stretch only
        // the hits within the y reach are tested, in B's order.
        int* lineEnd = pairing.lineEndB.data();
        for (int j = countB - 1; j >= 0; --j) lineEnd[j] = j + 1 < countB && keyB[j + 1] == keyB[j] ? lineEnd[j + 1] : j + 1;
        for (int i = 0; i < countA; ++i) {
            const float ta = rule.tolerance(a.size[i]);
            const float reach = (diagonal ? 2.0f * std::max(ta, largestB) : ta) * 1.001f + 1.0f;
            const float reachY = (diagonal ? std::max(ta, largestB) : largestB) * 1.001f + 1.0f;
            const float key = pairingKey(diagonal, a.x[i], a.y[i]);
            int j = static_cast<int>(std::lower_bound(keyB, keyB + countB, key - reach) - keyB);
            while (j < countB && keyB[j] <= key + reach) {
                const int end = lineEnd[j];
                if (linesDescend) j = static_cast<int>(std::lower_bound(b.y + j, b.y + end, a.y[i] - reachY) - b.y);
                for (; j < end && !(linesDescend && b.y[j] > a.y[i] + reachY); ++j) tryPair(i, ta, j);
                j = end;
            }
        }
        return;
    }
    if (static_cast<long>(countA) * countB <= kDirectPairingLimit) {
        for (int i = 0; i < countA; ++i) {
            const float ta = rule.tolerance(a.size[i]);
            for (int j = 0; j < countB; ++j) tryPair(i, ta, j);
        }
        return;
    }
    pairing.grid.build(b, countB);
    for (int i = 0; i < countA; ++i) {
        const float ta = rule.tolerance(a.size[i]);
        // A partner's tolerance is at most 2.5 times ta, and no coordinate may differ by more.
        pairing.grid.near(a.x[i], a.y[i], 2.5f * ta * 1.001f + 1.0f, pairing.nearby);
        for (int j : pairing.nearby) tryPair(i, ta, j);
    }
}

bool ClusterScratch::reserve(int count) {
    const std::size_t n = static_cast<std::size_t>(std::max(count, 0));
    try {
        if (next.size() < n) next.resize(n);
        if (removed.size() < n) removed.resize(n);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool clusterPairedHits(const PairedHits& hits, const ClusterRule& rule, ClusterScratch& scratch,
                       ClusterStatistics& statistics) {
    for (auto& row : statistics) row.fill(0.0f);
    if (!scratch.reserve(hits.count)) return false;
    std::fill_n(scratch.removed.begin(), hits.count, 0);
    ClusterSet clusters(scratch.next, rule.squaredReach);
    for (int h = 0; h < hits.count; ++h) clusters.add(hits, h);
    for (int c = 0; c < kClusters; ++c) {
        if (clusters[c].count == 0) continue;
        statistics[static_cast<std::size_t>(c)] = clusterStatistics(clusters, clusters[c], hits, rule, scratch.removed);
    }
    return true;
}

void selectFinderPatterns(ClusterStatistics& statistics, FinderTable& table) {
    std::array<float, kClusters> sorted{};
    for (int c = 0; c < kClusters; ++c) sorted[static_cast<std::size_t>(c)] = statistics[static_cast<std::size_t>(c)][kFinderScore];
    std::sort(sorted.begin(), sorted.end());
    for (int i = kClusters - 1; i >= kClusters - kFinderPatternsKept; --i) {
        const float s = sorted[static_cast<std::size_t>(i)];
        if (!(s >= kFinderMinScore && s < kMaxScore)) continue;
        for (auto& values : statistics) {
            if (values[kFinderScore] != s) continue;
            const auto column = static_cast<std::size_t>(kClusters - 1 - i);
            for (int v = 0; v < kFinderValues; ++v) table[static_cast<std::size_t>(v)][column] = values[static_cast<std::size_t>(v)];
            values[kFinderScore] = 0.0f;
            break;
        }
    }
}

void listFinderPatterns(int n, const FinderTable& table, FinderList& list) {
    list.count = 0;
    const int columns = std::clamp(n, 0, kFinderTableColumns);
    for (int c = 0; c < columns; ++c) {
        if (table[kFinderScore][static_cast<std::size_t>(c)] >= kFinderMinScore) list.columns[static_cast<std::size_t>(list.count++)] = c;
    }
}

int findFinderPatterns(const uint8_t* const* rows, int height, int width, float ratioBound, float centreTolerance,
                       float pairTolerance, int directions) {
    for (auto& row : state.table) row.fill(0.0f);
    clearCandidateTriple();
    state.list.count = 0;

    if (rows != nullptr && height > 0 && width > 0) {
        // Whether the mask covers anything, and the record of the picture's line changes, are
        // settled once for the search's four scans. A picture recorded earlier in the pass has
        // only been inverted since: its line changes stand.
        const SearchScopeDecision decision(rows, height, width);
        const int maxHits = finderMaxHits(height, width);
        SearchTables t;
        if (!t.allocate(maxHits)) return 0;
        const HitTable a = SearchTables::table(t.a.get(), maxHits), b = SearchTables::table(t.b.get(), maxHits);
        const std::size_t capacity = SearchTables::pairedCapacity(maxHits);
        PairedHits paired{t.paired.get(), t.paired.get() + capacity, t.paired.get() + 2 * capacity, t.family.get(), 0};
        int countA = 0, countB = 0;
        if (directions == 1 || directions == 3) {
            scanRuns(0, countA, &a, maxHits, rows, height, width, ratioBound, centreTolerance);
            scanRunsCrossing(0, countB, &b, maxHits, rows, height, width, ratioBound, centreTolerance);
            pairFinderHits(a, countA, b, countB, false, pairTolerance, paired);
        }
        if (directions == 2 || directions == 3) {
            scanRuns(1, countA, &a, maxHits, rows, height, width, ratioBound, centreTolerance);
            scanRunsCrossing(1, countB, &b, maxHits, rows, height, width, ratioBound, centreTolerance);
            pairFinderHits(a, countA, b, countB, true, pairTolerance, paired);
        }

        ClusterStatistics statistics;
        if (!clusterPairedHits(paired, {kClusterReach, kMaxDensity, 0.0f, 0.0f}, t.clustering, statistics)) return 0;
        selectFinderPatterns(statistics, state.table);
    }

    listFinderPatterns(kFinderPatternsKept, state.table, state.list);
    for (int v = 0; v < 3; ++v) {
        for (int c = 0; c < kFinderPatternsKept; ++c) {
            state.backup[static_cast<std::size_t>(v)][static_cast<std::size_t>(c)] = state.table[static_cast<std::size_t>(v)][static_cast<std::size_t>(c)];
        }
    }
    return 0;
}

}  // namespace velmora
