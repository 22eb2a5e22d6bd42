// Pictures of our own symbols for the attempt suites, with the geometry they were drawn with,
// and the request state that the decode driver would have set up around a pass.
#pragma once

#include <array>
#include <cmath>
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/decode/decoded_symbols.h"
#include "engine/codec/qr_decoder.h"
#include "engine/codec/segment_parser.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/symbol_attempts.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/geometry/symbol_frame.h"
#include "engine/image/raster.h"
#include "engine/velmora_engine.h"
#include "tests/geometry/test_symbols.h"

namespace velmora::test {

// What the decode driver sets up before a pass: wanted count and conversion, the sampling view
// over the reader's buffer, an empty mask of the picture's size, no boxes, the enlargement,
// the angle limits and mode indicators, and an empty decode record.
class RequestSetUp {
public:
    RequestSetUp(int height, int width, int wanted = 1, bool convert = false, float enlargement = 1.0f)
        : wanted_(wanted), convert_(convert) {
        setAngleThresholds(kAcuteAngleLimit, kObtuseAngleLimit);
        view_ = viewBufferAsRaster(processDecoder().sampledCopy(), 177, 177, 177);
        setModuleMatrixView(view_);
        mask_ = createRaster(height, width, kRasterByte);
        for (int y = 0; y < height; ++y) std::fill(mask_->rows[y], mask_->rows[y] + width, uint8_t{0});
        setDecodedAreaMask(mask_);
        clearFinderExclusionBoxes();
        setEnlargement(enlargement != 1.0f, enlargement);
        decodedSymbols().begin(wanted_);
        processDecoder().setColourInverse(0);
        beginDecodeRequest(wanted_, convert_);
    }
    ~RequestSetUp() {
        setModuleMatrixView(nullptr);
        releaseRasterView(view_);
        setDecodedAreaMask(nullptr);
        destroyRaster(mask_);
        setEnlargement(false, 1.0f);
    }
    RequestSetUp(const RequestSetUp&) = delete;
    RequestSetUp& operator=(const RequestSetUp&) = delete;

    Raster* mask() const { return mask_; }
    // Starts the clock again, so that a slow search before the loops does not eat the budget.
    void restartClock() const { beginDecodeRequest(wanted_, convert_); }

private:
    int wanted_;
    bool convert_;
    Raster* view_ = nullptr;
    Raster* mask_ = nullptr;
};

// The modules of an encoded symbol (255 light, 0 dark) with what the encoder chose.
struct EncodedSymbol {
    cv::Mat modules;
    std::string text;
    int version = 0;
    int level = 0;
    int mask = -1;
};

inline EncodedSymbol encodeSymbol(const std::string& text, int version, int level = 1, int mask = -1) {
    EncodedSymbol e;
    e.text = text;
    e.version = version;
    e.level = level;
    e.mask = mask;
    if (QR_Encode_Matrix(level, &e.version, 1, &e.mask, text.data(), static_cast<int>(text.size()), nullptr) != 1) {
        return {};
    }
    const int n = g_QrEncodedData.iEncoded_WH;
    e.modules.create(n, n, CV_8UC1);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) e.modules.at<uint8_t>(r, c) = g_QrEncodedData.byEncoded_Data[r][c] ? 255 : 0;
    }
    return e;
}

// A text that fills most of a version at level M, different for every version.
inline std::string textFor(int version) {
    const int capacity = VersionTable[version].dataCodewords[1];
    std::string text(1, 'v');
    text += std::to_string(version);
    text += ':';
    for (int i = 0; static_cast<int>(text.size()) < capacity - 3 - 3; ++i) text += static_cast<char>('a' + (i * 7 + version) % 26);
    return text;
}

inline constexpr int kQuiet = 4;

// Under the address sanitizer the reader runs ten to twenty times slower, and a triple loop over
// a large symbol with many look-alike finders in its data would outlast a request's budget. The
// sweeps then visit every third version and draw symbols of version 16 and above at 5 pixels per
// module at most.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitizedBuild = true;
#else
inline constexpr bool kSanitizedBuild = false;
#endif

inline int sweepStep() { return kSanitizedBuild ? 3 : 1; }

inline int largestScale(int version) {
    if (kSanitizedBuild && version >= 16) return 5;
    return version >= 20 ? 6 : 8;
}

