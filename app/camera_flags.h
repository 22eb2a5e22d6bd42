// The flags that the camera commands, the camera timer, the preview step and the camera worker
// share. The worker reads and clears them from its own thread, so they are atomics.
#pragma once

#include <atomic>

namespace velmora {

struct CameraFlags {
    // The program is closing: every camera step returns at once. Never cleared.
    std::atomic<bool> CameraShutdown{false};
    // Asks the worker to suspend itself at its next pass; the worker clears it when it does.
    std::atomic<bool> SuspendRequest{false};
    // The timer step is taking a frame: keeps the preview step and a second timer step out.
    std::atomic<bool> TimerBusy{false};
    // The preview step is running: the timer step waits for it.
    std::atomic<bool> PreviewBusy{false};
};

}  // namespace velmora
