#include "app/camera_preview.h"

#include <QImage>

#include "app/camera_device.h"
#include "app/image_bitmap.h"

namespace velmora {
namespace {

// Sets a flag for the life of the guard; clears it on every way out.
class FlagGuard {
public:
    explicit FlagGuard(std::atomic<bool>& flag) : flag_(flag) { flag_ = true; }
    ~FlagGuard() { flag_ = false; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

private:
    std::atomic<bool>& flag_;
};

}  // namespace

PreviewOutcome runPreviewStep(CameraFlags& flags, CCameraDS& camera, QImage* bitmap) {
    if (flags.CameraShutdown || !camera.Connected() || flags.TimerBusy || flags.PreviewBusy) {
        return PreviewOutcome::Skipped;
    }
    FlagGuard busy(flags.PreviewBusy);
    if (flags.CameraShutdown) return PreviewOutcome::Skipped;
    try {
        const cv::Mat* frame = camera.GrabFrame();
        if (frame == nullptr) return PreviewOutcome::NoFrame;
        return CopyImageToBitmap(*frame, bitmap) ? PreviewOutcome::Shown : PreviewOutcome::Skipped;
    } catch (...) {
        return PreviewOutcome::Skipped;
    }
}

cv::Mat takeTimerFrame(CameraFlags& flags, CCameraDS& camera) {
    if (flags.TimerBusy || flags.PreviewBusy || flags.CameraShutdown || !camera.Connected()) return {};
    FlagGuard busy(flags.TimerBusy);
    if (flags.CameraShutdown) return {};
    const cv::Mat* frame = camera.GrabFrame();
    return frame == nullptr ? cv::Mat() : frame->clone();
}

}  // namespace velmora
