#include "engine/geometry/perspective_fit.h"

#include <cmath>

#include <opencv2/core.hpp>

namespace velmora {

int fitPerspective(std::span<const PointF> source, std::span<const PointF> destination,
                   PerspectiveCoefficients& coefficients) {
    const std::size_t n = source.size();
    if (n < 4 || destination.size() != n) return -1;
    // Two rows per pair of u = (h0 x + h1 y + h2) / (h6 x + h7 y + 1), likewise v.
    cv::Mat a(static_cast<int>(2 * n), 8, CV_64F, cv::Scalar(0.0));
    cv::Mat b(static_cast<int>(2 * n), 1, CV_64F);
    for (std::size_t i = 0; i < n; ++i) {
        const double x = source[i].x, y = source[i].y, u = destination[i].x, v = destination[i].y;
        double* ru = a.ptr<double>(static_cast<int>(2 * i));
        double* rv = a.ptr<double>(static_cast<int>(2 * i + 1));
        ru[0] = x, ru[1] = y, ru[2] = 1.0, ru[6] = -u * x, ru[7] = -u * y;
        rv[3] = x, rv[4] = y, rv[5] = 1.0, rv[6] = -v * x, rv[7] = -v * y;
        b.at<double>(static_cast<int>(2 * i)) = u;
        b.at<double>(static_cast<int>(2 * i + 1)) = v;
    }
    cv::Mat h;
    if (!cv::solve(a, b, h, cv::DECOMP_SVD)) return -1;
    for (int i = 0; i < 8; ++i) {
        if (!std::isfinite(h.at<double>(i))) return -1;
    }
    for (int i = 0; i < 8; ++i) coefficients.h[static_cast<std::size_t>(i)] = static_cast<float>(h.at<double>(i));
    coefficients.h[8] = 1.0f;
    return 1;
}

}  // namespace velmora
