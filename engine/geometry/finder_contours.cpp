#include "engine/geometry/finder_contours.h"

#include <cmath>
#include <new>

#include <opencv2/imgproc.hpp>

namespace velmora {
namespace {

// Area ratios of a finder's squares: 9, 25 and 49 square modules, with room for perspective,
// blur and the outline tracing the boundary pixels.
constexpr double kMinRingToCentre = 1.4, kMaxRingToCentre = 6.0;
constexpr double kMinOuterToCentre = 2.5, kMaxOuterToCentre = 12.0;
// The smallest middle square that still gives four corners (pixels).
constexpr double kMinCentreArea = 4.0;
// How far an outline may stray from its four-sided approximation, per unit of perimeter.
constexpr double kSideTolerance = 0.05;

using Contour = std::vector<cv::Point>;

// The four corners of a convex four-sided outline, at the centres of its boundary pixels.
bool fourCorners(const Contour& outline, std::array<PointF, 4>& corners) {
    Contour polygon;
    cv::approxPolyDP(outline, polygon, kSideTolerance * cv::arcLength(outline, true), true);
    if (polygon.size() != 4 || !cv::isContourConvex(polygon)) return false;
    for (std::size_t i = 0; i < 4; ++i) {
        corners[i] = {static_cast<float>(polygon[i].x), static_cast<float>(polygon[i].y)};
    }
    return true;
}

// Outlines run through the centres of the boundary's dark pixels: half a pixel inside the edge
// of a dark square, half a pixel outside the edge of a light one.
void moveToPixelEdges(std::array<PointF, 4>& corners, PointF centre, float outward) {
    for (PointF& p : corners) {
        p.x += p.x > centre.x ? outward : -outward;
        p.y += p.y > centre.y ? outward : -outward;
    }
}

// How many outlines enclose outline k: even for the outer edge of a patch of the traced colour,
// odd for the edge of a hole in one.
int depthOf(const std::vector<cv::Vec4i>& tree, int k) {
    int depth = 0;
    for (int up = tree[static_cast<std::size_t>(k)][3]; up >= 0; up = tree[static_cast<std::size_t>(up)][3]) ++depth;
    return depth;
}

// The picture as OpenCV traces it: dark 255, light 0.
cv::Mat tracedPicture(const Raster& binary) {
    cv::Mat traced(binary.height, binary.width, CV_8UC1);
    for (int y = 0; y < binary.height; ++y) {
        const uint8_t* row = binary.rows[y];
        uint8_t* out = traced.ptr<uint8_t>(y);
        for (int x = 0; x < binary.width; ++x) out[x] = row[x] == 0 ? 255 : 0;
    }
    return traced;
}

}  // namespace

FinderOutlines findFinderOutlines(const Raster& binary) {
    FinderOutlines found;
    if (binary.rows == nullptr || binary.height < 7 || binary.width < 7) return found;
    try {
        cv::Mat traced = tracedPicture(binary);
        std::vector<Contour> outlines;
        std::vector<cv::Vec4i> tree;  // next, previous, first child, parent
        cv::findContours(traced, outlines, tree, cv::RETR_TREE, cv::CHAIN_APPROX_SIMPLE);
        // Areas on demand, each once: a hole around many specks would otherwise be measured again
        // for each of them.
        std::vector<double> areas(outlines.size(), -1.0);
        auto areaOf = [&](int c) {
            double& a = areas[static_cast<std::size_t>(c)];
            if (a < 0.0) a = cv::contourArea(outlines[static_cast<std::size_t>(c)]);
            return a;
        };
        for (std::size_t k = 0; k < outlines.size(); ++k) {
            // k outlines a middle square, its parent the square of the other colour around it, and
            // that one's parent the outer square. Dark patterns begin with the outer edge of a dark
            // patch, light ones with the edge of a hole in one; either way every outline runs
            // through dark pixels, so the pixel edges lie on opposite sides for the two.
            const int hole = tree[k][3];
            // A middle square has four corners at least.
            if (hole < 0 || outlines[k].size() < 4) continue;
            const bool light = depthOf(tree, static_cast<int>(k)) % 2 != 0;
            const float outward = light ? -0.5f : 0.5f;
            const double centreArea = areaOf(static_cast<int>(k));
            if (centreArea < kMinCentreArea) continue;
            const double holeArea = areaOf(hole);
            if (holeArea < kMinRingToCentre * centreArea || holeArea > kMaxRingToCentre * centreArea) continue;
            std::array<PointF, 4> centreCorners{}, holeCorners{}, outerCorners{};
            if (!fourCorners(outlines[k], centreCorners) ||
                !fourCorners(outlines[static_cast<std::size_t>(hole)], holeCorners)) {
                continue;
            }
            const cv::Moments m = cv::moments(outlines[k]);
            if (m.m00 <= 0.0) continue;
            FinderOutline f;
            f.centre = {static_cast<float>(m.m10 / m.m00), static_cast<float>(m.m01 / m.m00)};
            const int ring = tree[static_cast<std::size_t>(hole)][3];
            const double outerArea = ring >= 0 ? areaOf(ring) : 0.0;
            if (ring >= 0 && outerArea > kMinOuterToCentre * centreArea && outerArea < kMaxOuterToCentre * centreArea &&
                fourCorners(outlines[static_cast<std::size_t>(ring)], outerCorners)) {
                f.corners = outerCorners;
                moveToPixelEdges(f.corners, f.centre, outward);
                f.side = 7.0f;
                f.moduleSize = static_cast<float>(std::sqrt(outerArea) / 7.0);
            } else {
                f.corners = holeCorners;
                moveToPixelEdges(f.corners, f.centre, -outward);
                f.side = 5.0f;
                f.moduleSize = static_cast<float>(std::sqrt(holeArea) / 5.0);
            }
            (light ? found.light : found.dark).push_back(f);
        }
    } catch (const std::bad_alloc&) {
        found = {};
    } catch (const cv::Exception&) {
        found = {};
    }
    return found;
}

}  // namespace velmora
