// Frames from an OpenCV capture with a bounded wait.
//
// cv::VideoCapture blocks inside the driver or the demuxer for as long as its source keeps it
// waiting: a webcam that was unplugged or taken by another program, a pipe whose writer went
// quiet. The reader owns the capture on a thread of its own and hands each frame over under a time
// limit, so that its caller (the interface thread) never waits longer than it chose to.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

namespace velmora {

// Where the reader takes its frames from, owned and used on the reader's thread only: OpenCV's
// capture for cameras and files, a stand-in in tests.
class FrameSource {
public:
    virtual ~FrameSource() = default;
    // Takes the next frame out of the source, waiting for it when none is there; false when the
    // source has no more or fails.
    virtual bool grab() = 0;
    // The frame the last grab took; false when it cannot be decoded.
    virtual bool retrieve(cv::Mat& frame) = 0;
};

struct CaptureTarget;

// Opens a target on the reader's thread; null when it cannot be opened.
using FrameSourceOpener = std::function<std::unique_ptr<FrameSource>(const CaptureTarget&)>;

// What the reader opens: a path for the given OpenCV capture back ends, tried in order, and the
// frame size to ask for (0 keeps the source's own; only devices take a size).
struct CaptureTarget {
    std::string path;
    std::vector<int> backends;
    int width = 0;
    int height = 0;
    // A live source (a camera) goes on taking pictures while nobody reads and queues them. Its
    // reader asks it for the fewest buffers and drops what queued, so that a frame read was taken
    // after it was asked for; a file or a picture sequence gives every frame in turn.
    bool live = false;
    // Opens the source; empty for OpenCV's capture of path.
    FrameSourceOpener openSource;
};

enum class ReadOutcome {
    Frame,        // a frame was read
    EndOfStream,  // the source has no more frames or failed to give one
    TimedOut,     // no answer within the wait; the read goes on and a later read takes its frame
};

class CameraFrameReader {
public:
    CameraFrameReader() = default;
    ~CameraFrameReader();
    CameraFrameReader(const CameraFrameReader&) = delete;
    CameraFrameReader& operator=(const CameraFrameReader&) = delete;

    // Opens target on the reader's thread and reads its first frame into firstFrame, waiting at
    // most `wait` in all. False when no back end opens it, it gives no first frame, or it does not
    // answer in time; the reader is then closed. An open reader is closed first.
    bool open(const CaptureTarget& target, std::chrono::milliseconds wait, cv::Mat& firstFrame);

    // Reads the next frame, waiting at most `wait`. When an earlier read timed out and is still
    // under way, waits for that one instead of asking for another. A closed reader gives
    // EndOfStream.
    ReadOutcome read(cv::Mat& frame, std::chrono::milliseconds wait);

    // Releases the capture on the reader's thread, waiting at most `wait` for it. A thread stuck in
    // the driver is left to release the capture itself when the driver lets it go, so closing
    // never hangs and the capture is released exactly once either way. Safe when nothing is open.
    void close(std::chrono::milliseconds wait = std::chrono::milliseconds(2000));

    bool isOpen() const { return channel_ != nullptr; }

    // What the caller and the reader thread share (defined with the thread).
    struct Channel;

private:
    std::shared_ptr<Channel> channel_;
};

}  // namespace velmora
