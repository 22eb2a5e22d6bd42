// The shared sample pictures, real photographs and synthetic renderings, read end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include <opencv2/core/mat.hpp>

#include "engine/decode/decode_request.h"
#include "engine/image/picture_loading.h"
#include "engine/velmora_engine.h"
#include "tests/corpus/sample_corpus.h"
#include "velmora/reader.h"

using namespace velmora::test;

namespace {

// Share of the sample symbols read when this test was last tightened, in percent.
constexpr int kMinimumPercentRead = 93;
// Symbols of the BoofCV sheets read with 64 wanted when this test was last tightened, of 180.
constexpr int kSheetFloor = 165;

struct Tally {
    int pictures = 0;
    int symbols = 0;
    int read = 0;
};

}  // namespace

TEST(CorpusReads, SharedSamples) {
    const auto corpus = loadSampleCorpus(sampleCorpusRoot());
    if (corpus.empty()) GTEST_SKIP() << "no sample pictures (set VELMORA_SAMPLES to their folder)";
    std::map<std::string, Tally> tallies;
    Tally total;
    for (const SamplePicture& picture : corpus) {
        const int wanted = std::min(4, picture.symbols);
        const int count = QR_Decode_File(picture.path.c_str(), wanted, 1, nullptr);
        std::vector<std::string> decoded;
        for (int k = 0; k < count; ++k) {
            decoded.emplace_back(g_QrDecodedData.sParseStr[k], g_QrDecodedData.nParseStrLen[k]);
        }
        const int matched = matchedTexts(decoded, picture.expected);
        // Nothing read may be wrong: every text reported must be one of the expected ones.
        EXPECT_EQ(matched, count) << picture.path << ": a text that is not in the picture";
        Tally& tally = tallies[picture.category];
        for (Tally* t : {&tally, &total}) {
            t->pictures += 1;
            t->symbols += static_cast<int>(picture.expected.size());
            t->read += matched;
        }
    }
    for (const auto& [category, tally] : tallies) {
        std::printf("%-24s %3d pictures %3d symbols %3d read\n", category.c_str(), tally.pictures, tally.symbols,
                    tally.read);
    }
    std::printf("%-24s %3d pictures %3d symbols %3d read\n", "all", total.pictures, total.symbols, total.read);
    // The share read so far; a change that reads fewer of these pictures is a regression.
    EXPECT_GE(total.read * 100, total.symbols * kMinimumPercentRead);
}

namespace {

// Symbols read per folder of the BoofCV third (4 wanted, no time limit) when this test was last
// tightened; lots holds 60 symbols a picture, of which 4 are wanted.
const std::map<std::string, int> kBoofcvFloors = {
    {"blurred", 11}, {"bright_spots", 22}, {"brightness", 28}, {"close", 14}, {"curved", 16}, {"damaged", 9},
    {"glare", 12}, {"high_version", 8}, {"lots", 11}, {"monitor", 6}, {"nominal", 22}, {"noncompliant", 10},
    {"pathological", 8}, {"perspective", 8}, {"rotations", 45}, {"shadows", 8}};

}  // namespace

TEST(CorpusReads, BoofcvPhotographs) {
    const auto corpus = loadSampleCorpus(boofcvCorpusRoot());
    if (corpus.empty()) GTEST_SKIP() << "no BoofCV photographs (set VELMORA_BOOFCV to their folder)";
    // What is read must not depend on how busy the machine is.
    velmora::setTimeBudget(0);
    std::map<std::string, Tally> tallies;
    for (const SamplePicture& picture : corpus) {
        const int count = QR_Decode_File(picture.path.c_str(), 4, 1, nullptr);
        std::vector<std::string> decoded;
        for (int k = 0; k < count; ++k) {
            decoded.emplace_back(g_QrDecodedData.sParseStr[k], g_QrDecodedData.nParseStrLen[k]);
        }
        Tally& tally = tallies[picture.category];
        tally.pictures += 1;
        tally.symbols += picture.symbols;
        tally.read += scoreTexts(decoded, picture).read;
    }
    velmora::setTimeBudget(velmora::kDefaultTimeBudget);
    for (const auto& [category, tally] : tallies) {
        std::printf("%-24s %3d pictures %3d symbols %3d read\n", category.c_str(), tally.pictures, tally.symbols,
                    tally.read);
        const auto floor = kBoofcvFloors.find(category);
        if (floor != kBoofcvFloors.end()) {
            EXPECT_GE(tally.read, floor->second) << category;
        }
    }
}

// The BoofCV sheets of sixty symbols, read with up to 64 wanted: each symbol counts where it
// lies, since the sheets repeat their texts.
TEST(CorpusReads, BoofcvSheetsOfManySymbols) {
    std::vector<SamplePicture> sheets;
    for (SamplePicture& picture : loadSampleCorpus(boofcvCorpusRoot())) {
        if (picture.category == "lots") sheets.push_back(std::move(picture));
    }
    if (sheets.empty()) GTEST_SKIP() << "no BoofCV photographs (set VELMORA_BOOFCV to their folder)";
    Tally tally;
    for (const SamplePicture& picture : sheets) {
        cv::Mat grey;
        ASSERT_EQ(velmora::loadPictureFile(picture.path, grey, velmora::kLoadGrey), 1) << picture.path;
        velmora::ReadOptions options;
        options.maxSymbols = 64;
        options.timeLimitMs = 0;
        std::vector<ReadAt> reads;
        for (const velmora::Symbol& symbol : velmora::readSymbols(
                 velmora::ImageView(grey.data, grey.cols, grey.rows, velmora::PixelFormat::Grey8,
                                    static_cast<int>(grey.step)),
                 options)) {
            ReadAt read{symbol.text};
            for (const velmora::Point& p : symbol.corners) {
                read.x += p.x / 4;
                read.y += p.y / 4;
            }
            reads.push_back(read);
        }
        EXPECT_LE(reads.size(), 64u);
        tally.symbols += picture.symbols;
        tally.read += scoreReads(reads, picture, grey.cols, grey.rows).read;
    }
    std::printf("lots with 64 wanted: %d of %d symbols\n", tally.read, tally.symbols);
    EXPECT_GE(tally.read, kSheetFloor);
}
