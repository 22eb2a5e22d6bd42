#include "engine/decode/symbol_record.h"

#include <langinfo.h>
#include <locale.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <string_view>


#include "codecs/text_encoding.h"
#include "engine/codec/qr_decoder.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/frame_sampling.h"
#include "engine/geometry/alignment_patterns.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/linear_solver.h"
#include "engine/geometry/perspective.h"
#include "engine/geometry/symbol_frame.h"
#include "engine/decode/decoded_symbols.h"

namespace velmora {
namespace {

// Rows, columns and both diagonals.
constexpr int kAllScanDirections = 3;
// How far (in modules) from where the reading transform puts the bottom-right alignment pattern
// a found pattern may lie and still be taken for it. The two modules around the pattern's centre
// are its own rings, so a look-alike centre in the data lies three modules away or more.
constexpr float kAnchorReach = 1.5f;
// How close (in modules) a transform fitted to the finder centres and one alignment pattern puts
// the other found patterns when the symbol lies flat in the picture: about the precision of the
// centres themselves. A bent or creased symbol puts some of them further away, and then a
// pattern missed by a module or two may well be in its place.
constexpr float kFlatReach = 0.5f;

// Reduced to letters and digits in upper case, so that "utf8" and "UTF-8" compare equal.
std::string canonicalCharset(std::string_view name) {
    std::string out;
    for (char ch : name) {
        if (std::isalnum(static_cast<unsigned char>(ch))) out += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    return out;
}

// UTF-8 under any of its spellings.
bool isUtf8Charset(const std::string& name) { return canonicalCharset(name) == "UTF8"; }

// Texts that a 16-bit wide character cannot carry (four-byte sequences) are not converted.
bool fitsSixteenBitCharacters(std::string_view bytes) {
    return std::none_of(bytes.begin(), bytes.end(), [](char ch) { return static_cast<unsigned char>(ch) >= 0xF0; });
}

// Text slot k receives the reader's text, converted when asked and possible, cut to 7089 bytes
// and zero-terminated; its length goes beside it.
void storeText(int k, int convertFlag) {
    CQR_Decoder& reader = processDecoder();
    char* slot = decodedEntry(k).sParseStr.data();
    const std::string converted = convertFlag != 0 ? textInSystemCodePage(reader.text(), reader.textLength()) : std::string();
    int length = 0;
    if (!converted.empty()) {
        length = std::min(static_cast<int>(converted.size()), kMaxRecordedText);
        std::memcpy(slot, converted.data(), static_cast<std::size_t>(length));
    } else {
        reader.capTextLength(kMaxRecordedText);
        length = reader.textLength();
        std::memcpy(slot, reader.text(), static_cast<std::size_t>(length));
    }
    slot[length] = '\0';
    decodedEntry(k).nParseStrLen = length;
}

// The point through the inverse of transform; -1 when it cannot be inverted, -2 when the point
// maps to infinity.
int mapBack(const PerspectiveCoefficients& transform, PointF module, PointF& picture) {
    PerspectiveCoefficients inverse{};
    if (invertMatrix(inverse.h.data(), transform.h.data(), 3, 0) != 1) return -1;
    return mapPoint(module, picture, inverse) == 1 ? 1 : -2;
}

// Sets the mask pixel under every point (j, i) of one row, j from firstColumn up to lastColumn
// (excluded), mapped through the transform as mapPoint maps it.
void markMappedRow(const PerspectiveCoefficients& transform, int i, int firstColumn, int lastColumn,
                   uint8_t* const* maskRows, int width, int height) {
    const float right = static_cast<float>(width), bottom = static_cast<float>(height);
    MappedPoints p;
    for (int j = firstColumn; j < lastColumn; j += 4) {
        mapRowOfFour(transform, static_cast<float>(j), static_cast<float>(i), p);
        const int lanes = std::min(4, lastColumn - j);
        for (int l = 0; l < lanes; ++l) {
            if (p.w[l] == 0.0f) continue;
            // Truncation toward zero: anything above -1 lands on row or column 0.
            if (!(p.x[l] > -1.0f && p.x[l] < right && p.y[l] > -1.0f && p.y[l] < bottom)) continue;
            maskRows[static_cast<int>(p.y[l])][static_cast<int>(p.x[l])] = 1;
        }
    }
}

}  // namespace

const std::string& systemCodePage() {
    static const std::string name = [] {
        locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
        if (locale == static_cast<locale_t>(nullptr)) return std::string("UTF-8");
        std::string codeset = nl_langinfo_l(CODESET, locale);
        freelocale(locale);
        const std::string canonical = canonicalCharset(codeset);
        if (canonical.empty() || canonical == "ANSIX3.41968" || canonical == "ANSIX341968" || canonical == "ASCII" ||
            canonical == "USASCII") {
            return std::string("UTF-8");
        }
        return codeset;
    }();
    return name;
}

std::string textInSystemCodePage(const uint8_t* bytes, int length) {
    if (bytes == nullptr || length <= 0) return {};
    try {
        const std::string_view text(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(length));
        if (!fitsSixteenBitCharacters(text) || !isValidUtf8(text)) return {};
        if (isUtf8Charset(systemCodePage())) return std::string(text);
        TextConversion converted = fromUtf8(text, systemCodePage());
        return converted.ok ? std::move(converted.text) : std::string();
    } catch (...) {
        // A conversion that cannot finish leaves the text as read.
        return {};
    }
}

float backToCaller() { return isEnlarged() ? enlargementReciprocal() : 1.0f; }

void recordSymbol(int k, int convertFlag) {
    if (k < 0 || k >= wantedCount()) return;
    const CandidateTriple& triple = candidateTriple();
    const float back = backToCaller();
    std::array<PointF, 3> finders{};
    for (int j = 0; j < 3; ++j) {
        const auto slot = static_cast<std::size_t>(frameOrder()[static_cast<std::size_t>(j)]);
        finders[static_cast<std::size_t>(j)] = {triple.values[kFinderX][slot] * back, triple.values[kFinderY][slot] * back};
    }
    recordSymbolWithFinders(k, finders, convertFlag);
}

void recordSymbolWithFinders(int k, const std::array<PointF, 3>& finders, int convertFlag) {
    if (k < 0 || k >= wantedCount()) return;
    DecodedEntry& record = decodedEntry(k);
    for (std::size_t j = 0; j < 3; ++j) {
        const PointF p = finders[j];
        record.dXY_FP[j] = p.x;
        record.dXY_FP[4 + j] = p.y;
        appendFinderExclusionBox(p.x, p.y);
    }
    const CQR_Decoder& reader = processDecoder();
    record.nInverseColor = reader.colourInverse();
    record.nMirror = reader.mirrored();
    record.nVersion = reader.version();
    record.nLevel = reader.level();
    record.nMaskingNo = reader.mask();
    storeText(k, convertFlag);
    record.nModes = reader.textMeaning().modes;
    record.nEci = reader.textMeaning().eci;
    decodedSymbols().setCount(k + 1);
}

namespace {

// The outer corners (pixel edges, caller's coordinates) and the would-be fourth finder centre
// of the symbol the reader holds, mapped back through the inverse of a transform per corner.
struct SymbolCorners {
    std::array<PointF, 4> corners{};
    PointF fourthFinder{};
};

// Maps corner i through transforms[i] and the fourth finder centre through transforms[3], in
// that order. From the corner modules' centres the corners move half a module outward along the
// frame's sides, with the module sizes measured at the finders; with `outerEdges` the transforms
// are trusted over the whole symbol and the modules' outer corners are mapped themselves. Returns
// 1, or the failure of the first point that cannot be mapped (-1 a transform cannot be inverted,
// -2 the point maps to infinity); `mapped` then tells how many corners were.
int mapSymbolCorners(const std::array<const PerspectiveCoefficients*, 4>& transforms, bool outerEdges,
                     SymbolCorners& out, int& mapped) {
    const float last = static_cast<float>(processDecoder().size() - 1);
    const float low = outerEdges ? -0.5f : 0.0f, high = outerEdges ? last + 0.5f : last;
    const std::array<PointF, 4> modules = {PointF{low, low}, PointF{high, low}, PointF{low, high}, PointF{high, high}};
    const float back = backToCaller();
    mapped = 0;
    for (int i = 0; i < 4; ++i) {
        PointF p{};
        const int result = mapBack(*transforms[static_cast<std::size_t>(i)], modules[static_cast<std::size_t>(i)], p);
        if (result != 1) return result;
        // Pixel centres to pixel edges, after half a module outward along both sides from the
        // corner module's centre.
        PointF outward{};
        if (!outerEdges) {
            const FrameCorner& f = frameCorners()[static_cast<std::size_t>(i)];
            outward = {(f.e1.x * f.m1 + f.e2.x * f.m2) * 0.5f, (f.e1.y * f.m1 + f.e2.y * f.m2) * 0.5f};
        }
        out.corners[static_cast<std::size_t>(i)] = {(p.x + 0.5f - outward.x) * back, (p.y + 0.5f - outward.y) * back};
        ++mapped;
    }
    PointF fourth{};
    const float finder = last - 3.0f;
    const int result = mapBack(*transforms[3], {finder, finder}, fourth);
    if (result != 1) return result;
    out.fourthFinder = {fourth.x * back, fourth.y * back};
    return 1;
}

// Writes the first `corners` corners and, with `fourthFinder`, finder point 3 into entry k.
void storeSymbolCorners(int k, const SymbolCorners& c, int corners, bool fourthFinder) {
    DecodedEntry& entry = decodedEntry(k);
    for (std::size_t i = 0; i < static_cast<std::size_t>(corners); ++i) {
        entry.dXY_4Corners[i] = c.corners[i].x;
        entry.dXY_4Corners[4 + i] = c.corners[i].y;
    }
    if (!fourthFinder) return;
    entry.dXY_FP[3] = c.fourthFinder.x;
    entry.dXY_FP[7] = c.fourthFinder.y;
}

}  // namespace

int computeSymbolCorners() {
    const int k = decodedCount();
    if (k < 0 || k >= wantedCount()) return -1;
    const auto& t = frameTransforms();
    const bool byGrid = sampledByAlignmentGrid();
    const std::array<const PerspectiveCoefficients*, 4> transforms =
        byGrid ? std::array<const PerspectiveCoefficients*, 4>{&t[0], &t[1], &t[2], &t[3]}
               : std::array<const PerspectiveCoefficients*, 4>{&t[0], &t[0], &t[0], &t[0]};
    SymbolCorners c;
    int mapped = 0;
    const int result = mapSymbolCorners(transforms, false, c, mapped);
    // What could be mapped before a failure is kept.
    storeSymbolCorners(k, c, mapped, result == 1);
    return result;
}

namespace {

// The transform (picture to module) fitted to the three finder centres and a fourth picture point
// at the module point given.
int fitToFinders(PointF picture, PointF module, PerspectiveCoefficients& out) {
    const auto& f = frameCorners();
    const float finder = static_cast<float>(processDecoder().size() - 4);
    const std::array<PointF, 4> picturePoints = {f[kFrameA].point, f[kFrameB].point, f[kFrameC].point, picture};
    const std::array<PointF, 4> modulePoints = {PointF{3.0f, 3.0f}, PointF{finder, 3.0f}, PointF{3.0f, finder},
                                                module};
    return solvePerspective(picturePoints, modulePoints, out);
}

// The transform puts the picture point within `reach` modules of the module point.
bool withinReach(const PerspectiveCoefficients& toModules, PointF picture, PointF module, float reach) {
    PointF inModules{};
    if (mapPoint(picture, inModules, toModules) != 1) return false;
    const float dx = inModules.x - module.x, dy = inModules.y - module.y;
    return dx * dx + dy * dy <= reach * reach;
}

// Searches for the bottom-right alignment pattern, at (N - 7, N - 7) in every version from 2 on,
// around where `reading` puts it, and fits `anchored` to the finder centres and the pattern when
// one is found within reach of that place. False, `anchored` untouched, otherwise.
bool anchorOnFarPattern(const PerspectiveCoefficients& reading, const uint8_t* const* rows, int height, int width,
                        PerspectiveCoefficients& anchored) {
    const float far = static_cast<float>(processDecoder().size() - 7);
    PointF predicted{};
    if (mapBack(reading, {far, far}, predicted) != 1) return false;
    if (!(predicted.x >= 0.0f && predicted.x < static_cast<float>(width) && predicted.y >= 0.0f &&
          predicted.y < static_cast<float>(height))) {
        return false;
    }
    AlignmentCell cell{predicted.x, predicted.y, 0.0f};
    searchAlignment(cell, static_cast<int>(predicted.x), static_cast<int>(predicted.y), rows, height, width, kFrameA,
                    kAllScanDirections);
    if (cell.score < kAlignmentFoundScore) return false;
    // The reading transform put the pattern within a module or so of its place; anything found
    // further away is another dark module of the data, not the pattern.
    if (!withinReach(reading, {cell.x, cell.y}, {far, far}, kAnchorReach)) return false;
    PerspectiveCoefficients fitted{};
    if (fitToFinders({cell.x, cell.y}, {far, far}, fitted) != 1) return false;
    anchored = fitted;
    return true;
}

// Maps the corners and the fourth finder centre through one transform trusted over the whole
// symbol into entry k; false, the entry untouched, when a point cannot be mapped.
bool storeCornersThrough(const PerspectiveCoefficients& transform, int k) {
    SymbolCorners c;
    int mapped = 0;
    if (mapSymbolCorners({&transform, &transform, &transform, &transform}, true, c, mapped) != 1) return false;
    storeSymbolCorners(k, c, 4, true);
    return true;
}

// The transform that sees a grid read's symbol flat: fitted to the finder centres and one found
// alignment pattern, the one that puts the most found patterns within kFlatReach of their modules
// (the first in the sampling's bottom-right-first order on ties). The patterns of the first row
// and column are not fitted to, since they lie nearly in line with two finders, and the
// bottom-right one is left out: it is the one to be judged. False unless a majority of the found
// patterns, and at least two, agree with it so closely.
bool flatView(PerspectiveCoefficients& flat) {
    const int n = alignmentPositionCount();
    const AlignmentGrid& grid = alignmentGrid();
    const AlignmentCoordinates& modules = alignmentCoordinates();
    auto cell = [&](int i, int j) { return grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; };
    auto module = [&](int i, int j) { return modules[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)]; };
    auto witness = [&](int i, int j) {
        const bool corner = (i == 0 || i == n - 1) && (j == 0 || j == n - 1);
        return !corner && cell(i, j).score >= kAlignmentFoundScore;
    };
    int witnesses = 0, most = 0;
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) witnesses += witness(i, j) ? 1 : 0;
    }
    for (int i = n - 1; i >= 1; --i) {
        for (int j = n - 1; j >= 1; --j) {
            if (!witness(i, j)) continue;
            PerspectiveCoefficients fitted{};
            if (fitToFinders({cell(i, j).x, cell(i, j).y}, module(i, j), fitted) != 1) continue;
            int agreeing = 0;
            for (int r = 0; r < n; ++r) {
                for (int c = 0; c < n; ++c) {
                    const PointF at = {cell(r, c).x, cell(r, c).y};
                    if (witness(r, c) && withinReach(fitted, at, module(r, c), kFlatReach)) ++agreeing;
                }
            }
            if (agreeing <= most) continue;
            most = agreeing;
            flat = fitted;
        }
    }
    return most >= 2 && 2 * most > witnesses;
}

