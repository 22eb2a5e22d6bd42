#include "app/camera_frame_reader.h"

#include <condition_variable>
#include <chrono>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include <opencv2/videoio.hpp>

namespace velmora {

// What the caller and the reader thread share. The frame source itself lives on the thread and
// is touched by nobody else.
struct CameraFrameReader::Channel {
    enum class Job { None, Read, Quit };

    std::mutex mutex;
    std::condition_variable changed;  // every change below is announced to all waiters
    Job job = Job::None;
    bool openDone = false;     // the thread has tried to open the source
    bool opened = false;       // ... and succeeded, with a first frame in result
    bool readPending = false;  // a read was asked for and its outcome not yet taken
    bool resultReady = false;  // the outcome of that read is in resultOk and result
    bool resultOk = false;
    cv::Mat result;
    bool finished = false;  // the capture is released; the thread is ending
};

namespace {

using Channel = CameraFrameReader::Channel;

// A frame that a live source hands over sooner than this was waiting in its queue.
constexpr std::chrono::milliseconds kQueuedFrameTime{2};
// At most this many queued frames are dropped before a read: more buffers than a driver keeps.
constexpr int kMostQueuedFrames = 8;

// OpenCV's capture. OpenCV reports some failures by exception; they count as no frame.
class OpenCvSource : public FrameSource {
public:
    bool grab() override {
        try {
            return capture_.grab();
        } catch (const cv::Exception&) {
            return false;
        }
    }
    bool retrieve(cv::Mat& frame) override {
        try {
            return capture_.retrieve(frame) && !frame.empty();
        } catch (const cv::Exception&) {
            return false;
        }
    }
    ~OpenCvSource() override { capture_.release(); }

    // Opens target with the first back end that accepts it and asks a device for its size, and a
    // live one for a single buffer (the driver may keep more).
    bool open(const CaptureTarget& target) {
        for (const int backend : target.backends) {
            try {
                if (!capture_.open(target.path, backend)) continue;
                if (target.width > 0 && target.height > 0) {
                    capture_.set(cv::CAP_PROP_FRAME_WIDTH, target.width);
                    capture_.set(cv::CAP_PROP_FRAME_HEIGHT, target.height);
                }
                if (target.live) capture_.set(cv::CAP_PROP_BUFFERSIZE, 1);
                return true;
            } catch (const cv::Exception&) {
                capture_.release();
            }
        }
        return false;
    }

private:
    cv::VideoCapture capture_;
};

std::unique_ptr<FrameSource> openSource(const CaptureTarget& target) {
    if (target.openSource) return target.openSource(target);
    auto source = std::make_unique<OpenCvSource>();
    if (!source->open(target)) return nullptr;
    return source;
}

// One frame, or an empty picture when the source has none or fails. From a live source, the
// frames that were queued before the call are dropped: each comes back at once, while a frame
// taken after the call makes the read wait for it.
cv::Mat readFrame(FrameSource& source, bool live) {
    using Clock = std::chrono::steady_clock;
    for (int dropped = 0;; ++dropped) {
        const Clock::time_point asked = Clock::now();
        if (!source.grab()) return {};
        if (!live || dropped == kMostQueuedFrames || Clock::now() - asked >= kQueuedFrameTime) break;
    }
    cv::Mat frame;
    if (!source.retrieve(frame)) frame.release();
    return frame;
}

// The reader thread: open, give the first frame, then one frame per Read job until Quit.
void runReader(std::shared_ptr<Channel> channel, CaptureTarget target) {
    std::unique_ptr<FrameSource> source = openSource(target);
    cv::Mat first;
    const bool opened = source != nullptr && !(first = readFrame(*source, false)).empty();
    std::unique_lock lock(channel->mutex);
    channel->openDone = true;
    channel->opened = opened;
    channel->result = std::move(first);
    channel->changed.notify_all();
    while (opened) {
        channel->changed.wait(lock, [&] { return channel->job != Channel::Job::None; });
        if (channel->job == Channel::Job::Quit) break;
        channel->job = Channel::Job::None;
        lock.unlock();
        cv::Mat frame = readFrame(*source, target.live);
        lock.lock();
        channel->resultOk = !frame.empty();
        channel->result = std::move(frame);
        channel->resultReady = true;
        channel->changed.notify_all();
    }
    lock.unlock();
    source.reset();
    lock.lock();
    channel->result.release();
    channel->finished = true;
    channel->changed.notify_all();
}

}  // namespace

CameraFrameReader::~CameraFrameReader() { close(); }

bool CameraFrameReader::open(const CaptureTarget& target, std::chrono::milliseconds wait, cv::Mat& firstFrame) {
    close();
    auto channel = std::make_shared<Channel>();
    try {
        // Detached: a thread stuck in the driver must not hold its owner; it keeps the channel
        // alive through its own reference.
        std::thread(runReader, channel, target).detach();
    } catch (const std::system_error&) {
        return false;
    }
    std::unique_lock lock(channel->mutex);
    if (!channel->changed.wait_for(lock, wait, [&] { return channel->openDone; }) || !channel->opened) {
        channel->job = Channel::Job::Quit;
        channel->changed.notify_all();
        return false;
    }
    firstFrame = std::move(channel->result);
    channel->result = cv::Mat();
    channel_ = std::move(channel);
    return true;
}

ReadOutcome CameraFrameReader::read(cv::Mat& frame, std::chrono::milliseconds wait) {
    if (!channel_) return ReadOutcome::EndOfStream;
    Channel& channel = *channel_;
    std::unique_lock lock(channel.mutex);
    if (!channel.readPending) {
        channel.readPending = true;
        channel.resultReady = false;
        channel.job = Channel::Job::Read;
        channel.changed.notify_all();
    }
    if (!channel.changed.wait_for(lock, wait, [&] { return channel.resultReady; })) return ReadOutcome::TimedOut;
    channel.readPending = false;
    channel.resultReady = false;
    if (!channel.resultOk) return ReadOutcome::EndOfStream;
    frame = std::move(channel.result);
    channel.result = cv::Mat();
    return ReadOutcome::Frame;
}

void CameraFrameReader::close(std::chrono::milliseconds wait) {
    if (!channel_) return;
    const std::shared_ptr<Channel> channel = std::move(channel_);
    std::unique_lock lock(channel->mutex);
    channel->job = Channel::Job::Quit;
    channel->changed.notify_all();
    channel->changed.wait_for(lock, wait, [&] { return channel->finished; });
}

}  // namespace velmora
