// The frame reader hands over fresh frames from a live source: what a camera queued while nobody
// asked is dropped, so the frame read after a request was taken after it. Files give every frame.
#include <chrono>
#include <cstring>
#include <deque>
#include <thread>

#include <gtest/gtest.h>

#include "app/camera_frame_reader.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A camera driver's queue in miniature: a picture every period from the moment it opens, kept in
// at most `buffers` buffers (pictures taken while all are full are lost), each picture carrying
// the time it was taken.
class StampingSource : public FrameSource {
public:
    StampingSource(Clock::duration period, int buffers) : period_(period), buffers_(buffers), next_(Clock::now()) {}

    bool grab() override {
        fill();
        if (queue_.empty()) {
            std::this_thread::sleep_until(next_);
            fill();
        }
        taken_ = queue_.front();
        queue_.pop_front();
        return true;
    }

    bool retrieve(cv::Mat& frame) override {
        frame = cv::Mat(8, 8, CV_8UC3, cv::Scalar::all(0));
        const Clock::rep ticks = taken_.time_since_epoch().count();
        std::memcpy(frame.data, &ticks, sizeof ticks);
        return true;
    }

private:
    void fill() {
        for (const Clock::time_point now = Clock::now(); next_ <= now; next_ += period_)
            if (static_cast<int>(queue_.size()) < buffers_) queue_.push_back(next_);
    }

    Clock::duration period_;
    int buffers_;
    Clock::time_point next_;
    std::deque<Clock::time_point> queue_;
    Clock::time_point taken_;
};

Clock::time_point takenAt(const cv::Mat& frame) {
    Clock::rep ticks = 0;
    std::memcpy(&ticks, frame.data, sizeof ticks);
    return Clock::time_point(Clock::duration(ticks));
}

// A reader of a stand-in that takes a picture every 20 ms into four buffers.
CaptureTarget stampingTarget(bool live) {
    CaptureTarget target;
    target.live = live;
    target.openSource = [](const CaptureTarget&) { return std::make_unique<StampingSource>(20ms, 4); };
    return target;
}

TEST(CameraFrameReaderGivesFreshFrames, ALiveSourceDropsWhatQueuedWhileNobodyAsked) {
    CameraFrameReader reader;
    cv::Mat frame;
    ASSERT_TRUE(reader.open(stampingTarget(true), 2s, frame));
    for (int request = 0; request < 3; ++request) {
        std::this_thread::sleep_for(300ms);  // the user looks at the last result
        const Clock::time_point asked = Clock::now();
        ASSERT_EQ(reader.read(frame, 2s), ReadOutcome::Frame);
        EXPECT_GE(takenAt(frame), asked) << "request " << request;
        EXPECT_LT(Clock::now() - asked, 200ms);
    }
}

TEST(CameraFrameReaderGivesFreshFrames, AFileGivesEveryFrameInTurn) {
    CameraFrameReader reader;
    cv::Mat first;
    ASSERT_TRUE(reader.open(stampingTarget(false), 2s, first));
    std::this_thread::sleep_for(300ms);
    const Clock::time_point asked = Clock::now();
    cv::Mat second;
    ASSERT_EQ(reader.read(second, 2s), ReadOutcome::Frame);
    EXPECT_EQ(takenAt(second) - takenAt(first), Clock::duration(20ms));
    EXPECT_LT(takenAt(second), asked);
}

}  // namespace
}  // namespace velmora
