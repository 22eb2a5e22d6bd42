// The steps that take camera frames on the interface thread, the decode of a frame, and the whole
// road from a configured source to a read symbol with the worker pacing the preview.
#include <chrono>
#include <string>

#include <QImage>
#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include "app/camera_device.h"
#include "app/camera_frame_decode.h"
#include "app/camera_preview.h"
#include "app/camera_worker.h"
#include "camera_events.h"
#include "camera_test_support.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// Three pictures that differ everywhere: picture k is a flat grey of 40 + 60 k.
std::vector<cv::Mat> flatPictures() {
    std::vector<cv::Mat> pictures;
    for (int k = 0; k < 3; ++k) pictures.emplace_back(48, 64, CV_8UC3, cv::Scalar::all(40 + 60 * k));
    return pictures;
}

// A camera open on flatPictures().
struct PictureCamera {
    test::ScratchFolder folder;
    CCameraDS camera;
    PictureCamera() {
        camera.setSource(test::writeSequence(folder.path() / "flat", flatPictures()));
        if (!camera.Open(0, 640, 480)) throw std::runtime_error("cannot open the picture sequence");
    }
};

int bitmapGrey(const QImage& bitmap) { return qBlue(bitmap.pixel(10, 10)); }

TEST(PreviewStep, SkipsWhileClosedClosingOrBusy) {
    CameraFlags flags;
    QImage bitmap;
    CCameraDS closed;
    EXPECT_EQ(runPreviewStep(flags, closed, &bitmap), PreviewOutcome::Skipped);

    PictureCamera open;
    flags.TimerBusy = true;
    EXPECT_EQ(runPreviewStep(flags, open.camera, &bitmap), PreviewOutcome::Skipped);
    flags.TimerBusy = false;
    flags.PreviewBusy = true;
    EXPECT_EQ(runPreviewStep(flags, open.camera, &bitmap), PreviewOutcome::Skipped);
    EXPECT_TRUE(flags.PreviewBusy);  // not ours to clear
    flags.PreviewBusy = false;
    flags.CameraShutdown = true;
    EXPECT_EQ(runPreviewStep(flags, open.camera, &bitmap), PreviewOutcome::Skipped);
    EXPECT_TRUE(bitmap.isNull());
    // None of the skipped steps took a frame: the first is still there.
    flags.CameraShutdown = false;
    ASSERT_EQ(runPreviewStep(flags, open.camera, &bitmap), PreviewOutcome::Shown);
    EXPECT_EQ(bitmapGrey(bitmap), 40);
}

TEST(PreviewStep, ShowsEachFrameThenSaysWhyThereIsNone) {
    CameraFlags flags;
    QImage bitmap;
    PictureCamera open;
    for (int k = 0; k < 3; ++k) {
        ASSERT_EQ(runPreviewStep(flags, open.camera, &bitmap), PreviewOutcome::Shown);
        EXPECT_EQ(bitmap.size(), QSize(64, 48));
        EXPECT_EQ(bitmapGrey(bitmap), 40 + 60 * k);
        EXPECT_FALSE(flags.PreviewBusy);
    }
    EXPECT_EQ(runPreviewStep(flags, open.camera, &bitmap), PreviewOutcome::NoFrame);
    EXPECT_EQ(open.camera.lastGrabStatus(), GrabStatus::EndOfStream);
    EXPECT_FALSE(flags.PreviewBusy);
}

TEST(TimerFrame, IsACopyOfItsOwn) {
    CameraFlags flags;
    PictureCamera open;
    const cv::Mat first = takeTimerFrame(flags, open.camera);
    ASSERT_FALSE(first.empty());
    EXPECT_FALSE(flags.TimerBusy);
    const cv::Mat* next = open.camera.GrabFrame();  // overwrites the camera's own frame
    ASSERT_NE(next, nullptr);
    EXPECT_EQ(next->at<cv::Vec3b>(5, 5)[0], 100);
    EXPECT_EQ(first.at<cv::Vec3b>(5, 5)[0], 40);
}

