#pragma once

#include <cstdint>

namespace tolvane {

// Milliseconds on the monotonic clock, truncated to 32 bits: wraps after ~49.7 days.
std::uint32_t GetTickCount();

// Whether tick `now` has reached `deadline`; correct across the wrap as long
// as the two are less than 2^31 ms apart.
constexpr bool TickReached(std::uint32_t now, std::uint32_t deadline) {
    return static_cast<std::int32_t>(now - deadline) >= 0;
}

}  // namespace tolvane
