// Reading the same pictures again, in another order, in the same process must give the same
// records: state that the engine's process-wide modules keep from one request to the next would
// show here as a changed field.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <opencv2/imgcodecs.hpp>

#include "engine/decode/decode_request.h"
#include "engine/velmora_engine.h"
#include "tests/driver/rendered_set.h"

using namespace velmora;
using namespace velmora::test;

namespace fs = std::filesystem;

namespace {

// Every field the last request recorded, as text.
std::string lastRecord(int count) {
    const C_QrDecodedData& d = g_QrDecodedData;
    std::string out = std::to_string(count) + " " + std::to_string(d.nParsedNums) + "\n";
    char line[160];
    for (int k = 0; k < d.nParsedNums && k < 4; ++k) {
        std::snprintf(line, sizeof line, "%d %d %d %d %d %d %d %d |", d.nInverseColor[k], d.nMirror[k], d.nVersion[k],
                      d.nLevel[k], d.nMaskingNo[k], d.nParseStrLen[k], g_QrTextMeaning.nModes[k],
                      g_QrTextMeaning.nEci[k]);
        out += line;
        out.append(d.sParseStr[k], static_cast<std::size_t>(d.nParseStrLen[k]));
        for (int i = 0; i < 8; ++i) {
            std::snprintf(line, sizeof line, " %a %a", d.dXY_FP[k][i], d.dXY_4Corners[k][i]);
            out += line;
        }
        out += "\n";
    }
    return out;
}

struct Picture {
    std::string name;
    cv::Mat grey;
};

// Every third rendered picture and every fifth shared sample.
std::vector<Picture> pictures() {
    std::vector<Picture> out;
    const std::vector<RenderedPicture> rendered = renderedSymbolSet();
    for (std::size_t i = 0; i < rendered.size(); i += 3) out.push_back({rendered[i].name, rendered[i].grey});
    const char* samples = std::getenv("VELMORA_SAMPLES");
    const fs::path folder = samples != nullptr ? samples : VELMORA_SAMPLES_DIR;
    if (fs::is_directory(folder)) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) {
            const std::string ext = entry.path().extension().string();
            if (entry.is_regular_file() && (ext == ".png" || ext == ".jpg" || ext == ".bmp")) files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
        for (std::size_t i = 0; i < files.size(); i += 5) {
            out.push_back({files[i].string(), cv::imread(files[i].string(), cv::IMREAD_GRAYSCALE)});
        }
    }
    return out;
}

std::string read(Picture& p) {
    const int count = QR_Decode_Matrix(0, p.grey.data, p.grey.cols, p.grey.rows, 4, 1, nullptr);
    return lastRecord(count);
}

}  // namespace

TEST(RepeatedReads, SecondReadingInReverseOrderGivesTheSameRecords) {
    setTimeBudget(0);  // the machine's load must not cut a request short
    std::vector<Picture> set = pictures();
    ASSERT_GT(set.size(), 40u);
    std::vector<std::string> first;
    for (Picture& p : set) first.push_back(read(p));
    int symbols = 0;
    for (std::size_t i = set.size(); i-- > 0;) {
        const std::string again = read(set[i]);
        EXPECT_EQ(again, first[i]) << set[i].name;
        symbols += again[0] != '0';
    }
    EXPECT_GT(symbols, static_cast<int>(set.size()) / 2);  // the set is mostly read
    setTimeBudget(kDefaultTimeBudget);
}
