#include "app/camera_device.h"

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

#include "app/camera_frame_reader.h"
#include "app/camera_source.h"

namespace velmora {
namespace {

// The capture for a configured source, or false with nothing to open.
bool targetForSource(const std::string& source, int width, int height, CaptureTarget& target) {
    target.path = source;
    switch (classifyCameraSource(source)) {
        case CameraSourceKind::Device:
            // A node that is not a capture device (a metadata node, /dev/null) is refused here
            // rather than half-opened by the back end.
            if (!isVideoCaptureDevice(source)) return false;
            target.backends = {cv::CAP_V4L2};
            target.width = width;
            target.height = height;
            target.live = true;
            return true;
        case CameraSourceKind::PictureSequence:
            target.backends = {cv::CAP_IMAGES};
            return true;
        case CameraSourceKind::VideoFile:
            target.backends = {cv::CAP_FFMPEG, cv::CAP_OPENCV_MJPEG};
            return true;
    }
    return false;
}

}  // namespace

CCameraDS::CCameraDS() = default;

CCameraDS::~CCameraDS() { Close(); }

int CCameraDS::CountCameras() const {
    const int devices = static_cast<int>(captureDevicePaths().size());
    return source_.empty() ? devices : std::max(devices, 1);
}

bool CCameraDS::Open(int index, int width, int height) {
    Close();
    if (index < 0) return false;
    CaptureTarget target;
    if (!source_.empty() && index == 0) {
        if (!targetForSource(source_, width, height, target)) return false;
    } else {
        // With a source configured it is camera 0, and the devices after the first keep their
        // numbers.
        const std::vector<std::string> devices = captureDevicePaths();
        if (index >= static_cast<int>(devices.size())) return false;
        target = CaptureTarget{devices[index], {cv::CAP_V4L2}, width, height, true, {}};
    }
    auto reader = std::make_unique<CameraFrameReader>();
    cv::Mat first;
    if (!reader->open(target, kOpenWait, first)) return false;
    // The first frame tells the size actually delivered, which a driver may have chosen freely.
    width_ = first.cols;
    height_ = first.rows;
    if (!storeFrame(first)) {
        width_ = height_ = 0;
        return false;
    }
    if (classifyCameraSource(target.path) != CameraSourceKind::Device) openingFrame_ = frame_.clone();
    reader_ = std::move(reader);
    connected_ = true;
    grabStatus_ = GrabStatus::Frame;
    return true;
}

cv::Mat* CCameraDS::GrabFrame() {
    if (!connected_) {
        grabStatus_ = GrabStatus::NotOpen;
        return nullptr;
    }
    cv::Mat picture;
    if (!openingFrame_.empty()) {
        picture = std::move(openingFrame_);
        openingFrame_ = cv::Mat();
    } else {
        switch (reader_->read(picture, kGrabWait)) {
            case ReadOutcome::Frame: break;
            case ReadOutcome::EndOfStream: grabStatus_ = GrabStatus::EndOfStream; return nullptr;
            case ReadOutcome::TimedOut: grabStatus_ = GrabStatus::TimedOut; return nullptr;
        }
    }
    if (!storeFrame(picture)) {
        grabStatus_ = GrabStatus::BadFormat;
        return nullptr;
    }
    grabStatus_ = GrabStatus::Frame;
    return &frame_;
}

void CCameraDS::Close() {
    if (reader_) reader_->close();
    reader_.reset();
    frame_.release();
    openingFrame_.release();
    connected_ = false;
    width_ = height_ = 0;
}

bool CCameraDS::storeFrame(const cv::Mat& picture) {
    if (picture.empty() || picture.depth() != CV_8U) return false;
    cv::Mat colour;
    switch (picture.channels()) {
        case 1: cv::cvtColor(picture, colour, cv::COLOR_GRAY2BGR); break;
        case 3: colour = picture; break;
        case 4: cv::cvtColor(picture, colour, cv::COLOR_BGRA2BGR); break;
        default: return false;
    }
    // The frame keeps the size found at Open; it is made anew only when something else replaced it.
    if (frame_.rows != height_ || frame_.cols != width_ || frame_.type() != CV_8UC3) {
        frame_.create(height_, width_, CV_8UC3);
    }
    const int rows = std::min(colour.rows, height_);
    const int cols = std::min(colour.cols, width_);
    if (rows < height_ || cols < width_) frame_.setTo(cv::Scalar::all(0));
    colour(cv::Rect(0, 0, cols, rows)).copyTo(frame_(cv::Rect(0, 0, cols, rows)));
    return true;
}

}  // namespace velmora
