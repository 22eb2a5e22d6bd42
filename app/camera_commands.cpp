// The main window's camera: turning the first camera on and off, grabbing with a live preview in
// Image2 while the camera timer decodes frame after frame, and ending all of it when the window
// closes.
//
// The camera, the flags and the worker live in one CameraState owned by the window. Everything
// that touches the camera or a window runs on the interface thread: the worker only paces the
// preview steps and hands each one over through a blocking call.
#include <QAction>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "app/camera_device.h"
#include "app/camera_flags.h"
#include "app/camera_frame_decode.h"
#include "app/camera_preview.h"
#include "app/camera_worker.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/picture_view.h"
#include "app/wait_cursor.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;

// How long a command waits for the worker to leave a preview step and suspend itself.
constexpr std::chrono::milliseconds kSuspendWait = 200ms;

// A warning in the camera's caption with an OK button, kept above the other windows, that waits
// for the user.
void showCameraMessage(QWidget* parent, const QString& text) {
    QMessageBox box(QMessageBox::Warning, currentCameraTexts().caption, text, QMessageBox::Ok, parent);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box.exec();
}

// The status text that says why grabbing ended, in the language of the window.
QString grabStatusText(GrabStatus status) {
    const CameraTexts& texts = currentCameraTexts();
    switch (status) {
    case GrabStatus::NotOpen: return texts.notopen;
    case GrabStatus::EndOfStream: return texts.nomorepictures;
    case GrabStatus::TimedOut: return texts.stopped;
    case GrabStatus::BadFormat: return texts.badformat;
    case GrabStatus::Frame: break;
    }
    return {};
}

}  // namespace

struct TForm1::CameraState {
    CCameraDS device;
    CameraFlags flags;
    // Null once the window has closed: the worker has then ended.
    std::unique_ptr<CamGrabShow> worker;
};

void TForm1::CameraStateDeleter::operator()(CameraState* state) const {
    delete state;
}

void TForm1::createCamera() {
    camera_.reset(new CameraState);
    camera_->worker = std::make_unique<CamGrabShow>(camera_->flags, this, [this] { showCameraPreview(); });
}

TForm1::~TForm1() {
    shutDownCamera();
}

void TForm1::connectCameraCommands() {
    N_Cam->setCheckable(true);
    connect(N_Cam, &QAction::triggered, this, &TForm1::ToolButtonCamClick);
    connect(N_CamGrab, &QAction::triggered, this, &TForm1::ToolButton_CamParseClick);
    connect(TimerCam, &QTimer::timeout, this, &TForm1::TimerCamTimer);
}

bool TForm1::CameraConnected() const {
    return camera_->device.Connected();
}

const CamGrabShow* TForm1::cameraWorker() const {
    return camera_->worker.get();
}

void TForm1::setGrabbingEnabled(bool enabled) {
    // The tool button follows its command.
    N_CamGrab->setEnabled(enabled);
}

void TForm1::stopGrabbing(const QString& status) {
    TimerCam->stop();
    if (camera_->worker) camera_->worker->RequestSuspend();
    if (!status.isEmpty()) setStatusText(status);
}

void TForm1::ToolButtonCamClick() {
    CameraState& camera = *camera_;
    if (camera.flags.CameraShutdown || !camera.worker) return;
    // Grabbing ends first; the worker leaves any step it is in before the camera goes.
    stopGrabbing();
    camera.worker->WaitSuspended(kSuspendWait);
    N_Cam->setChecked(false);

    if (camera.device.Connected()) {
        setGrabbingEnabled(false);
        camera.device.Close();
        // The preview shows what the camera sees; with the camera closed it sees nothing.
        Image2->setPicture(QImage());
        return;
    }
    camera.device.setSource(config_.sSource);
    if (camera.device.CountCameras() == 0) {
        showCameraMessage(this, currentCameraTexts().nocamera);
        setGrabbingEnabled(false);
        return;
    }
    bool opened = false;
    {
        // A device may take seconds to start streaming.
        WaitCursor wait;
        opened = camera.device.Open(0, config_.iCameraWidth, config_.iCameraHeight);
    }
    if (!opened) {
        showCameraMessage(this, currentCameraTexts().cannotopen);
        setGrabbingEnabled(false);
        return;
    }
    setGrabbingEnabled(true);
    N_Cam->setChecked(true);
}