// A grid read takes its far corner and fourth finder point through the transform of the
// bottom-right cell, which extrapolates from the bottom-right alignment centre. That centre can
// be a look-alike of the data, found around a prediction that earlier look-alikes along the last
// row or column had already moved; error correction absorbs the modules it displaces and the
// symbol reads, but the corner comes out modules off. When the symbol lies flat and the transform
// that sees it so puts that centre out of reach of its module, the corners come from the pattern
// searched for around where that transform puts it, or, when none is found there (the search
// keeps to the look-alike), from that transform itself.
bool mendGridFarCorner(const uint8_t* const* rows, int height, int width, int k) {
    const int n = alignmentPositionCount();
    PerspectiveCoefficients flat{};
    if (n < 2 || !flatView(flat)) return false;
    const auto last = static_cast<std::size_t>(n - 1);
    const AlignmentCell& far = alignmentGrid()[last][last];
    if (withinReach(flat, {far.x, far.y}, alignmentCoordinates()[last][last], kAnchorReach)) return false;
    PerspectiveCoefficients anchored = flat;
    anchorOnFarPattern(flat, rows, height, width, anchored);
    return storeCornersThrough(anchored, k);
}

}  // namespace

int anchorCornersOnAlignment(const uint8_t* const* rows, int height, int width) {
    const int k = decodedCount();
    const int version = processDecoder().version();
    if (k < 0 || k >= wantedCount() || rows == nullptr || height <= 0 || width <= 0) return 0;
    if (version < 2 || version > kMaxVersion) return 0;
    if (sampledByAlignmentGrid()) return mendGridFarCorner(rows, height, width, k) ? 1 : 0;
    if (lastSampleMode() != kSampleParallelogram && lastSampleMode() != kSamplePerspective) return 0;
    PerspectiveCoefficients anchored{};
    if (!anchorOnFarPattern(frameTransforms()[0], rows, height, width, anchored)) return 0;
    return storeCornersThrough(anchored, k) ? 1 : 0;
}

