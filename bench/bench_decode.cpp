// Reading the shared sample corpus (real photographs and synthetic renderings) beside zbar and
// zxing-cpp: the same grey pictures in memory, all three asked for every symbol they hold.
// Each run reports the time for the whole corpus and how many expected texts came back.
#define ZX_USE_UTF8 1

#include <benchmark/benchmark.h>
#include <zbar.h>

#include <ZXing/ReadBarcode.h>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "engine/velmora_engine.h"
#include "tests/corpus/sample_corpus.h"

namespace {

using velmora::test::matchedTexts;

struct Picture {
    cv::Mat grey;
    std::vector<std::string> expected;
};

const std::vector<Picture>& corpus() {
    static const std::vector<Picture> pictures = [] {
        std::vector<Picture> out;
        for (const auto& sample : velmora::test::loadSampleCorpus(velmora::test::sampleCorpusRoot())) {
            cv::Mat grey = cv::imread(sample.path, cv::IMREAD_GRAYSCALE);
            if (!grey.empty()) out.push_back({grey, sample.expected});
        }
        return out;
    }();
    return pictures;
}

int expectedSymbols() {
    int n = 0;
    for (const Picture& p : corpus()) n += static_cast<int>(p.expected.size());
    return n;
}

std::vector<std::string> velmoraRead(const Picture& p) {
    const int wanted = static_cast<int>(std::min<size_t>(4, p.expected.size()));
    cv::Mat grey = p.grey.isContinuous() ? p.grey : p.grey.clone();
    const int count = QR_Decode_Matrix(0, grey.data, grey.cols, grey.rows, wanted, 1, nullptr);
    std::vector<std::string> texts;
    for (int k = 0; k < count; ++k) texts.emplace_back(g_QrDecodedData.sParseStr[k], g_QrDecodedData.nParseStrLen[k]);
    return texts;
}

std::vector<std::string> zbarRead(const Picture& p, zbar::zbar_image_scanner_t* scanner) {
    zbar::zbar_image_t* image = zbar::zbar_image_create();
    zbar::zbar_image_set_format(image, zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(image, p.grey.cols, p.grey.rows);
    cv::Mat grey = p.grey.isContinuous() ? p.grey : p.grey.clone();
    zbar::zbar_image_set_data(image, grey.data, grey.total(), nullptr);
    zbar::zbar_scan_image(scanner, image);
    std::vector<std::string> texts;
    for (auto* s = zbar::zbar_image_first_symbol(image); s != nullptr; s = zbar::zbar_symbol_next(s)) {
        texts.emplace_back(zbar::zbar_symbol_get_data(s), zbar::zbar_symbol_get_data_length(s));
    }
    zbar::zbar_image_destroy(image);
    return texts;
}

std::vector<std::string> zxingRead(const Picture& p) {
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    const auto results = ZXing::ReadBarcodes({p.grey.data, p.grey.cols, p.grey.rows, ZXing::ImageFormat::Lum,
                                              static_cast<int>(p.grey.step)},
                                             hints);
    std::vector<std::string> texts;
    for (const auto& r : results) texts.push_back(r.text());
    return texts;
}

template <typename Reader>
void readCorpus(benchmark::State& state, Reader read) {
    if (corpus().empty()) {
        state.SkipWithError("no sample pictures (set VELMORA_SAMPLES)");
        return;
    }
    int matched = 0;
    for (auto _ : state) {
        matched = 0;
        for (const Picture& p : corpus()) matched += matchedTexts(read(p), p.expected);
    }
    state.counters["read"] = matched;
    state.counters["symbols"] = expectedSymbols();
    state.counters["pictures"] = static_cast<double>(corpus().size());
}

void velmoraCorpus(benchmark::State& state) { readCorpus(state, velmoraRead); }

void zbarCorpus(benchmark::State& state) {
    zbar::zbar_image_scanner_t* scanner = zbar::zbar_image_scanner_create();
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(scanner, zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    readCorpus(state, [scanner](const Picture& p) { return zbarRead(p, scanner); });
    zbar::zbar_image_scanner_destroy(scanner);
}

void zxingCorpus(benchmark::State& state) { readCorpus(state, zxingRead); }

}  // namespace

BENCHMARK(velmoraCorpus)->Name("decode/corpus/velmora")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(zbarCorpus)->Name("decode/corpus/zbar")->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(zxingCorpus)->Name("decode/corpus/zxing")->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
