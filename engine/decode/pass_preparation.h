// The schedule's binary pictures and their line changes, made one pass ahead on a second thread
// while the main thread searches the pass before. A pass's binarisation and its sweep of line
// changes depend on the grey picture alone, so the search receives exactly what it would have
// made itself; the second core takes that share of the work off the search.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "engine/decode/repeated_passes.h"
#include "engine/geometry/line_runs.h"
#include "engine/image/binarization.h"
#include "engine/image/raster.h"

namespace velmora {

// One pass of the schedule: i = 0 whole picture, 1 thirds, 2 and 3 the same on the 3 x 3 mean;
// j the binarisation strategy.
struct SchedulePass {
    int i;
    int j;
};

// The sixteen passes in order: strategies 0 to 4 for the whole-picture layouts, 0 to 2 for the
// thirds.
inline constexpr std::array<SchedulePass, 16> kSchedule = {{{0, 0}, {0, 1}, {0, 2}, {0, 3}, {0, 4},
                                                            {1, 0}, {1, 1}, {1, 2},
                                                            {2, 0}, {2, 1}, {2, 2}, {2, 3}, {2, 4},
                                                            {3, 0}, {3, 1}, {3, 2}}};

// A prepared pass: its binary picture (1 light, 0 dark; null when none could be made: a side
// under 18 pixels, memory short, or no smoothed copy), the picture packed, and, when swept, its
// line changes.
struct PreparedPass {
    Raster* binary = nullptr;
    PackedPicture packed;
    PreparedLineChanges changes;
    bool swept = false;
};

// A request for one symbol prepares its first passes on the calling thread when they are taken:
// most such requests end in them, and need no second thread. From this pass on, and from the
// first for every other request, the passes are prepared ahead.
inline constexpr int kFirstPreparedAhead = 2;

// Passes prepared and not yet handed back: the second thread runs ahead through the passes whose
// search is long, and the search catches up in those it skips or ends soon.
inline constexpr int kPreparedSlots = 4;

class PassPreparation {
public:
    // Prepares the schedule's passes over grey, which must outlive the preparation, from pass
    // firstAhead on (0 or kFirstPreparedAhead) on the second thread.
    PassPreparation(const Raster& grey, int firstAhead);
    // Stops the preparing thread (a sweep under way gives up) and frees the pictures.
    ~PassPreparation();
    PassPreparation(const PassPreparation&) = delete;
    PassPreparation& operator=(const PassPreparation&) = delete;

    // Pass n of the schedule, taken in order; waits until it is ready. The caller may change
    // the binary picture; it is the caller's until giveBack(n). Taking the last pass prepared
    // on the calling thread starts the second one.
    PreparedPass& take(int n);
    // Hands pass n back, so that its slot can hold pass n + kPreparedSlots.
    void giveBack(int n);

private:
    enum class SlotState { Free, Ready, Taken };
    struct Slot {
        PreparedPass& pass;
        SlotState state = SlotState::Free;
        int number = -1;
    };

    void startWorker();
    void work();
    void prepare(int n, PreparedPass& pass);
    const Raster* smoothedPicture();

    const Raster& grey_;
    std::array<Slot, kPreparedSlots> slots_;
    Raster* smoothed_ = nullptr;
    bool smoothingTried_ = false;
    ThresholdTable thresholds_{};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::atomic<bool> stop_{false};
    std::thread worker_;
    bool threaded_ = false;
    int firstAhead_;
};

}  // namespace velmora