// A symbol drawn through a transform, and where its parts went.
struct PlacedSymbol {
    EncodedSymbol symbol;
    cv::Mat grey;
    cv::Matx33d transform;
    int scale = 0;
    bool mirrored = false;

    int n() const { return symbol.modules.rows; }
    // The picture point (pixel-centre coordinates) of module coordinates (c, r), module centres
    // at integers.
    cv::Point2f moduleToPicture(double c, double r) const {
        const cv::Vec3d p = transform * cv::Vec3d((c + kQuiet + 0.5) * scale - 0.5, (r + kQuiet + 0.5) * scale - 0.5, 1.0);
        return {static_cast<float>(p[0] / p[2]), static_cast<float>(p[1] / p[2])};
    }
    // The outer corners in pixel-edge coordinates, in the reader's frame order: the corner
    // finder's, then along the first edge, the second edge, and the far corner. A mirror image
    // swaps the two edges.
    std::array<cv::Point2f, 4> frameCorners() const {
        const double e = -0.5, f = n() - 0.5;
        std::array<cv::Point2f, 4> c = {moduleToPicture(e, e), moduleToPicture(f, e), moduleToPicture(e, f),
                                        moduleToPicture(f, f)};
        if (mirrored) std::swap(c[1], c[2]);
        for (auto& p : c) p += cv::Point2f(0.5f, 0.5f);
        return c;
    }
    // Finder centres in the reader's frame order.
    std::array<cv::Point2f, 3> frameFinders() const {
        const double m = n() - 4;
        std::array<cv::Point2f, 3> c = {moduleToPicture(3, 3), moduleToPicture(m, 3), moduleToPicture(3, m)};
        if (mirrored) std::swap(c[1], c[2]);
        return c;
    }
};

// The side of the upright drawing of a symbol with its quiet zone.
inline int drawingSide(int n, int scale) { return (n + 2 * kQuiet) * scale; }

// The symbol turned by degrees (optionally mirrored first) in the middle of a square picture
// with a margin of `margin` pixels around the turned drawing.
inline PlacedSymbol placeRotated(const EncodedSymbol& symbol, int scale, double degrees, bool mirrored, int margin = 10,
                                 bool inverted = false) {
    PlacedSymbol placed;
    placed.symbol = symbol;
    placed.scale = scale;
    placed.mirrored = mirrored;
    const int side = drawingSide(symbol.modules.rows, scale);
    const double a = degrees * CV_PI / 180.0;
    const int out = static_cast<int>(std::ceil(side * (std::fabs(std::cos(a)) + std::fabs(std::sin(a))))) + 2 * margin;
    placed.transform = rotationAbout(degrees, side, out, mirrored);
    placed.grey = drawSymbol(symbol.modules, scale, placed.transform, cv::Size(out, out), inverted).grey;
    return placed;
}

// The symbol under a perspective: the drawing's corners go to a square of the drawing's size
// whose corners are moved inward by the given fractions of the side (top-left, top-right,
// bottom-right, bottom-left, each x then y).
inline PlacedSymbol placeInPerspective(const EncodedSymbol& symbol, int scale, const std::array<float, 8>& pull,
                                       int margin = 10) {
    PlacedSymbol placed;
    placed.symbol = symbol;
    placed.scale = scale;
    const int side = drawingSide(symbol.modules.rows, scale);
    const float s = static_cast<float>(side - 1), m = static_cast<float>(margin);
    const cv::Point2f from[4] = {{0, 0}, {s, 0}, {s, s}, {0, s}};
    const cv::Point2f to[4] = {{m + pull[0] * s, m + pull[1] * s},
                               {m + s - pull[2] * s, m + pull[3] * s},
                               {m + s - pull[4] * s, m + s - pull[5] * s},
                               {m + pull[6] * s, m + s - pull[7] * s}};
    const cv::Mat h = cv::getPerspectiveTransform(from, to);
    placed.transform = cv::Matx33d(h);
    const int out = side + 2 * margin;
    placed.grey = drawSymbol(symbol.modules, scale, placed.transform, cv::Size(out, out)).grey;
    return placed;
}

