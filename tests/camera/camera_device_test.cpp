// The camera device: counting capture nodes, opening the configured source, and the frames it
// gives (order, size, orientation, colour) up to the end of the source.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>

#include <gtest/gtest.h>

#include "app/app_config.h"
#include "app/camera_device.h"
#include "app/camera_source.h"
#include "camera_test_support.h"

namespace velmora {
namespace {

using test::ScratchFolder;
using Clock = std::chrono::steady_clock;

// Frames whose brightness tells their position: frame k at level 20 k.
std::vector<cv::Mat> numberedPages(int count) {
    std::vector<cv::Mat> pages;
    for (int k = 0; k < count; ++k) pages.push_back(test::blankPage(20 * k));
    return pages;
}

// The centre level that numberedPages gives frame k (the gradient adds about 20).
double expectedLevel(int k) { return 120 + 20 * k + 20; }

bool anyVideoNode() {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
        if (entry.path().filename().native().starts_with("video")) return true;
    }
    return false;
}

TEST(CameraCountsCaptureNodes, FilesNamedLikeNodesAreNoCameras) {
    ScratchFolder folder;
    for (const char* name : {"video0", "video1", "video10"}) std::ofstream(folder.file(name)) << "not a device";
    EXPECT_TRUE(captureDevicePaths(folder.path().string()).empty());
    EXPECT_FALSE(isVideoCaptureDevice("/dev/null"));  // a character device, but no V4L2 node
    EXPECT_FALSE(isVideoCaptureDevice(folder.file("missing")));
}

TEST(CameraCountsCaptureNodes, ThisMachineAndAConfiguredSource) {
    CCameraDS camera;
    if (anyVideoNode()) {
        EXPECT_LE(camera.CountCameras(), static_cast<int>(captureDevicePaths().size()));
    } else {
        EXPECT_EQ(camera.CountCameras(), 0);
        EXPECT_FALSE(camera.Open(0, 640, 480));
    }
    // A source stands for the first camera even before anyone tries to open it.
    camera.setSource("/nonexistent/clip.avi");
    EXPECT_GE(camera.CountCameras(), 1);
}

TEST(CameraClassifiesSources, DevicesSequencesAndFiles) {
    EXPECT_EQ(classifyCameraSource("/dev/null"), CameraSourceKind::Device);
    EXPECT_EQ(classifyCameraSource("/tmp/frames/%03d.png"), CameraSourceKind::PictureSequence);
    EXPECT_EQ(classifyCameraSource("/tmp/clip.avi"), CameraSourceKind::VideoFile);
}

TEST(CameraOpenFails, OnSourcesThatGiveNoPictures) {
    ScratchFolder folder;
    std::ofstream(folder.file("notes.avi")) << "this is no video";
    for (const std::string& source : {folder.file("missing.avi"), folder.file("notes.avi"), std::string("/dev/null"),
                                     folder.file("empty/%03d.png")}) {
        CCameraDS camera;
        camera.setSource(source);
        EXPECT_FALSE(camera.Open(0, 640, 480)) << source;
        EXPECT_FALSE(camera.Connected()) << source;
        EXPECT_EQ(camera.width(), 0);
        EXPECT_EQ(camera.height(), 0);
        EXPECT_EQ(camera.GrabFrame(), nullptr);
        EXPECT_EQ(camera.lastGrabStatus(), GrabStatus::NotOpen);
    }
}

TEST(CameraOpenFails, OnCamerasThatDoNotExist) {
    ScratchFolder folder;
    test::writeVideo(folder.file("clip.avi"), numberedPages(2));
    CCameraDS camera;
    camera.setSource(folder.file("clip.avi"));
    EXPECT_FALSE(camera.Open(-1, 640, 480));
    if (!anyVideoNode()) {
        EXPECT_FALSE(camera.Open(1, 640, 480));  // the source is camera 0 only
    }
    EXPECT_FALSE(camera.Connected());
}

TEST(CameraGrabsVideo, EveryFrameInOrderThenTheEnd) {
    ScratchFolder folder;
    test::writeVideo(folder.file("clip.avi"), numberedPages(5));
    CCameraDS camera;
    camera.setSource(folder.file("clip.avi"));
    // A file keeps its own size whatever is asked for.
    ASSERT_TRUE(camera.Open(0, 320, 240));
    EXPECT_TRUE(camera.Connected());
    EXPECT_EQ(camera.width(), test::kFrameWidth);
    EXPECT_EQ(camera.height(), test::kFrameHeight);
    for (int k = 0; k < 5; ++k) {
        cv::Mat* frame = camera.GrabFrame();
        ASSERT_NE(frame, nullptr) << "frame " << k;
        EXPECT_EQ(frame->type(), CV_8UC3);
        EXPECT_EQ(frame->cols, test::kFrameWidth);
        EXPECT_EQ(frame->rows, test::kFrameHeight);
        EXPECT_NEAR(test::centreLevel(*frame), expectedLevel(k), 6.0) << "frame " << k;
    }
    const auto start = Clock::now();
    EXPECT_EQ(camera.GrabFrame(), nullptr);
    EXPECT_EQ(camera.lastGrabStatus(), GrabStatus::EndOfStream);
    EXPECT_LT(Clock::now() - start, CCameraDS::kGrabWait);  // an ended file answers at once
    EXPECT_TRUE(camera.Connected());                          // ending is not closing
}

TEST(CameraGrabsVideo, UprightAndInBlueGreenRedOrder) {
    cv::Mat page(test::kFrameHeight, test::kFrameWidth, CV_8UC3, cv::Scalar(0, 0, 0));
    page(cv::Rect(0, 0, test::kFrameWidth, test::kFrameHeight / 2)).setTo(cv::Scalar(255, 0, 0));  // blue on top
    page(cv::Rect(0, test::kFrameHeight / 2, test::kFrameWidth, test::kFrameHeight / 2)).setTo(cv::Scalar(0, 0, 255));
    ScratchFolder folder;
    test::writeVideo(folder.file("clip.avi"), {page, page});
    CCameraDS camera;
    camera.setSource(folder.file("clip.avi"));
    ASSERT_TRUE(camera.Open(0, 640, 480));
    cv::Mat* frame = camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    const cv::Vec3b top = frame->at<cv::Vec3b>(40, 320);
    const cv::Vec3b bottom = frame->at<cv::Vec3b>(440, 320);
    EXPECT_GT(top[0], 200);
    EXPECT_LT(top[2], 60);
    EXPECT_GT(bottom[2], 200);
    EXPECT_LT(bottom[0], 60);
}

TEST(CameraGrabsVideo, CloseIsSafeTwiceAndReopenStartsOver) {
    ScratchFolder folder;
    test::writeVideo(folder.file("clip.avi"), numberedPages(3));
    CCameraDS camera;
    camera.setSource(folder.file("clip.avi"));
    ASSERT_TRUE(camera.Open(0, 640, 480));
    ASSERT_NE(camera.GrabFrame(), nullptr);
    ASSERT_NE(camera.GrabFrame(), nullptr);
    camera.Close();
    camera.Close();
    EXPECT_FALSE(camera.Connected());
    EXPECT_EQ(camera.width(), 0);
    EXPECT_EQ(camera.GrabFrame(), nullptr);
    EXPECT_EQ(camera.lastGrabStatus(), GrabStatus::NotOpen);
    ASSERT_TRUE(camera.Open(0, 640, 480));
    cv::Mat* frame = camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_NEAR(test::centreLevel(*frame), expectedLevel(0), 6.0);
    // Opening an open camera closes it first and starts over again.
    ASSERT_NE(camera.GrabFrame(), nullptr);
    ASSERT_TRUE(camera.Open(0, 640, 480));
    frame = camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_NEAR(test::centreLevel(*frame), expectedLevel(0), 6.0);
}

TEST(CameraGrabsSequence, PicturesInOrder) {
    ScratchFolder folder;
    const std::string pattern = test::writeSequence(folder.path() / "frames", numberedPages(3));
    CCameraDS camera;
    camera.setSource(pattern);
    ASSERT_TRUE(camera.Open(0, 640, 480));
    for (int k = 0; k < 3; ++k) {
        cv::Mat* frame = camera.GrabFrame();
        ASSERT_NE(frame, nullptr) << k;
        // PNG is lossless: the centre is exactly what was written.
        EXPECT_EQ(frame->at<cv::Vec3b>(240, 320), numberedPages(3)[k].at<cv::Vec3b>(240, 320));
    }
    EXPECT_EQ(camera.GrabFrame(), nullptr);
    EXPECT_EQ(camera.lastGrabStatus(), GrabStatus::EndOfStream);
}

TEST(CameraGrabsSequence, GreyPicturesBecomeColour) {
    cv::Mat grey(120, 160, CV_8UC1, cv::Scalar(77));
    ScratchFolder folder;
    CCameraDS camera;
    camera.setSource(test::writeSequence(folder.path() / "grey", {grey}));
    ASSERT_TRUE(camera.Open(0, 640, 480));
    cv::Mat* frame = camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->type(), CV_8UC3);
    EXPECT_EQ(frame->at<cv::Vec3b>(60, 80), cv::Vec3b(77, 77, 77));
}

