// The shared sample pictures, real photographs and synthetic renderings, read end to end.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>

#include "engine/decode/decode_request.h"
#include "engine/velmora_engine.h"
#include "tests/corpus/sample_corpus.h"

using namespace velmora::test;

namespace {

// Share of the sample symbols read when this test was last tightened, in percent.
constexpr int kMinimumPercentRead = 93;

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
