#include "ornament/shape_mask.h"

#include <algorithm>
#include <opencv2/core.hpp>

#include "ornament/angle_steps.h"
#include "ornament/blend_types.h"

namespace velmora {
namespace {

// Radii step 0.3 pixel and angles 0.2 degree; each point is rounded to its pixel.
constexpr int kAngleStepsPerDegree = 5;

double radiusStep(int k) {
    return k * 3 / 10.0;
}

void plotArc(cv::Mat& mask, double cx, double cy, double r, int fromIndex, int toIndex, uint8_t value) {
    const AngleSteps& angles = angleSteps(kAngleStepsPerDegree);
    for (int a = fromIndex; a <= toIndex; ++a) {
        const int x = static_cast<int>(r * angles.cos[a] + cx + 0.5);
        const int y = static_cast<int>(r * angles.sin[a] + cy + 0.5);
        if (x >= 0 && x < mask.cols && y >= 0 && y < mask.rows) mask.at<uint8_t>(y, x) = value;
    }
}

void drawDisc(cv::Mat& mask) {
    const DiscGeometry disc = discGeometry(mask.cols, mask.rows);
    const int lastAngle = 360 * kAngleStepsPerDegree - 1;  // below 360 degrees
    for (int k = 0; radiusStep(k) <= disc.radius; ++k)
        plotArc(mask, disc.cx, disc.cy, radiusStep(k), 0, lastAngle, kInsideShape);
}

void cutCorners(cv::Mat& mask) {
    const double r0 = cornerRadius(mask.cols, mask.rows);
    for (int corner = 0; corner < 4; ++corner) {
        const CornerArc arc = cornerArc(corner, mask.cols, mask.rows);
        for (int k = 0; r0 + radiusStep(k) <= 1.414 * r0; ++k)
            plotArc(mask, arc.cx, arc.cy, r0 + radiusStep(k), arc.fromDegree * kAngleStepsPerDegree,
                    arc.toDegree * kAngleStepsPerDegree, kOutsideShape);
    }
}

}  // namespace

DiscGeometry discGeometry(int width, int height) {
    return {0.5 * std::min(width, height), (width - 1) / 2.0, (height - 1) / 2.0};
}

double cornerRadius(int width, int height) {
    return 0.125 * std::min(width, height);
}

CornerArc cornerArc(int corner, int width, int height) {
    const double r0 = cornerRadius(width, height);
    switch (corner) {
    case 0: return {r0, r0, 180, 270};
    case 1: return {width - r0, r0, 270, 360};
    case 2: return {r0, height - r0, 90, 180};
    default: return {width - r0, height - r0, 0, 90};
    }
}

cv::Mat ShapeMask(int shape, int width, int height) {
    cv::Mat mask;
    if (width <= 0 || height <= 0) return mask;
    mask.create(height, width, CV_8UC1);
    switch (shape) {
    case kShapeRound:
        mask.setTo(kOutsideShape);
        drawDisc(mask);
        break;
    case kShapeRoundRect:
        mask.setTo(kInsideShape);
        cutCorners(mask);
        break;
    default: mask.setTo(kInsideShape); break;
    }
    return mask;
}

}  // namespace velmora