void TForm1::ToolButton_CamParseClick() {
    CameraState& camera = *camera_;
    if (camera.flags.CameraShutdown || !camera.worker) return;
    // Without a camera there is nothing to start (the command is disabled then).
    if (!TimerCam->isActive() && !camera.device.Connected()) return;
    // The encode view gives way to the frames; an empty box still drops the last picture.
    const bool wasEmpty = Memo1->document()->isEmpty();
    Memo1->clear();
    if (wasEmpty) Memo1Change();
    try {
        if (TimerCam->isActive()) {
            stopGrabbing();
            camera.worker->WaitSuspended(kSuspendWait);
            return;
        }
        camera.flags.SuspendRequest = false;
        TimerCam->start();
        camera.worker->Resume();
    } catch (const std::exception&) {
        stopGrabbing();
    }
}

void TForm1::showCameraPreview() {
    CameraState& camera = *camera_;
    // The preview is live only while grabbing. A step queued just before grabbing stopped would
    // take one more frame past the one the user sees decoded.
    if (!TimerCam->isActive() || camera.flags.SuspendRequest) return;
    QImage bitmap;
    switch (runPreviewStep(camera.flags, camera.device, &bitmap)) {
        case PreviewOutcome::Shown:
            Image2->setPicture(bitmap);
            break;
        case PreviewOutcome::NoFrame:
            stopGrabbing(grabStatusText(camera.device.lastGrabStatus()));
            break;
        case PreviewOutcome::Skipped:
            break;
    }
}

void TForm1::TimerCamTimer() {
    CameraState& camera = *camera_;
    if (camera.flags.TimerBusy || camera.flags.CameraShutdown) return;
    try {
        cv::Mat frame = takeTimerFrame(camera.flags, camera.device);
        if (frame.empty()) {
            // A busy tick is only skipped; an open camera that gave nothing ends grabbing and
            // says why.
            const GrabStatus status = camera.device.lastGrabStatus();
            if (camera.device.Connected() && !camera.flags.PreviewBusy && status != GrabStatus::Frame)
                stopGrabbing(grabStatusText(status));
            return;
        }
        if (DecodeCameraFrame(frame) == 1) stopGrabbing();
    } catch (const std::exception&) {
        camera.flags.TimerBusy = false;
        stopGrabbing();
    }
}

int TForm1::DecodeCameraFrame(cv::Mat& frame) {
    if (frame.empty() || frame.depth() != CV_8U) return 0;
    const int count = decodeFrameSymbols(frame, config_.iQrMsg_Max);
    scanSource_ = ScanSource::Camera;
    scanPath_.clear();
    // The reader looks for one to four symbols and the setting keeps what it used.
    config_.iQrMsg_Max = std::clamp(config_.iQrMsg_Max, 1, 4);
    ReportResults(count);
    if (frame.channels() == 1) cv::cvtColor(frame, frame, cv::COLOR_GRAY2BGR);
    if (frame.channels() == 3) ShowMarkedPicture(frame);
    return count;
}

void TForm1::shutDownCamera() {
    if (!camera_ || !camera_->worker) return;
    CameraState& camera = *camera_;
    camera.flags.CameraShutdown = true;
    stopGrabbing();
    if (camera.device.Connected()) camera.device.Close();
    // Ending the worker runs a preview step it may be waiting on, which returns at once now.
    camera.worker.reset();
    N_Cam->setChecked(false);
    setGrabbingEnabled(false);
}

}  // namespace velmora
