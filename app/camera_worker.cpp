#include "app/camera_worker.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>

namespace velmora {

CamGrabShow::CamGrabShow(CameraFlags& flags, QObject* context, std::function<void()> previewStep, QObject* parent)
    : QThread(parent), flags_(flags), context_(context), steps_(std::make_unique<QObject>()),
      previewStep_(std::move(previewStep)) {
    if (context != nullptr) steps_->moveToThread(context->thread());
}

CamGrabShow::~CamGrabShow() {
    Terminate();
    // The worker may be blocked handing us a preview step: run it while waiting, or both wait
    // for ever.
    while (!wait(QDeadlineTimer(10))) runQueuedStep();
}

bool CamGrabShow::Suspended() const {
    QMutexLocker lock(&mutex_);
    return isSuspended_;
}

void CamGrabShow::Resume() {
    QMutexLocker lock(&mutex_);
    if (terminateRequested_) return;
    isSuspended_ = false;
    wake_.wakeAll();
    lock.unlock();
    // The thread starts on the first resume: a camera that is never used costs no thread.
    if (!isRunning() && !isFinished()) start();
}

void CamGrabShow::RequestSuspend() {
    QMutexLocker lock(&mutex_);
    flags_.SuspendRequest = true;
    wake_.wakeAll();
}

bool CamGrabShow::WaitSuspended(std::chrono::milliseconds timeout) {
    const QDeadlineTimer deadline(static_cast<qint64>(timeout.count()));
    for (;;) {
        {
            QMutexLocker lock(&mutex_);
            if (isSuspended_ || !isRunning()) return true;
            if (deadline.hasExpired()) return false;
        }
        runQueuedStep();
        QMutexLocker lock(&mutex_);
        if (!isSuspended_) suspended_.wait(&mutex_, QDeadlineTimer(std::min<qint64>(5, deadline.remainingTime())));
    }
}

void CamGrabShow::Terminate() {
    QMutexLocker lock(&mutex_);
    terminateRequested_ = true;
    wake_.wakeAll();
}

long long CamGrabShow::PreviewSteps() const {
    QMutexLocker lock(&mutex_);
    return previewSteps_;
}

void CamGrabShow::run() {
    while (passSuspension()) {
        runPreviewStep();
        if (!pause()) break;
    }
    QMutexLocker lock(&mutex_);
    suspended_.wakeAll();
}

bool CamGrabShow::passSuspension() {
    QMutexLocker lock(&mutex_);
    if (flags_.SuspendRequest.exchange(false)) isSuspended_ = true;
    while (isSuspended_ && !terminateRequested_) {
        suspended_.wakeAll();
        wake_.wait(&mutex_);
    }
    return !terminateRequested_;
}

void CamGrabShow::runPreviewStep() {
    if (flags_.CameraShutdown || !previewStep_) return;
    if (context_.isNull()) return;
    QMetaObject::invokeMethod(
        steps_.get(),
        [this] {
            // A failing preview step costs one picture, not the program; a context gone since the
            // call was queued has nothing to show it on.
            try {
                if (!context_.isNull()) previewStep_();
            } catch (...) {
            }
            QMutexLocker lock(&mutex_);
            ++previewSteps_;
        },
        Qt::BlockingQueuedConnection);
}

bool CamGrabShow::pause() {
    QMutexLocker lock(&mutex_);
    if (!terminateRequested_ && !flags_.SuspendRequest) {
        wake_.wait(&mutex_, QDeadlineTimer(static_cast<qint64>(kPace.count())));
    }
    return !terminateRequested_;
}

void CamGrabShow::runQueuedStep() {
    if (steps_->thread() != QThread::currentThread()) return;
    QCoreApplication::sendPostedEvents(steps_.get(), QEvent::MetaCall);
}

}  // namespace velmora
