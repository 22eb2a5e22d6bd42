// The camera: the first video device of the system, or the source named in Config.ini.
//
// Frames come through OpenCV's capture (V4L2 for devices) and are handed out one at a time, each
// grab taking the next frame; there is no queue of our own. A configured source (a video file, a
// numbered picture sequence or a device path) takes the place of device 0, which is how the whole
// camera road runs without hardware.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include <opencv2/core/mat.hpp>

namespace velmora {

class CameraFrameReader;

// Why the last GrabFrame gave a frame or not.
enum class GrabStatus {
    Frame,        // a frame was grabbed
    NotOpen,      // the camera is not open
    EndOfStream,  // the source has no more pictures (a file at its end, a device that failed)
    TimedOut,     // the source gave nothing within the grab bound (unplugged, taken, stalled)
    BadFormat,    // the source gave a picture that is not 8-bit grey or colour
};

class CCameraDS {
public:
    // Longest a grab waits for the source; opening waits a little longer for a device to start.
    static constexpr std::chrono::milliseconds kGrabWait{2000};
    static constexpr std::chrono::milliseconds kOpenWait{5000};

    CCameraDS();
    virtual ~CCameraDS();
    CCameraDS(const CCameraDS&) = delete;
    CCameraDS& operator=(const CCameraDS&) = delete;

    // The source that replaces device 0 ([camera] sSource); empty for the devices alone. Takes
    // effect at the next Open.
    void setSource(std::string source) { source_ = std::move(source); }
    const std::string& source() const { return source_; }

    // The number of cameras: the video capture devices, where a configured source stands for the
    // first (so there is at least one whenever a source is set, even one that cannot be opened).
    int CountCameras() const;

    // Opens camera index (0 the first) asking for frames of width x height (a size that is not
    // positive keeps the camera's own; files and picture sequences always keep theirs) and reads
    // one frame to make sure the camera delivers. On success Connected() is true and width() and
    // height() hold the size actually delivered. On failure nothing stays open. An open camera is
    // closed first.
    bool Open(int index, int width, int height);

    // The next picture, upright (top row first), 3 channels of 8 bits in blue, green, red order,
    // of width() x height(). The picture belongs to the camera and stays valid until the next grab
    // or Close. Null when there is none (see lastGrabStatus()); waits at most kGrabWait. A source
    // picture of another size is copied only as far as it overlaps the frame, the rest black.
    cv::Mat* GrabFrame();

    // Stops and releases the capture and the frame; clears Connected() and the sizes. Safe to call
    // when nothing is open.
    void Close();

    bool Connected() const { return connected_; }
    int width() const { return width_; }
    int height() const { return height_; }
    GrabStatus lastGrabStatus() const { return grabStatus_; }

private:
    // Puts a source picture into frame_, converting it to 3 channels; false when it is not 8-bit.
    bool storeFrame(const cv::Mat& picture);

    std::string source_;
    int width_ = 0;
    int height_ = 0;
    cv::Mat frame_;
    // The frame Open read from a file or sequence, given by the first grab so that no picture is
    // lost. A device's opening frame is stale by the time grabbing starts and is dropped.
    cv::Mat openingFrame_;
    std::unique_ptr<CameraFrameReader> reader_;
    bool connected_ = false;
    GrabStatus grabStatus_ = GrabStatus::NotOpen;
};

}  // namespace velmora
