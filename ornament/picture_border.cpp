#include "ornament/picture_border.h"

#include <opencv2/core.hpp>

#include "ornament/angle_steps.h"
#include "ornament/shape_mask.h"

namespace velmora {
namespace {

// Writes one grey point of the frame, in picture coordinates.
class FramePen {
public:
    FramePen(cv::Mat& canvas, const PixelRect& rect) : canvas_(canvas), rect_(rect) {}

    void plot(int x, int y, uint8_t grey) const {
        if (x < 0 || x >= rect_.width() || y < 0 || y >= rect_.height()) return;
        const int cx = rect_.left + x, cy = rect_.top + y;
        if (cx < 0 || cx >= canvas_.cols || cy < 0 || cy >= canvas_.rows) return;
        uint8_t* pixel = canvas_.ptr<uint8_t>(cy) + 3 * cx;
        pixel[0] = pixel[1] = pixel[2] = grey;
    }

    // The points of the arc of radius r about (cx, cy) at the table's steps fromIndex..toIndex.
    void arc(double cx, double cy, double r, const AngleSteps& angles, int fromIndex, int toIndex, uint8_t grey) const {
        for (int a = fromIndex; a <= toIndex; ++a)
            plot(static_cast<int>(r * angles.cos[a] + cx + 0.5), static_cast<int>(r * angles.sin[a] + cy + 0.5), grey);
    }

private:
    cv::Mat& canvas_;
    const PixelRect& rect_;
};

void drawRings(const FramePen& pen, int width, int height, const std::array<uint8_t, 3>& colours) {
    const DiscGeometry disc = discGeometry(width, height);
    const AngleSteps& angles = angleSteps(20);  // 0.05 degree
    const int lastAngle = 360 * 20 - 1;
    for (int k = 0; k < 3; ++k) pen.arc(disc.cx, disc.cy, disc.radius - 2 + k, angles, 0, lastAngle, colours[k]);
}

void drawRoundedFrame(const FramePen& pen, const cv::Mat& shapeMask, const std::array<uint8_t, 3>& colours) {
    const int w = shapeMask.cols, h = shapeMask.rows;
    const double r0 = cornerRadius(w, h);
    const AngleSteps& angles = angleSteps(100);  // 0.01 degree
    for (int corner = 0; corner < 4; ++corner) {
        const CornerArc arc = cornerArc(corner, w, h);
        for (int k = 0; k < 3; ++k)
            pen.arc(arc.cx, arc.cy, r0 - 2 + k, angles, arc.fromDegree * 100, arc.toDegree * 100, colours[k]);
    }
    auto inside = [&](int x, int y) {
        return x >= 0 && x < w && y >= 0 && y < h && shapeMask.at<uint8_t>(y, x) == kInsideShape;
    };
    // Along the straight edges the three outer columns and rows on each side, where the shape
    // holds them, in the order of their index (the outer two bands share one colour).
    for (int y = 0; y < h; ++y)
        for (int k = 0; k < 3; ++k) {
            if (inside(k, y)) pen.plot(k, y, colours[k]);
            if (inside(w - 3 + k, y)) pen.plot(w - 3 + k, y, colours[k]);
        }
    for (int x = 0; x < w; ++x)
        for (int k = 0; k < 3; ++k) {
            if (inside(x, k)) pen.plot(x, k, colours[k]);
            if (inside(x, h - 3 + k)) pen.plot(x, h - 3 + k, colours[k]);
        }
}

void drawRectangles(const FramePen& pen, int width, int height, const std::array<uint8_t, 3>& colours) {
    for (int k = 0; k < 3; ++k) {
        for (int y = k; y <= height - 1 - k; ++y) {
            pen.plot(k, y, colours[k]);
            pen.plot(width - 1 - k, y, colours[k]);
        }
        for (int x = k; x <= width - 1 - k; ++x) {
            pen.plot(x, k, colours[k]);
            pen.plot(x, height - 1 - k, colours[k]);
        }
    }
}

}  // namespace

std::array<uint8_t, 3> borderColours(int lightLevel, int threshold) {
    const auto outer = static_cast<uint8_t>((lightLevel + threshold) / 2);
    return {outer, static_cast<uint8_t>(lightLevel), outer};
}

void DrawPictureBorder(cv::Mat& canvas, const PixelRect& rect, const cv::Mat& shapeMask, int shape,
                       const std::array<uint8_t, 3>& colours) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    const FramePen pen(canvas, rect);
    switch (shape) {
    case kShapeRound: return drawRings(pen, rect.width(), rect.height(), colours);
    case kShapeRoundRect:
        if (shapeMask.cols != rect.width() || shapeMask.rows != rect.height()) return;
        return drawRoundedFrame(pen, shapeMask, colours);
    default: return drawRectangles(pen, rect.width(), rect.height(), colours);
    }
}

}  // namespace velmora
