#pragma once
// Time as the program's limits count it: milliseconds the PC was awake. A
// laptop that sleeps for an hour in the middle of a conversion wakes to a
// transcoder that has been silent for an hour by the wall clock and for a
// moment by this one; the stall guard and the probe's limit must see the moment.
#include <cstdint>

namespace kv::win {

// Milliseconds of the system's unbiased interrupt time: it stops while the PC
// sleeps or hibernates and only goes forward.
[[nodiscard]] std::uint64_t AwakeMs() noexcept;

// A clock the limits take, so that tests can hand them another.
using MsClock = std::uint64_t (*)();

}  // namespace kv::win
