#include "engine/decode/decode_request.h"

#include <chrono>

#include "engine/velmora_engine.h"

C_QrDecodedData g_QrDecodedData{};
C_QrTextMeaning g_QrTextMeaning{};

namespace velmora {
namespace {

struct RequestState {
    int wanted = 1;
    bool convertUtf8 = false;
    uint32_t startTime = 0;
};

RequestState request;
uint32_t budget = kDefaultTimeBudget;

}  // namespace

uint32_t millisecondClock() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void beginDecodeRequest(int wanted, bool convertUtf8) {
    request.wanted = wanted;
    request.convertUtf8 = convertUtf8;
    request.startTime = millisecondClock();
}

int wantedCount() { return request.wanted; }

void widenDecodeRequest(int wanted) { request.wanted = wanted; }

bool convertUtf8Requested() { return request.convertUtf8; }

void setTimeBudget(uint32_t milliseconds) { budget = milliseconds; }

uint32_t timeBudget() { return budget; }

bool budgetSpent() { return budget != 0 && static_cast<uint32_t>(millisecondClock() - request.startTime) >= budget; }

}  // namespace velmora
