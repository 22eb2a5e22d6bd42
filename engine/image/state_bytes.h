// The bytes of a piece of process-wide state, for code that must copy or compare it whole (the
// decode driver recognises a pass that repeats an earlier one by them).
#pragma once

#include <cstddef>
#include <span>
#include <type_traits>

namespace velmora {

template <class State>
std::span<std::byte> stateBytes(State& state) {
    static_assert(std::is_trivially_copyable_v<State>, "state copied as bytes must be trivially copyable");
    return std::as_writable_bytes(std::span<State, 1>(&state, 1));
}

}  // namespace velmora
