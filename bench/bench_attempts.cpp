// Time of one triple loop (tryFinderTriples) over a 1920 x 1080 picture with one symbol of
// version 2, 10 or 25, turned by 20 degrees at 6 pixels per module. The finder search runs once
// outside the timing; before each loop its results, the decode record, the boxes and the mask
// are put back as they were, so that every iteration reads the symbol afresh.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "engine/codec/qr_decoder.h"
#include "engine/codec/segment_parser.h"
#include "engine/codec/version_table.h"
#include "engine/decode/decode_request.h"
#include "engine/decode/decoded_symbols.h"
#include "engine/decode/symbol_attempts.h"
#include "engine/geometry/candidate_triples.h"
#include "engine/geometry/decode_inputs.h"
#include "engine/geometry/finder_patterns.h"
#include "engine/image/binarization.h"
#include "engine/image/raster.h"
#include "engine/velmora_engine.h"

using namespace velmora;

namespace {

constexpr int kWidth = 1920, kHeight = 1080, kScale = 6, kQuiet = 4;

// A grey picture with the symbol (level M, about nine tenths full) turned in its middle; an
// empty matrix when the encoder refuses.
cv::Mat pictureWithSymbol(int version) {
    const int capacity = VersionTable[version].dataCodewords[LevelM] * 9 / 10 - 3;
    std::string text;
    for (int i = 0; static_cast<int>(text.size()) < capacity; ++i) text += "Velmora reads QR codes, ";
    text.resize(static_cast<std::size_t>(capacity));
    int v = version, mask = -1;
    if (QR_Encode_Matrix(LevelM, &v, 0, &mask, text.data(), static_cast<int>(text.size()), nullptr) != 1) return {};
    const int n = g_QrEncodedData.iEncoded_WH, side = (n + 2 * kQuiet) * kScale;
    cv::Mat upright(side, side, CV_8UC1, cv::Scalar(255));
    for (int r = 0; r < n; ++r) {
        for (int c = 0; c < n; ++c) {
            if (g_QrEncodedData.byEncoded_Data[r][c] != 0) continue;
            cv::rectangle(upright, cv::Rect((c + kQuiet) * kScale, (r + kQuiet) * kScale, kScale, kScale), cv::Scalar(0),
                          cv::FILLED);
        }
    }
    cv::Mat turn = cv::getRotationMatrix2D(cv::Point2f(side / 2.0f, side / 2.0f), 20.0, 1.0);
    turn.at<double>(0, 2) += (kWidth - side) / 2.0;
    turn.at<double>(1, 2) += (kHeight - side) / 2.0;
    cv::Mat picture;
    cv::warpAffine(upright, picture, turn, cv::Size(kWidth, kHeight), cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(200));
    return picture;
}

struct Rasters {
    Raster* binary = nullptr;
    Raster* mask = nullptr;
    Raster* view = nullptr;
    ~Rasters() {
        destroyRaster(binary);
        destroyRaster(mask);
        releaseRasterView(view);
    }
};

void clearMask(Raster* mask) {
    for (int y = 0; y < mask->height; ++y) std::fill(mask->rows[y], mask->rows[y] + mask->width, uint8_t{0});
}

void tripleLoop(benchmark::State& state) {
    const int version = static_cast<int>(state.range(0));
    cv::Mat grey = pictureWithSymbol(version);
    Rasters r;
    r.binary = createRaster(kHeight, kWidth, kRasterByte);
    r.mask = createRaster(kHeight, kWidth, kRasterByte);
    r.view = viewBufferAsRaster(processDecoder().sampledCopy(), kMatrixStride, kMatrixStride, kMatrixStride);
    Raster* greyView = viewImageAsRaster(&grey);
    if (grey.empty() || r.binary == nullptr || r.mask == nullptr || r.view == nullptr || greyView == nullptr) {
        releaseRasterView(greyView);
        state.SkipWithError("could not prepare the picture");
        return;
    }
    binarizeBlocks(0, r.binary->rows, greyView->rows, kWidth, kHeight, kWidth, kHeight);
    releaseRasterView(greyView);


    setAngleThresholds(kAcuteAngleLimit, kObtuseAngleLimit);
    setModuleMatrixView(r.view);
    setDecodedAreaMask(r.mask);
    setEnlargement(false, 1.0f);
    processDecoder().setColourInverse(0);
    clearMask(r.mask);
    clearFinderExclusionBoxes();
    findFinderPatterns(r.binary->rows, kHeight, kWidth, 2.2f, 0.85f, 1.65f, 3);
    const FinderTable table = finderTable();
    const FinderList list = finderList();

    int read = 0;
    for (auto _ : state) {
        state.PauseTiming();
        finderTable() = table;
        finderList() = list;
        clearMask(r.mask);
        clearFinderExclusionBoxes();
        decodedSymbols().begin(1);
        beginDecodeRequest(1, false);
        state.ResumeTiming();
        read = tryFinderTriples(r.binary->rows, kHeight, kWidth, 0);
        benchmark::DoNotOptimize(read);
    }
    setModuleMatrixView(nullptr);
    setDecodedAreaMask(nullptr);
    if (read != 1) state.SkipWithError("the symbol was not read");
    state.counters["candidates"] = candidateTable().count;
}

}  // namespace

BENCHMARK(tripleLoop)->Name("TryFinderTriples/version")->Arg(2)->Arg(10)->Arg(25)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
