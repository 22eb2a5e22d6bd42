// Writes the video a webcam would give of a printed symbol held up to it: a desk, the sheet
// sliding in from the side with the symbol cut off by the frame's edge, then the sheet held still,
// turned, slightly out of focus and lit unevenly, with sensor noise in every frame. 640 x 480
// MJPG in AVI at 25 frames a second, for the test of the real program.
// Usage: camera_clip_writer OUTPUT.avi TEXT
#include <cstdio>
#include <string>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "engine/velmora_engine.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kSlidingFrames = 60;
constexpr int kStillFrames = 60;

// The sheet: dark grey ink on off-white paper, modules of 5 pixels and a generous margin.
cv::Mat printedSheet(const std::string& text) {
    int version = 0;
    int mask = -1;
    if (QR_Encode_Matrix(1, &version, 1, &mask, text.data(), static_cast<int>(text.size()), nullptr) != 1) return {};
    const int n = g_QrEncodedData.iEncoded_WH;
    const int module = 5;
    const int margin = 8 * module;
    cv::Mat sheet(n * module + 2 * margin, n * module + 2 * margin, CV_8UC3, cv::Scalar(222, 232, 238));
    for (int row = 0; row < n; ++row)
        for (int column = 0; column < n; ++column)
            if (g_QrEncodedData.byEncoded_Data[row][column] == 0)
                cv::rectangle(sheet, cv::Rect(margin + column * module, margin + row * module, module, module),
                              cv::Scalar(48, 44, 40), cv::FILLED);
    return sheet;
}

// A desk lit from the upper left, with a few objects on it.
cv::Mat desk() {
    cv::Mat scene(kHeight, kWidth, CV_8UC3);
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const int light = 150 - 60 * x / kWidth - 40 * y / kHeight;
            scene.at<cv::Vec3b>(y, x) = cv::Vec3b(light - 30, light - 10, light + 10);
        }
    cv::circle(scene, {90, 380}, 50, cv::Scalar(40, 60, 150), cv::FILLED);
    cv::rectangle(scene, cv::Rect(520, 40, 90, 140), cv::Scalar(70, 70, 70), cv::FILLED);
    return scene;
}

// The desk with the sheet turned by angle degrees around its centre, placed at centre, seen a
// little out of focus and with noise.
cv::Mat frame(const cv::Mat& desk, const cv::Mat& sheet, cv::Point2f centre, double angle) {
    cv::Mat scene = desk.clone();
    const cv::Point2f middle(sheet.cols / 2.0f, sheet.rows / 2.0f);
    cv::Mat turn = cv::getRotationMatrix2D(middle, angle, 0.95);
    turn.at<double>(0, 2) += centre.x - middle.x;
    turn.at<double>(1, 2) += centre.y - middle.y;
    cv::Mat placed, cover;
    cv::warpAffine(sheet, placed, turn, scene.size(), cv::INTER_LINEAR);
    cv::warpAffine(cv::Mat(sheet.size(), CV_8UC1, cv::Scalar(255)), cover, turn, scene.size(), cv::INTER_NEAREST);
    placed.copyTo(scene, cover);
    cv::GaussianBlur(scene, scene, cv::Size(5, 5), 1.1);
    cv::Mat noise(scene.size(), CV_16SC3);
    cv::randn(noise, cv::Scalar::all(0), cv::Scalar::all(5));
    cv::Mat noisy;
    scene.convertTo(noisy, CV_16SC3);
    noisy += noise;
    noisy.convertTo(scene, CV_8UC3);
    return scene;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: camera_clip_writer OUTPUT.avi TEXT\n");
        return 2;
    }
    const cv::Mat sheet = printedSheet(argv[2]);
    if (sheet.empty()) {
        std::fprintf(stderr, "the text does not fit a symbol\n");
        return 1;
    }
    cv::VideoWriter writer(argv[1], cv::CAP_OPENCV_MJPEG, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), 25.0,
                           cv::Size(kWidth, kHeight));
    if (!writer.isOpened()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    const cv::Mat ground = desk();
    // Sliding in from the right: the symbol stays cut off by the edge of the picture.
    for (int k = 0; k < kSlidingFrames; ++k) {
        const float x = kWidth + sheet.cols / 2.0f - 1.5f * k;
        writer.write(frame(ground, sheet, {x, 250}, 12.0 + 0.05 * k));
    }
    // Held still in the middle.
    for (int k = 0; k < kStillFrames; ++k) writer.write(frame(ground, sheet, {330, 250}, 15.0));
    return 0;
}