// Inward pulls (fractions of the side, the order of placeInPerspective) that shorten one side
// of the drawing: 0 top, 1 right, 2 bottom, 3 left, as a camera tilted towards that side sees it.
inline std::array<float, 8> keystone(int shorterSide, float a) {
    switch (shorterSide % 4) {
        case 0: return {a, 0, a, 0, 0, 0, 0, 0};
        case 1: return {0, 0, 0, a, 0, a, 0, 0};
        case 2: return {0, 0, 0, 0, a, 0, a, 0};
        default: return {0, a, 0, 0, 0, 0, 0, a};
    }
}

// The symbol's drawing put under the perspective of the pulls, then (optionally mirrored and)
// turned by degrees in the middle of a square picture with a margin around it.
inline PlacedSymbol placeTurnedInPerspective(const EncodedSymbol& symbol, int scale, double degrees, bool mirrored,
                                             const std::array<float, 8>& pull, int margin = 10) {
    PlacedSymbol placed;
    placed.symbol = symbol;
    placed.scale = scale;
    placed.mirrored = mirrored;
    const int side = drawingSide(symbol.modules.rows, scale);
    const float s = static_cast<float>(side - 1);
    const cv::Point2f from[4] = {{0, 0}, {s, 0}, {s, s}, {0, s}};
    const cv::Point2f to[4] = {{pull[0] * s, pull[1] * s},
                               {s - pull[2] * s, pull[3] * s},
                               {s - pull[4] * s, s - pull[5] * s},
                               {pull[6] * s, s - pull[7] * s}};
    const cv::Matx33d tilt(cv::getPerspectiveTransform(from, to));
    const double a = degrees * CV_PI / 180.0;
    const int out = static_cast<int>(std::ceil(side * (std::fabs(std::cos(a)) + std::fabs(std::sin(a))))) + 2 * margin;
    placed.transform = rotationAbout(degrees, side, out, mirrored) * tilt;
    placed.grey = drawSymbol(symbol.modules, scale, placed.transform, cv::Size(out, out)).grey;
    return placed;
}

// Searches the binary picture for finders and frames the candidate triple made of the three
// finder centres given in frame order (within two pixels). False when there is none.
inline bool frameTripleAt(OwnedRaster& binary, const std::array<cv::Point2f, 3>& finders) {
    findFinderPatterns(binary.rows(), binary.height(), binary.width(), 2.2f, 0.85f, 1.65f, 3);
    if (buildTriples() != 1) return false;
    int cursor = -1;
    while (nextTriple(cursor) == 1) {
        if (buildSymbolFrame(framePoints()) != 1) continue;
        bool own = true;
        for (int role = 0; role < 3; ++role) {
            const PointF p = frameCorners()[static_cast<std::size_t>(role)].point;
            own = own && std::hypot(p.x - finders[static_cast<std::size_t>(role)].x,
                                    p.y - finders[static_cast<std::size_t>(role)].y) <= 2.0f;
        }
        if (own) return true;
    }
    return false;
}

// Frames the candidate triple made of the placed symbol's own three finders.
inline bool frameTrueTriple(OwnedRaster& binary, const PlacedSymbol& placed) {
    return frameTripleAt(binary, placed.frameFinders());
}

// Runs the finder search on the binary picture and then the triple loop, as a pass does.
inline int searchAndTryTriples(const RequestSetUp& request, OwnedRaster& binary, int convert = 0) {
    findFinderPatterns(binary.rows(), binary.height(), binary.width(), 2.2f, 0.85f, 1.65f, 3);
    request.restartClock();
    return tryFinderTriples(binary.rows(), binary.height(), binary.width(), convert);
}

// The text of entry k of the decode record.
inline std::string recordedText(int k) {
    return std::string(decodedEntry(k).sParseStr.data(), static_cast<std::size_t>(decodedEntry(k).nParseStrLen));
}

// Distances between the recorded corners of entry k and the expected ones.
inline std::array<float, 4> cornerErrors(int k, const std::array<cv::Point2f, 4>& expected) {
    std::array<float, 4> errors{};
    for (int i = 0; i < 4; ++i) {
        const float dx = decodedEntry(k).dXY_4Corners[i] - expected[i].x;
        const float dy = decodedEntry(k).dXY_4Corners[4 + i] - expected[i].y;
        errors[i] = std::hypot(dx, dy);
    }
    return errors;
}

}  // namespace velmora::test