void markDecodedArea(uint8_t* const* maskRows, int width, int height) {
    const int k = decodedCount() - 1;
    if (maskRows == nullptr || width <= 0 || height <= 0 || k < 0) return;
    const DecodedEntry& record = decodedEntry(k);
    const int n = symbolSizeOf(record.nVersion);
    const float f = isEnlarged() ? enlargementFactor() : 1.0f;
    std::array<PointF, 4> finders{};
    for (int j = 0; j < 4; ++j) finders[static_cast<std::size_t>(j)] = {record.dXY_FP[static_cast<std::size_t>(j)] * f, record.dXY_FP[4 + static_cast<std::size_t>(j)] * f};

    // Module coordinates scaled by twice the mean module sizes: one step is about half a pixel.
    const auto& c = frameCorners();
    const float mu = (c[kFrameA].m1 + c[kFrameB].m1 + c[kFrameC].m1) * 2.0f / 3.0f;
    const float mv = (c[kFrameA].m2 + c[kFrameB].m2 + c[kFrameC].m2) * 2.0f / 3.0f;
    constexpr float kLargest = 1.0e6f;
    if (!(mu > 0.0f && mv > 0.0f && static_cast<float>(n) * mu < kLargest && static_cast<float>(n) * mv < kLargest)) return;
    const float near = 3.0f, far = static_cast<float>(n - 4);
    const std::array<PointF, 4> scaled = {PointF{near * mu, near * mv}, PointF{far * mu, near * mv},
                                          PointF{near * mu, far * mv}, PointF{far * mu, far * mv}};
    PerspectiveCoefficients toPicture{};
    if (solvePerspective(scaled, finders, toPicture) != 1) return;

    const int firstColumn = static_cast<int>(mu), lastColumn = static_cast<int>(static_cast<float>(n - 1) * mu);
    const int firstRow = static_cast<int>(mv), lastRow = static_cast<int>(static_cast<float>(n - 1) * mv);
    for (int i = firstRow; i < lastRow; ++i) markMappedRow(toPicture, i, firstColumn, lastColumn, maskRows, width, height);
    noteDecodedAreaChanged();
}

}  // namespace velmora
