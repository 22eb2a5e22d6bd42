// A source that stops delivering: a video fed through a pipe whose writer goes quiet, as a webcam
// does when it is unplugged or taken by another program. Grabbing must give up within its bound,
// and closing must not hang on the stuck read.
#include <sys/stat.h>

#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "app/camera_device.h"
#include "camera_test_support.h"
#include "silent_pipe.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(CameraBoundsTheWait, ASourceThatFallsSilentEndsGrabbingWithinTheBound) {
    test::ScratchFolder folder;
    std::vector<cv::Mat> pages;
    for (int k = 0; k < 40; ++k) pages.push_back(test::blankPage(2 * k));
    test::writeVideo(folder.file("clip.avi"), pages);
    const std::string video = test::fileContents(folder.file("clip.avi"));
    const std::string pipe = folder.file("live.avi");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);

    std::promise<void> hangUp;
    std::thread writer(test::feedThenFallSilent, pipe, video, video.size() / 2, hangUp.get_future().share());
    CCameraDS camera;
    camera.setSource(pipe);
    const bool opened = camera.Open(0, 640, 480);
    int frames = 0;
    auto lastGrab = Clock::duration::zero();
    if (opened) {
        for (std::size_t i = 0; i < pages.size(); ++i) {
            const auto start = Clock::now();
            cv::Mat* frame = camera.GrabFrame();
            lastGrab = Clock::now() - start;
            if (frame == nullptr) break;
            ++frames;
        }
    }
    const auto closeStart = Clock::now();
    camera.Close();
    const auto closing = Clock::now() - closeStart;
    hangUp.set_value();
    writer.join();

    ASSERT_TRUE(opened);
    EXPECT_GE(frames, 1);
    EXPECT_LT(frames, static_cast<int>(pages.size()));
    EXPECT_EQ(camera.lastGrabStatus(), GrabStatus::TimedOut);
    EXPECT_GE(lastGrab, CCameraDS::kGrabWait - 50ms);
    EXPECT_LT(lastGrab, CCameraDS::kGrabWait + 2s);
    // The read is still stuck in the demuxer; closing leaves it behind instead of waiting for it.
    EXPECT_LT(closing, 3s);
    EXPECT_FALSE(camera.Connected());
}

}  // namespace
}  // namespace velmora