TEST(TimerFrame, SkipsTheTickWhileBusyWithoutTakingAFrame) {
    CameraFlags flags;
    PictureCamera open;
    flags.PreviewBusy = true;
    EXPECT_TRUE(takeTimerFrame(flags, open.camera).empty());
    flags.PreviewBusy = false;
    flags.TimerBusy = true;
    EXPECT_TRUE(takeTimerFrame(flags, open.camera).empty());
    EXPECT_TRUE(flags.TimerBusy);
    flags.TimerBusy = false;
    const cv::Mat frame = takeTimerFrame(flags, open.camera);
    ASSERT_FALSE(frame.empty());
    EXPECT_EQ(frame.at<cv::Vec3b>(5, 5)[0], 40);
}

TEST(FrameDecode, ReadsTheSymbolsOfAColourFrame) {
    EXPECT_EQ(decodeFrameSymbols(test::blankPage(), 4), 0);
    EXPECT_EQ(decodeFrameSymbols(cv::Mat(), 4), 0);

    const std::string text = "VELMORA CAMERA 0001";
    ASSERT_EQ(decodeFrameSymbols(test::symbolPage(text), 4), 1);
    EXPECT_EQ(std::string(g_QrDecodedData.sParseStr[0], g_QrDecodedData.nParseStrLen[0]), text);

    cv::Mat two = test::blankPage();
    test::drawSymbol(two, "LEFT", cv::Point(20, 120));
    test::drawSymbol(two, "RIGHT", cv::Point(340, 120));
    EXPECT_EQ(decodeFrameSymbols(two, 4), 2);
    EXPECT_EQ(decodeFrameSymbols(two, 1), 1);

    cv::Mat withAlpha;
    cv::cvtColor(test::symbolPage(text), withAlpha, cv::COLOR_BGR2BGRA);
    EXPECT_EQ(decodeFrameSymbols(withAlpha, 4), 0);
}

TEST(CameraRoad, FromAVideoSourceToOneReadSymbolWithALivePreview) {
    // Blank frames first, then the symbol, as when a user brings a printed symbol into view.
    const std::string text = "https://velmora.example/camera";
    std::vector<cv::Mat> frames(4, test::blankPage());
    for (int k = 0; k < 8; ++k) frames.push_back(test::symbolPage(text));
    test::ScratchFolder folder;
    test::writeVideo(folder.file("clip.avi"), frames);

    CameraFlags flags;
    CCameraDS camera;
    camera.setSource(folder.file("clip.avi"));
    ASSERT_TRUE(camera.Open(0, 640, 480));
    QObject window;
    QImage preview;
    int previews = 0;
    CamGrabShow worker(flags, &window, [&] {
        if (runPreviewStep(flags, camera, &preview) == PreviewOutcome::Shown) ++previews;
    });
    int decodes = 0;
    int found = 0;
    std::string read;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const cv::Mat frame = takeTimerFrame(flags, camera);
        if (frame.empty()) {
            if (camera.lastGrabStatus() != GrabStatus::Frame) timer.stop();
            return;
        }
        ++decodes;
        found = decodeFrameSymbols(frame, 4);
        if (found == 1) {
            read.assign(g_QrDecodedData.sParseStr[0], g_QrDecodedData.nParseStrLen[0]);
            flags.SuspendRequest = true;
            timer.stop();
        }
    });
    flags.SuspendRequest = false;
    worker.Resume();
    timer.start();
    ASSERT_TRUE(test::runEventsUntil([&] { return !timer.isActive(); }, 20s));
    EXPECT_EQ(found, 1);
    EXPECT_EQ(read, text);
    EXPECT_GE(decodes, 2);  // the blank frames were decoded too, and found nothing
    EXPECT_TRUE(test::runEventsUntil([&] { return worker.Suspended(); }, 1s));
    EXPECT_GE(previews, 1);
    EXPECT_EQ(preview.size(), QSize(640, 480));
    EXPECT_TRUE(camera.Connected());

    // Shutting down as the program closes: flags, device closed once, worker ended.
    flags.CameraShutdown = true;
    camera.Close();
    EXPECT_FALSE(camera.Connected());
}

}  // namespace
}  // namespace velmora
