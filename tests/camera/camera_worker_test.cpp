// The camera worker: created suspended, pacing preview steps on the interface thread, suspending
// itself on request, and ending without deadlock or leak whatever it was doing.
#include <atomic>
#include <chrono>
#include <memory>

#include <QObject>
#include <QThread>

#include <gtest/gtest.h>

#include "app/camera_worker.h"
#include "camera_events.h"

namespace velmora {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using test::runEventsFor;
using test::runEventsUntil;

// A worker whose preview step counts itself and notes whether it ran on the interface thread.
struct WorkerRig {
    CameraFlags flags;
    QObject window;
    std::atomic<int> steps{0};
    std::atomic<bool> offThread{false};
    std::unique_ptr<CamGrabShow> worker = std::make_unique<CamGrabShow>(flags, &window, [this] {
        if (QThread::currentThread() != window.thread()) offThread = true;
        ++steps;
    });
};

TEST(CamGrabShowStarts, SuspendedWithNoThreadAndNoSteps) {
    WorkerRig rig;
    EXPECT_TRUE(rig.worker->Suspended());
    EXPECT_FALSE(rig.worker->isRunning());
    runEventsFor(250ms);
    EXPECT_EQ(rig.steps, 0);
}

TEST(CamGrabShowPaces, StepsOnTheInterfaceThreadAboutTenASecond) {
    WorkerRig rig;
    rig.worker->Resume();
    EXPECT_FALSE(rig.worker->Suspended());
    runEventsFor(1000ms);
    EXPECT_GE(rig.steps, 4);   // live
    EXPECT_LE(rig.steps, 12);  // and paced, not spinning
    EXPECT_EQ(rig.worker->PreviewSteps(), rig.steps);
    EXPECT_FALSE(rig.offThread);
}

TEST(CamGrabShowSuspends, OnRequestAndGoesOnWhenResumed) {
    WorkerRig rig;
    rig.worker->Resume();
    ASSERT_TRUE(runEventsUntil([&] { return rig.steps >= 2; }, 3s));
    rig.flags.SuspendRequest = true;
    ASSERT_TRUE(runEventsUntil([&] { return rig.worker->Suspended(); }, 1s));
    EXPECT_FALSE(rig.flags.SuspendRequest);  // the worker took the request
    runEventsFor(50ms);
    const int stepsWhenSuspended = rig.steps;
    runEventsFor(300ms);
    EXPECT_EQ(rig.steps, stepsWhenSuspended);
    rig.worker->Resume();
    EXPECT_TRUE(runEventsUntil([&] { return rig.steps > stepsWhenSuspended; }, 2s));
}

TEST(CamGrabShowSuspends, WaitingRunsTheStepItIsBlockedOn) {
    WorkerRig rig;
    rig.worker->Resume();
    ASSERT_TRUE(runEventsUntil([&] { return rig.steps >= 1; }, 3s));
    // No events run here: after its pause the worker sits in a blocking call to this thread.
    QThread::msleep(250);
    const int before = rig.steps;
    rig.worker->RequestSuspend();
    EXPECT_TRUE(rig.worker->WaitSuspended(1s));
    EXPECT_GT(rig.steps, before);
}

TEST(CamGrabShowSuspends, WaitingRunsNoOtherCallQueuedOnTheWindow) {
    WorkerRig rig;
    rig.worker->Resume();
    ASSERT_TRUE(runEventsUntil([&] { return rig.steps >= 1; }, 3s));
    // A call queued on the window, as a dropped file's decode is, waits for the event loop.
    bool otherRan = false;
    QMetaObject::invokeMethod(&rig.window, [&otherRan] { otherRan = true; }, Qt::QueuedConnection);
    QThread::msleep(250);
    const int before = rig.steps;
    rig.worker->RequestSuspend();
    EXPECT_TRUE(rig.worker->WaitSuspended(1s));
    EXPECT_GT(rig.steps, before);
    EXPECT_FALSE(otherRan);
    runEventsFor(20ms);
    EXPECT_TRUE(otherRan);
}

TEST(CamGrabShowSuspends, NoStepsOnceShuttingDown) {
    WorkerRig rig;
    rig.worker->Resume();
    ASSERT_TRUE(runEventsUntil([&] { return rig.steps >= 1; }, 3s));
    rig.flags.CameraShutdown = true;
    runEventsFor(150ms);  // a step asked for before the flag still runs
    const int steps = rig.steps;
    runEventsFor(400ms);
    EXPECT_EQ(rig.steps, steps);
}

// Destroys the rig's worker and returns how long that took.
Clock::duration destroyWorker(WorkerRig& rig) {
    const auto start = Clock::now();
    rig.worker.reset();
    return Clock::now() - start;
}

TEST(CamGrabShowEnds, WhileBlockedOnAStepDuringShutdown) {
    WorkerRig rig;
    rig.worker->Resume();
    ASSERT_TRUE(runEventsUntil([&] { return rig.steps >= 1; }, 3s));
    QThread::msleep(250);  // the worker now waits on a step that only this thread can run
    rig.flags.CameraShutdown = true;
    rig.flags.SuspendRequest = true;
    EXPECT_LT(destroyWorker(rig), 1s);
}

TEST(CamGrabShowEnds, WhileSuspendedOrNeverStarted) {
    WorkerRig never;
    EXPECT_LT(destroyWorker(never), 100ms);

    WorkerRig suspended;
    suspended.worker->Resume();
    suspended.worker->RequestSuspend();
    ASSERT_TRUE(suspended.worker->WaitSuspended(2s));
    EXPECT_LT(destroyWorker(suspended), 1s);
}

TEST(CamGrabShowEnds, WithoutTheShutdownFlag) {
    // Ending the worker must not depend on the program closing, or destroying it would hang.
    WorkerRig rig;
    rig.worker->Resume();
    ASSERT_TRUE(runEventsUntil([&] { return rig.steps >= 1; }, 3s));
    EXPECT_LT(destroyWorker(rig), 1s);
}

TEST(CamGrabShowEnds, AndIsNotStartedAgain) {
    WorkerRig rig;
    rig.worker->Terminate();
    rig.worker->Resume();
    EXPECT_FALSE(rig.worker->isRunning());
    EXPECT_TRUE(rig.worker->Suspended());
    runEventsFor(200ms);
    EXPECT_EQ(rig.steps, 0);
}

}  // namespace
}  // namespace velmora
