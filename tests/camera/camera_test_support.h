// Camera sources the tests write for themselves: symbols from our own encoder drawn on a
// 640 x 480 page, written as MJPG videos in AVI and as numbered PNG sequences.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "engine/velmora_engine.h"

namespace velmora::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "velmora-camera-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch folder");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string file(const std::string& name) const { return (path_ / name).string(); }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline constexpr int kFrameWidth = 640;
inline constexpr int kFrameHeight = 480;

// A light page with a soft gradient and no symbol; level shifts its brightness so that frames can
// be told apart after compression (0 to 90).
inline cv::Mat blankPage(int level = 0, int width = kFrameWidth, int height = kFrameHeight) {
    cv::Mat page(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int grey = 120 + level + (x + y) * 40 / (width + height);
            page.at<cv::Vec3b>(y, x) = cv::Vec3b(grey, grey, grey);
        }
    }
    return page;
}

// Draws text as a symbol (level M) of modules of moduleSize pixels with a four-module quiet zone,
// its top-left corner at origin. Throws when the encoder refuses the text.
inline void drawSymbol(cv::Mat& page, const std::string& text, cv::Point origin, int moduleSize = 5) {
    int version = 0;
    int mask = -1;
    if (QR_Encode_Matrix(1, &version, 1, &mask, text.data(), static_cast<int>(text.size()), nullptr) != 1) {
        throw std::runtime_error("encoder refused the test text");
    }
    const int side = g_QrEncodedData.iEncoded_WH;
    const int quiet = 4 * moduleSize;
    cv::rectangle(page, cv::Rect(origin.x, origin.y, side * moduleSize + 2 * quiet, side * moduleSize + 2 * quiet),
                  cv::Scalar::all(255), cv::FILLED);
    for (int row = 0; row < side; ++row) {
        for (int column = 0; column < side; ++column) {
            if (g_QrEncodedData.byEncoded_Data[row][column] != 0) continue;
            cv::rectangle(page,
                          cv::Rect(origin.x + quiet + column * moduleSize, origin.y + quiet + row * moduleSize,
                                   moduleSize, moduleSize),
                          cv::Scalar::all(0), cv::FILLED);
        }
    }
}

// A page showing one symbol of text.
inline cv::Mat symbolPage(const std::string& text) {
    cv::Mat page = blankPage();
    drawSymbol(page, text, cv::Point(180, 100));
    return page;
}

// Writes frames as an MJPG video in AVI at 10 frames a second. Throws when OpenCV cannot.
inline void writeVideo(const std::string& path, const std::vector<cv::Mat>& frames) {
    cv::VideoWriter writer(path, cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 10.0,
                           frames.front().size());
    if (!writer.isOpened()) throw std::runtime_error("cannot write " + path);
    for (const cv::Mat& frame : frames) writer.write(frame);
}

// Writes pictures as folder/000.png, 001.png, ... and returns the pattern that names them.
inline std::string writeSequence(const std::filesystem::path& folder, const std::vector<cv::Mat>& pictures) {
    std::filesystem::create_directories(folder);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "%03zu.png", i);
        if (!cv::imwrite((folder / name).string(), pictures[i])) throw std::runtime_error("cannot write picture");
    }
    return (folder / "%03d.png").string();
}

// The mean grey level of a picture's centre, robust against compression noise.
inline double centreLevel(const cv::Mat& picture) {
    const cv::Rect centre(picture.cols / 4, picture.rows / 4, picture.cols / 2, picture.rows / 2);
    return cv::mean(picture(centre))[0];
}

}  // namespace velmora::test
