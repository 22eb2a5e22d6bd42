#include "ornament/canvas_grey.h"

#include <array>
#include <opencv2/core.hpp>

namespace velmora {
namespace {

// Each weight is a double whose last bit is worth at most 2^-56, and each product with a byte
// and their sum stay below 256. So the sum, taken in extended precision (64-bit mantissa), is
// exact, and it equals the integer sum of the weights scaled by 2^56 below, whose top byte is
// the truncated grey level.
constexpr double kScale = 72057594037927936.0;  // 2^56
constexpr uint64_t kRedWeight = static_cast<uint64_t>(0.299 * kScale);
constexpr uint64_t kGreenWeight = static_cast<uint64_t>(0.587 * kScale);
constexpr uint64_t kBlueWeight = static_cast<uint64_t>(0.114 * kScale);
static_assert(static_cast<double>(kRedWeight) == 0.299 * kScale, "weight not exact at 2^-56");
static_assert(static_cast<double>(kGreenWeight) == 0.587 * kScale, "weight not exact at 2^-56");
static_assert(static_cast<double>(kBlueWeight) == 0.114 * kScale, "weight not exact at 2^-56");

struct WeightTables {
    std::array<uint64_t, 256> red{}, green{}, blue{};
};

constexpr WeightTables makeWeightTables() {
    WeightTables tables;
    for (uint64_t v = 0; v < 256; ++v) {
        tables.red[v] = kRedWeight * v;
        tables.green[v] = kGreenWeight * v;
        tables.blue[v] = kBlueWeight * v;
    }
    return tables;
}

constexpr WeightTables kWeights = makeWeightTables();

}  // namespace

uint8_t canvasGreyOf(uint8_t blue, uint8_t green, uint8_t red) {
    return static_cast<uint8_t>((kWeights.red[red] + kWeights.green[green] + kWeights.blue[blue]) >> 56);
}

cv::Mat CanvasGrey(const cv::Mat& canvas) {
    cv::Mat grey;
    if (canvas.empty() || canvas.type() != CV_8UC3) return grey;
    grey.create(canvas.rows, canvas.cols, CV_8UC1);
    for (int y = 0; y < canvas.rows; ++y) {
        const uint8_t* in = canvas.ptr<uint8_t>(y);
        uint8_t* out = grey.ptr<uint8_t>(y);
        for (int x = 0; x < canvas.cols; ++x, in += 3) out[x] = canvasGreyOf(in[0], in[1], in[2]);
    }
    return grey;
}

}  // namespace velmora
