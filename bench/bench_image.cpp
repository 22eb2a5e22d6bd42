// Binarisation and finder-pattern search on pictures of 640 x 480, 1920 x 1080 and
// 4000 x 3000 pixels: four symbols from our encoder, turned and scaled, among clutter, on an
// evenly lit ground (kind 0) or on a ground whose shading crosses the global threshold, so that
// camera noise turns a wide band into salt and pepper (kind 1). Reported per pixel.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <utility>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/geometry/finder_patterns.h"
#include "engine/image/binarization.h"
#include "engine/image/raster.h"
#include "engine/velmora_engine.h"

namespace {

using namespace velmora;

cv::Mat encodedModules(const std::string& text, int version) {
    int v = version, mask = -1;
    QR_Encode_Matrix(1, &v, 1, &mask, text.c_str(), static_cast<int>(text.size()), nullptr);
    const int n = g_QrEncodedData.iEncoded_WH;
    cv::Mat modules(n, n, CV_8UC1);
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) modules.at<uint8_t>(r, c) = g_QrEncodedData.byEncoded_Data[r][c] ? 235 : 25;
    }
    return modules;
}

// A grey picture with four symbols, each about a sixth of the shorter side, among rectangles,
// with noise; shaded or evenly lit.
cv::Mat scene(int width, int height, bool shaded) {
    std::mt19937 random(static_cast<unsigned>(width * 31 + height));
    cv::Mat grey(height, width, CV_8UC1);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int ground = shaded ? 60 + 140 * (x + y) / (width + height) : 190 + 30 * x / width;
            grey.at<uint8_t>(y, x) = static_cast<uint8_t>(std::min(ground, 255));
        }
    }
    std::uniform_int_distribution<int> px(0, width - 1), py(0, height - 1), extent(4, std::max(8, width / 40));
    std::uniform_int_distribution<int> dark(20, 80), light(180, 240);
    for (int k = 0; k < 400; ++k) {
        const int shade = k % 2 ? dark(random) : light(random);
        cv::rectangle(grey, cv::Rect(px(random), py(random), extent(random), extent(random)), cv::Scalar(shade),
                      k % 3 == 0 ? cv::FILLED : 1);
    }
    const int symbolSide = std::min(width, height) / 6;
    for (int s = 0; s < 4; ++s) {
        const cv::Mat modules = encodedModules("bench symbol " + std::to_string(s), 2 + 3 * s);
        cv::Mat symbol;
        const int n = modules.rows + 8;
        cv::Mat padded(n, n, CV_8UC1, cv::Scalar(235));
        modules.copyTo(padded(cv::Rect(4, 4, modules.cols, modules.rows)));
        cv::resize(padded, symbol, cv::Size(symbolSide, symbolSide), 0, 0, cv::INTER_NEAREST);
        const cv::Point2f centre(static_cast<float>((s % 2 ? 0.7 : 0.3) * width), static_cast<float>((s / 2 ? 0.7 : 0.3) * height));
        cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(symbolSide / 2.0f, symbolSide / 2.0f), 25.0 * s, 1.0);
        turn.at<double>(0, 2) += centre.x - symbolSide / 2.0;
        turn.at<double>(1, 2) += centre.y - symbolSide / 2.0;
        cv::warpAffine(symbol, grey, turn, grey.size(), cv::INTER_LINEAR, cv::BORDER_TRANSPARENT);
    }
    cv::Mat noise(height, width, CV_16SC1);
    cv::randn(noise, 0, 6);
    cv::Mat wide;
    grey.convertTo(wide, CV_16SC1);
    wide += noise;
    wide.convertTo(grey, CV_8UC1);
    return grey;
}

// Pictures are made once per size and kind and kept for every run.
const cv::Mat& picture(const benchmark::State& state) {
    static std::map<std::tuple<int64_t, int64_t, int64_t>, cv::Mat> pictures;
    const auto key = std::make_tuple(state.range(0), state.range(1), state.range(2));
    auto it = pictures.find(key);
    if (it == pictures.end()) {
        it = pictures.emplace(key, scene(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), state.range(2) != 0)).first;
    }
    return it->second;
}

struct Pass {
    Raster* grey;
    Raster* binary;
    explicit Pass(const cv::Mat& image)
        : grey(viewImageAsRaster(&image)), binary(createRaster(image.rows, image.cols, kRasterByte)) {}
    ~Pass() {
        releaseRasterView(grey);
        destroyRaster(binary);
    }
};

void reportPerPixel(benchmark::State& state, const cv::Mat& image) {
    const double pixels = static_cast<double>(image.rows) * image.cols;
    // Seconds per pixel, shown with an SI prefix (n for nanoseconds).
    state.counters["per_pixel"] =
        benchmark::Counter(pixels, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["patterns"] = finderList().count;
}

void BinarizeAndFindFinderPatterns(benchmark::State& state) {
    const cv::Mat& image = picture(state);
    Pass pass(image);
    for (auto _ : state) {
        binarizeBlocks(0, pass.binary->rows, pass.grey->rows, image.cols, image.rows, image.cols, image.rows);
        findFinderPatterns(pass.binary->rows, image.rows, image.cols, 2.2f, 0.85f, 1.65f, 3);
        benchmark::DoNotOptimize(finderTable());
    }
    reportPerPixel(state, image);
}

void BinarizeOnly(benchmark::State& state) {
    const cv::Mat& image = picture(state);
    Pass pass(image);
    for (auto _ : state) {
        binarizeBlocks(0, pass.binary->rows, pass.grey->rows, image.cols, image.rows, image.cols, image.rows);
        benchmark::DoNotOptimize(pass.binary->rows[0][0]);
    }
    reportPerPixel(state, image);
}

void FindFinderPatternsOnly(benchmark::State& state) {
    const cv::Mat& image = picture(state);
    Pass pass(image);
    binarizeBlocks(0, pass.binary->rows, pass.grey->rows, image.cols, image.rows, image.cols, image.rows);
    for (auto _ : state) {
        findFinderPatterns(pass.binary->rows, image.rows, image.cols, 2.2f, 0.85f, 1.65f, 3);
        benchmark::DoNotOptimize(finderTable());
    }
    reportPerPixel(state, image);
}

void pictureSizes(benchmark::internal::Benchmark* b) {
    for (int shaded : {0, 1}) {
        b->Args({640, 480, shaded})->Args({1920, 1080, shaded})->Args({4000, 3000, shaded});
    }
    b->ArgNames({"width", "height", "shaded"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BinarizeAndFindFinderPatterns)->Apply(pictureSizes);
BENCHMARK(BinarizeOnly)->Apply(pictureSizes);
BENCHMARK(FindFinderPatternsOnly)->Apply(pictureSizes);

}  // namespace

BENCHMARK_MAIN();
