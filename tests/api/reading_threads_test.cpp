// Many threads reading at once read exactly what one thread reads: every field of every symbol
// of forty different pictures, three rounds over.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tests/api/api_pictures.h"
#include "velmora/reader.h"

namespace velmora {
namespace {

// Forty pictures that take different roads through the reader: turned, blurred, noisy, seen at
// an angle, inverted, mirrored, two symbols, and some with none.
struct Picture {
    cv::Mat pixels;
    int symbols = 1;  // wanted: what the picture holds, so that a request ends once it has them
};

std::vector<Picture> variedPictures() {
    std::vector<Picture> pictures;
    std::mt19937 random(2026);
    for (int i = 0; i < 40; ++i) {
        const std::string text = "picture " + std::to_string(i) + std::string(static_cast<std::size_t>(i * 7), 'q');
        cv::Mat picture = test::drawText(text, 2 + i % 3, "LMQH"[i % 4]);
        int symbols = 1;
        switch (i % 8) {
        case 1: {
            const cv::Point2f centre(picture.cols / 2.0f, picture.rows / 2.0f);
            cv::warpAffine(picture, picture, cv::getRotationMatrix2D(centre, 10.0 + i, 1.0), picture.size(),
                           cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255));
            break;
        }
        case 2: cv::GaussianBlur(picture, picture, cv::Size(5, 5), 1.2); break;
        case 3: {
            cv::Mat noise(picture.size(), CV_8UC1);
            cv::randu(noise, 0, 60);
            picture = picture * 0.75 + noise;
            break;
        }
        case 4: {
            const float w = static_cast<float>(picture.cols), h = static_cast<float>(picture.rows);
            const cv::Point2f from[] = {{0, 0}, {w, 0}, {w, h}, {0, h}};
            const cv::Point2f to[] = {{w * 0.1f, h * 0.05f}, {w * 0.9f, 0}, {w, h}, {0, h * 0.9f}};
            cv::warpPerspective(picture, picture, cv::getPerspectiveTransform(from, to), picture.size(),
                                cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(255));
            break;
        }
        case 5: picture = 255 - picture; break;
        case 6: cv::flip(picture, picture, 1); break;
        case 7: {
            if (i % 16 == 7) {
                picture = cv::Mat(picture.size(), CV_8UC1);
                cv::randu(picture, 0, 256);
            } else {
                cv::Mat second = test::drawText("second of " + std::to_string(i), 3);
                cv::resize(second, second, picture.size());
                cv::hconcat(picture, second, picture);
                symbols = 2;
            }
            break;
        }
        default: break;
        }
        pictures.push_back({picture, symbols});
    }
    return pictures;
}

// Every field of every symbol, as one string that compares exactly.
std::string recordOf(const Picture& wanted) {
    const cv::Mat& picture = wanted.pixels;
    ReadOptions options;
    options.maxSymbols = wanted.symbols;
    options.timeLimitMs = 0;
    std::string out;
    for (const Symbol& s : readSymbols(ImageView(picture.data, picture.cols, picture.rows, PixelFormat::Grey8,
                                                 static_cast<int>(picture.step)),
                                       options)) {
        out += s.text + "|" + std::string(s.bytes.begin(), s.bytes.end()) + "|" + s.charset + "|" + std::to_string(s.eci);
        for (const Point& p : s.corners) out += "|" + std::to_string(p.x) + "," + std::to_string(p.y);
        out += "|" + std::to_string(s.version) + s.level + std::to_string(s.mask) + (s.inverted ? "i" : "") +
               (s.mirrored ? "m" : "") + "\n";
    }
    return out;
}

TEST(ReaderReadsInThreads, FourThreadsReadWhatOneReadsInTurn) {
    const std::vector<Picture> pictures = variedPictures();
    std::vector<std::string> alone;
    int symbols = 0;
    for (const Picture& picture : pictures) {
        alone.push_back(recordOf(picture));
        symbols += static_cast<int>(std::count(alone.back().begin(), alone.back().end(), '\n'));
    }
    // The set is no set of failures: most pictures give their symbols.
    ASSERT_GT(symbols, 30);
    constexpr int kThreads = 4, kRounds = 3;
    std::vector<std::vector<std::string>> together(kThreads, std::vector<std::string>(pictures.size() * kRounds));
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Each thread starts at its own picture, so different pictures are read at once.
            for (std::size_t n = 0; n < pictures.size() * kRounds; ++n) {
                const std::size_t i = (n + static_cast<std::size_t>(t) * 10) % pictures.size();
                together[static_cast<std::size_t>(t)][n] = recordOf(pictures[i]);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) {
        for (std::size_t n = 0; n < pictures.size() * kRounds; ++n) {
            const std::size_t i = (n + static_cast<std::size_t>(t) * 10) % pictures.size();
            EXPECT_EQ(together[static_cast<std::size_t>(t)][n], alone[i]) << "thread " << t << ", picture " << i;
        }
    }
}

}  // namespace
}  // namespace velmora
