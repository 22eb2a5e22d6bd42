#include "engine/decode/pass_preparation.h"

#include <new>
#include <system_error>

namespace velmora {
namespace {

// The slots' pictures and line change storage, kept from one request to the next (requests come
// one at a time), so that a sweep reuses memory already grown rather than fault in new pages.
std::array<PreparedPass, kPreparedSlots> slotPool;

// Pictures above this many pixels give their memory back when the request ends.
constexpr long kKeptArea = 1920L * 1080L;

}  // namespace

PassPreparation::PassPreparation(const Raster& grey, int firstAhead)
    : grey_(grey),
      slots_{Slot{slotPool[0]}, Slot{slotPool[1]}, Slot{slotPool[2]}, Slot{slotPool[3]}},
      firstAhead_(firstAhead) {
    if (firstAhead_ == 0) startWorker();
}

void PassPreparation::startWorker() {
    try {
        worker_ = std::thread([this] { work(); });
        threaded_ = true;
    } catch (const std::system_error&) {
        // Without a second thread every pass is prepared when it is taken.
        threaded_ = false;
    }
}

PassPreparation::~PassPreparation() {
    if (threaded_) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_.store(true, std::memory_order_relaxed);
        }
        changed_.notify_all();
        worker_.join();
    }
    if (static_cast<long>(grey_.width) * grey_.height > kKeptArea) {
        for (Slot& slot : slots_) {
            destroyRaster(slot.pass.binary);
            slot.pass.binary = nullptr;
            slot.pass.changes.releaseStorage();
        }
    }
    destroyRaster(smoothed_);
}

PreparedPass& PassPreparation::take(int n) {
    Slot& slot = slots_[static_cast<std::size_t>(n % kPreparedSlots)];
    if (!threaded_) {
        prepare(n, slot.pass);
        slot.state = SlotState::Taken;
        slot.number = n;
        // A request that the first passes satisfy never starts the thread.
        if (n == firstAhead_ - 1) startWorker();
        return slot.pass;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return slot.state == SlotState::Ready && slot.number == n; });
    slot.state = SlotState::Taken;
    return slot.pass;
}

void PassPreparation::giveBack(int n) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        slots_[static_cast<std::size_t>(n % kPreparedSlots)].state = SlotState::Free;
    }
    changed_.notify_all();
}

// Prepares the passes after the first ones in order, each into the slot its number gives once
// that slot is free.
void PassPreparation::work() {
    for (int n = firstAhead_; n < static_cast<int>(kSchedule.size()); ++n) {
        Slot& slot = slots_[static_cast<std::size_t>(n % kPreparedSlots)];
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stop_.load(std::memory_order_relaxed) || slot.state == SlotState::Free; });
            if (stop_.load(std::memory_order_relaxed)) return;
        }
        prepare(n, slot.pass);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            slot.state = SlotState::Ready;
            slot.number = n;
        }
        changed_.notify_all();
    }
}

const Raster* PassPreparation::smoothedPicture() {
    if (!smoothingTried_) {
        smoothingTried_ = true;
        smoothed_ = createRaster(grey_.height, grey_.width, kRasterByte);
        try {
            if (smoothed_ != nullptr) smoothBox(&grey_, smoothed_, 1, 3);
        } catch (const std::bad_alloc&) {
            // No smoothed copy: its passes go without a picture, as when the copy cannot be made.
            destroyRaster(smoothed_);
            smoothed_ = nullptr;
        }
    }
    return smoothed_;
}

void PassPreparation::prepare(int n, PreparedPass& pass) {
    pass.swept = false;
    const SchedulePass p = kSchedule[static_cast<std::size_t>(n)];
    const int height = grey_.height, width = grey_.width;
    // A smoothed copy that cannot be made leaves its passes without a picture.
    const Raster* input = p.i >= 2 ? smoothedPicture() : &grey_;
    if (width < 18 || height < 18 || input == nullptr) {
        destroyRaster(pass.binary);
        pass.binary = nullptr;
        return;
    }
    if (pass.binary != nullptr && (pass.binary->height != height || pass.binary->width != width)) {
        destroyRaster(pass.binary);
        pass.binary = nullptr;
    }
    if (pass.binary == nullptr) pass.binary = createRaster(height, width, kRasterByte);
    if (pass.binary == nullptr) return;
    const bool thirds = p.i == 1 || p.i == 3;
    const int blockWidth = thirds ? thirdsBlockSize(width) : width;
    const int blockHeight = thirds ? thirdsBlockSize(height) : height;
    binarizeBlocks(p.j, pass.binary->rows, input->rows, width, height, blockWidth, blockHeight, thresholds_);
    packPicture(*pass.binary, pass.packed);
    pass.swept = pass.changes.sweep(pass.binary->rows, height, width, stop_);
}

}  // namespace velmora
