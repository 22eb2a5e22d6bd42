// The ornament composer runs on every change of the ornament window's controls, so it must keep
// up with a user's hand: a version 10 symbol at scale 8 over a 1600 x 1200 photograph mixed in,
// and a version 40 symbol at scale 10 alone.
#include <benchmark/benchmark.h>

#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/velmora_engine.h"
#include "ornament/ornament_composer.h"

namespace {

// The symbol of a text long enough for the version, at level M.
C_QrEncodedData symbolOfVersion(int wanted) {
    int version = wanted, mask = -1;
    const std::string text(wanted == 40 ? 2000 : 150, 'a');
    QR_Encode_Matrix(1, &version, 1, &mask, text.c_str(), static_cast<int>(text.size()), nullptr);
    return g_QrEncodedData;
}

// A photograph-like picture: smooth colour fields with texture and edges.
cv::Mat photograph(int width, int height) {
    cv::Mat picture(height, width, CV_8UC3);
    cv::randu(picture, cv::Scalar::all(0), cv::Scalar::all(255));
    cv::GaussianBlur(picture, picture, cv::Size(0, 0), 25);
    cv::normalize(picture, picture, 0, 255, cv::NORM_MINMAX);
    cv::circle(picture, {width / 3, height / 2}, height / 4, cv::Scalar(20, 60, 200), cv::FILLED);
    cv::rectangle(picture, {width / 2, height / 5}, {width - 50, height / 2}, cv::Scalar(240, 230, 210), cv::FILLED);
    return picture;
}

void ComposeVersion10OverPhotograph(benchmark::State& state) {
    const C_QrEncodedData symbol = symbolOfVersion(10);
    const cv::Mat colour = photograph(1600, 1200);
    cv::Mat grey;
    cv::cvtColor(colour, grey, cv::COLOR_BGR2GRAY);
    velmora::OrnamentComposer composer;
    composer.setPicture(colour, grey);
    velmora::OrnamentSettings settings;
    settings.style.scale = 8;
    settings.mixType = velmora::kMixMixture;
    for (auto _ : state) benchmark::DoNotOptimize(composer.Compose(symbol, settings));
    state.SetLabel(std::to_string(composer.canvas().cols) + " x " + std::to_string(composer.canvas().rows));
}
BENCHMARK(ComposeVersion10OverPhotograph)->Unit(benchmark::kMillisecond);

void ComposeVersion40Alone(benchmark::State& state) {
    const C_QrEncodedData symbol = symbolOfVersion(40);
    velmora::OrnamentComposer composer;
    velmora::OrnamentSettings settings;
    settings.style.scale = 10;
    for (auto _ : state) benchmark::DoNotOptimize(composer.Compose(symbol, settings));
    state.SetLabel(std::to_string(composer.canvas().cols) + " x " + std::to_string(composer.canvas().rows));
}
BENCHMARK(ComposeVersion40Alone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