TEST(CameraGrabsSequence, PicturesOfAnotherSizeStayInsideTheFrame) {
    // The frame keeps the size found at Open: a larger picture is cut, a smaller one padded black.
    const cv::Mat first(100, 200, CV_8UC3, cv::Scalar(10, 20, 30));
    const cv::Mat larger(300, 400, CV_8UC3, cv::Scalar(40, 50, 60));
    const cv::Mat smaller(50, 80, CV_8UC3, cv::Scalar(70, 80, 90));
    ScratchFolder folder;
    CCameraDS camera;
    camera.setSource(test::writeSequence(folder.path() / "mixed", {first, larger, smaller}));
    ASSERT_TRUE(camera.Open(0, 640, 480));
    ASSERT_EQ(camera.width(), 200);
    ASSERT_EQ(camera.height(), 100);
    ASSERT_NE(camera.GrabFrame(), nullptr);
    cv::Mat* frame = camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), cv::Size(200, 100));
    EXPECT_EQ(frame->at<cv::Vec3b>(99, 199), cv::Vec3b(40, 50, 60));
    frame = camera.GrabFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->size(), cv::Size(200, 100));
    EXPECT_EQ(frame->at<cv::Vec3b>(49, 79), cv::Vec3b(70, 80, 90));
    EXPECT_EQ(frame->at<cv::Vec3b>(50, 79), cv::Vec3b(0, 0, 0));
    EXPECT_EQ(frame->at<cv::Vec3b>(49, 80), cv::Vec3b(0, 0, 0));
}

TEST(CameraSourceSetting, RelativePathsAreTakenFromTheConfigFolder) {
    ScratchFolder folder;
    const std::string config = folder.file("Config.ini");
    EXPECT_EQ(readAppConfig(config).sSource, "");  // no file: no source
    std::ofstream(config) << "[Camera]\nsSource=frames/%03d.png\n";
    EXPECT_EQ(readAppConfig(config).sSource, (folder.path() / "frames/%03d.png").string());
    std::ofstream(config) << "[camera]\nSSOURCE=/dev/video2\n";
    EXPECT_EQ(readAppConfig(config).sSource, "/dev/video2");
}

}  // namespace
}  // namespace velmora
