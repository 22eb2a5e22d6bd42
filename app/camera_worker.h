// The camera worker: a thread that paces the live preview.
//
// The worker never touches the camera or a window. Every pass it asks the interface thread to run
// the preview step and waits until that has run, then sleeps for the pace. It is created
// suspended, suspends itself when asked through CameraFlags::SuspendRequest and goes on when
// resumed. Ending it (the destructor) never deadlocks against a preview step still queued for the
// interface thread: while waiting it runs that step, which returns at once once CameraShutdown is
// set.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include <QMutex>
#include <QPointer>
#include <QThread>
#include <QWaitCondition>

#include "app/camera_flags.h"

namespace velmora {

class CamGrabShow : public QThread {
    Q_OBJECT

public:
    // Time between the end of one preview step and the request for the next.
    static constexpr std::chrono::milliseconds kPace{100};

    // A suspended worker for flags; each preview step runs previewStep on context's thread (the
    // interface thread: context is normally the main window). The flags must outlive the worker.
    CamGrabShow(CameraFlags& flags, QObject* context, std::function<void()> previewStep, QObject* parent = nullptr);
    // Asks the thread to end, wakes it if suspended and waits for it, running a preview step that
    // it is waiting on meanwhile. Must run on context's thread, while everything the preview step
    // touches still exists: the window should destroy its worker when it closes, not leave it to
    // Qt's deletion of children after the window's own members are gone.
    ~CamGrabShow() override;

    // True while the worker is suspended: from creation until the first Resume, and after it acted
    // on a SuspendRequest until the next Resume.
    bool Suspended() const;
    // Lets a suspended worker go on (starts the thread the first time). No effect otherwise, and
    // none once the worker has been asked to end.
    void Resume();
    // Sets SuspendRequest and wakes the worker from its pause, so that it suspends promptly.
    void RequestSuspend();
    // Waits at most timeout for the worker to be suspended, running any preview step it is waiting
    // on meanwhile (so the interface thread may call this). True when it is suspended.
    bool WaitSuspended(std::chrono::milliseconds timeout);
    // Asks the thread to end at its next pass, and wakes it. Does not wait.
    void Terminate();
    // Preview steps run so far.
    long long PreviewSteps() const;

protected:
    void run() override;

private:
    // Acts on a pending SuspendRequest and sleeps while suspended. False when the thread must end.
    bool passSuspension();
    // Runs the preview step on the context's thread and waits for it; skipped once CameraShutdown
    // is set or when there is no step.
    void runPreviewStep();
    // Sleeps for the pace unless woken; false when the thread must end.
    bool pause();
    // Runs the preview step this worker queued, on the calling thread; nothing else queued there.
    void runQueuedStep();

    CameraFlags& flags_;
    QPointer<QObject> context_;
    // Receives the preview steps on the context's thread, so that a wait runs only the worker's
    // own queued calls, never another call queued on the window (a dropped file's decode).
    std::unique_ptr<QObject> steps_;
    std::function<void()> previewStep_;

    mutable QMutex mutex_;
    QWaitCondition wake_;       // wakes the worker: resume, suspend request, terminate
    QWaitCondition suspended_;  // tells waiters that the worker has suspended itself
    bool isSuspended_ = true;
    bool terminateRequested_ = false;
    long long previewSteps_ = 0;
};

}  // namespace velmora
