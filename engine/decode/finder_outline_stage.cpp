#include "engine/decode/finder_outline_stage.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/reduced_copy_stage.h"
#include "engine/decode/stage_search.h"
#include "engine/decode/symbol_record.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/perspective_fit.h"
#include "engine/image/binarization.h"
#include "engine/image/local_threshold.h"
#include "engine/image/mean_threshold.h"
#include "engine/velmora_engine.h"

namespace velmora {
namespace {

// Three patterns of one symbol: module sizes within a factor of two, the two sides from the
// corner pattern within a factor of two of each other and not nearer to parallel than this
// cosine allows (a strong perspective narrows the angle).
constexpr float kMaxModuleSizeRatio = 2.0f;
constexpr float kMaxSideRatio = 2.0f;
constexpr float kMaxSideCosine = 0.6f;
// Versions tried around the one the distances suggest, nearest first.
constexpr std::array<int, 5> kVersionSteps = {0, -1, 1, -2, 2};
// The largest picture searched whole.
constexpr int kLargestWhole = 2048;
// Modules of the 5 x 5 alignment pattern that must match where it is taken to lie, and how many
// times its centre counts against the twelve finder corners when the plane is fitted again.
constexpr int kAlignmentMatches = 22;
constexpr int kAlignmentWeight = 4;
// The reader's matrix holds column x from byte x * 177 on.
constexpr int kMatrixStride = 177;

PointF minus(PointF a, PointF b) { return {a.x - b.x, a.y - b.y}; }
float dot(PointF a, PointF b) { return a.x * b.x + a.y * b.y; }
float length(PointF a) { return std::hypot(a.x, a.y); }
float cross(PointF a, PointF b) { return a.x * b.y - a.y * b.x; }

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
    const int k = g_QrDecodedData.nParsedNums;
    if (k < 0 || k >= kRecordEntries) return;
    const float lo = -0.5f, hi = static_cast<float>(n) - 0.5f, near = 3.0f, far = static_cast<float>(n - 4);
    const std::array<PointF, 4> corners = {toCaller(plane, lo, lo, factor), toCaller(plane, hi, lo, factor),
                                           toCaller(plane, lo, hi, factor), toCaller(plane, hi, hi, factor)};
    C_QrDecodedData& record = g_QrDecodedData;
    for (std::size_t i = 0; i < 4; ++i) {
        record.dXY_4Corners[k][i] = corners[i].x;
        record.dXY_4Corners[k][4 + i] = corners[i].y;
    }
    const PointF fourth = toCaller(plane, far, far, factor);
    record.dXY_FP[k][3] = fourth.x;
    record.dXY_FP[k][7] = fourth.y;
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

// Samples the plane's modules and reads them as a symbol of the version.
bool readThrough(const Raster& binary, const PerspectiveCoefficients& plane, int n, int version, bool lightFinders) {
    CQR_Decoder& reader = processDecoder();
    return sampleModules(binary, plane, n, lightFinders, reader) && reader.ReadSymbol(n, version) >= 0;
}

// Tries a, b and c as the corners of a symbol at the suggested version and its neighbours.
// True when one read and was recorded.
bool readTriple(const Raster& binary, const FinderOutline& a, const FinderOutline& b, const FinderOutline& c,
                bool lightFinders, int factor) {
    CQR_Decoder& reader = processDecoder();
    const int suggested = versionByOutlines(a, b, c);
    for (const int step : kVersionSteps) {
        const int version = suggested + step;
        if (version < kMinVersion || version > kMaxVersion) continue;
        const int n = symbolSizeOf(version);
        PerspectiveCoefficients plane{};
        if (!frameByOutlines(a, b, c, n, plane)) continue;
        reader.setColourInverse(lightFinders ? 1 : 0);
        if (readThrough(binary, plane, n, version, lightFinders)) {
            recordFramed(plane, n, factor);
            return true;
        }
        // Under a perspective or a bend the far corner strays most: the alignment pattern there,
        // where the symbol has one, pins it.
        PointF shift{};
        if (version < 2 || !findAlignmentShift(binary, plane, n, lightFinders, shift)) continue;
        PointF alignment{};
        const float centre = static_cast<float>(n - 7);
        if (mapPoint({centre + shift.x, centre + shift.y}, alignment, plane) != 1) continue;
        PerspectiveCoefficients pinned{};
        if (!frameByOutlines(a, b, c, n, pinned, &alignment)) continue;
        if (readThrough(binary, pinned, n, version, lightFinders)) {
            recordFramed(pinned, n, factor);
            return true;
        }
    }
    return false;
}

// Every corner pattern with every pair of others, until a read; true when one was recorded.
bool readSomeTriple(const Raster& binary, const std::vector<FinderOutline>& outlines, bool lightFinders, int factor) {
    const std::size_t count = outlines.size();
    for (std::size_t i = 0; i < count; ++i) {
        for (std::size_t j = 0; j < count; ++j) {
            for (std::size_t k = j + 1; k < count; ++k) {
                if (i == j || i == k) continue;
                if (budgetSpent()) return false;
                const FinderOutline* b = &outlines[j];
                const FinderOutline* c = &outlines[k];
                // The first side turns into the second the way a symbol seen from the front
                // does; a mirrored symbol is read as such by the reader.
                if (cross(minus(b->centre, outlines[i].centre), minus(c->centre, outlines[i].centre)) < 0.0f) {
                    std::swap(b, c);
                }
                if (readTriple(binary, outlines[i], *b, *c, lightFinders, factor)) return true;
            }
        }
    }
    return false;
}

// Searches one binary picture both ways round until nothing more reads there.
void searchBinary(const Raster& binary, int factor) {
    for (const bool lightFinders : {false, true}) {
        while (requestOpen()) {
            const std::vector<FinderOutline> outlines = unreadOutlines(findFinderOutlines(binary, lightFinders), factor);
            if (outlines.size() < 3 || !readSomeTriple(binary, outlines, lightFinders, factor)) break;
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

bool frameByOutlines(const FinderOutline& a, const FinderOutline& b, const FinderOutline& c, int n,
                     PerspectiveCoefficients& moduleToPicture, const PointF* alignment) {
    const float sizes[3] = {a.moduleSize, b.moduleSize, c.moduleSize};
    const float largest = *std::max_element(sizes, sizes + 3), smallest = *std::min_element(sizes, sizes + 3);
    if (!(smallest > 0.0f) || largest > kMaxModuleSizeRatio * smallest) return false;
    const PointF ab = minus(b.centre, a.centre), ac = minus(c.centre, a.centre);
    const float lab = length(ab), lac = length(ac);
    if (!(lab > 0.0f && lac > 0.0f) || std::max(lab, lac) > kMaxSideRatio * std::min(lab, lac)) return false;
    if (std::fabs(dot(ab, ac)) > kMaxSideCosine * lab * lac) return false;
    const PointF along{ab.x / lab, ab.y / lab}, down{ac.x / lac, ac.y / lac};
    const float shift = static_cast<float>(n - 7);
    std::array<PointF, 12 + kAlignmentWeight> modulePoints{}, picturePoints{};
    const std::array<const FinderOutline*, 3> patterns = {&a, &b, &c};
    const std::array<PointF, 3> offsets = {{{0.0f, 0.0f}, {shift, 0.0f}, {0.0f, shift}}};
    for (std::size_t p = 0; p < 3; ++p) {
        const std::array<PointF, 4> ordered = cornersInModuleOrder(*patterns[p], along, down);
        // The pattern's centre is module (3, 3) of its corner; the square's corners lie half its side
        // around it.
        const float h = patterns[p]->side * 0.5f;
        const std::array<PointF, 4> square = {{{3.0f - h, 3.0f - h}, {3.0f + h, 3.0f - h}, {3.0f + h, 3.0f + h},
                                               {3.0f - h, 3.0f + h}}};
        for (std::size_t i = 0; i < 4; ++i) {
            modulePoints[p * 4 + i] = {square[i].x + offsets[p].x, square[i].y + offsets[p].y};
            picturePoints[p * 4 + i] = ordered[i];
        }
    }
    std::size_t count = 12;
    for (int w = 0; alignment != nullptr && w < kAlignmentWeight; ++w, ++count) {
        modulePoints[count] = {shift, shift};  // the alignment centre lies as far in as B and C
        picturePoints[count] = *alignment;
    }
    return fitPerspective(std::span(modulePoints).first(count), std::span(picturePoints).first(count), moduleToPicture) ==
           1;
}

std::vector<int> outlineSearchFactors(int width, int height) {
    std::vector<int> factors;
    if (std::max(width, height) <= kLargestWhole) factors.push_back(1);
    for (const int f : reductionFactors(width, height)) factors.push_back(f);
    return factors;
}

void searchFinderOutlines(const Raster& grey, int factor) {
    StageRaster binary(grey.height, grey.width);
    if (binary.get() == nullptr) return;
    ThresholdTable thresholds{};
    if (binarizeBlocks(0, binary.get()->rows, grey.rows, grey.width, grey.height, grey.width, grey.height,
                       thresholds) == 0) {
        searchBinary(*binary.get(), factor);
    }
    if (requestOpen() && binarizeLocally(grey, *binary.get()) == 1) searchBinary(*binary.get(), factor);
    if (requestOpen() &&
        binarizeAgainstLocalMean(grey, *binary.get(), meanThresholdWindow(grey.width, grey.height)) == 1) {
        searchBinary(*binary.get(), factor);
    }
}

}  // namespace velmora
