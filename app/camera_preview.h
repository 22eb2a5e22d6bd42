// The two camera steps that take frames on the interface thread: the preview step, which the
// worker asks for every pace, and the frame the camera timer decodes. They keep each other out
// through CameraFlags, so a preview never takes the frame a decode is waiting for.
#pragma once

#include <opencv2/core/mat.hpp>

#include "app/camera_flags.h"

class QImage;

namespace velmora {

class CCameraDS;

enum class PreviewOutcome {
    Skipped,  // nothing to do: closing, camera closed, or the timer step or another preview busy
    Shown,    // a new frame is in the bitmap; repaint it
    NoFrame,  // the camera gave no frame: camera.lastGrabStatus() says why
};

// Grabs a frame and copies it into *bitmap as a 24-bit picture. Sets PreviewBusy while it works
// and always clears it again; anything thrown is swallowed as Skipped.
PreviewOutcome runPreviewStep(CameraFlags& flags, CCameraDS& camera, QImage* bitmap);

// A fresh frame for the camera timer to decode, as a copy of its own; empty when the step must
// not run now (TimerBusy, a preview in progress, closing, camera closed) or the camera gave no
// frame (camera.lastGrabStatus() says why). Sets TimerBusy while it grabs and always clears it.
// Busy means "skip this tick": the next tick comes 50 ms later, and waiting here for a preview
// that is itself further down the call stack would never end.
cv::Mat takeTimerFrame(CameraFlags& flags, CCameraDS& camera);

}  // namespace velmora
