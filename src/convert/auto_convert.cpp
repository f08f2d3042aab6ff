#include "convert/auto_convert.h"

namespace kv {

void AutoConvert::Request(std::uint64_t nowMs, std::int64_t nextJobId) noexcept {
    // A request joining a waiting one keeps its first row.
    if (!requested_) firstJobId_ = nextJobId;
    requested_ = true;
    lastArrivalMs_ = nowMs;
}

void AutoConvert::Arrived(std::uint64_t nowMs) noexcept {
    if (requested_) lastArrivalMs_ = nowMs;
}

std::optional<std::uint64_t> AutoConvert::WaitLeft(std::uint64_t nowMs) const noexcept {
    if (!requested_) return std::nullopt;
    // A clock that went back (another clock handed in) waits the whole pause again.
    const std::uint64_t since = nowMs >= lastArrivalMs_ ? nowMs - lastArrivalMs_ : 0;
    return since >= kSettleMs ? 0 : kSettleMs - since;
}

bool AutoConvert::TakeIfDue(std::uint64_t nowMs, bool idle, bool rowsAdded) noexcept {
    const auto left = WaitLeft(nowMs);
    if (!left || *left > 0 || !idle) return false;
    requested_ = false;
    return rowsAdded;
}

}  // namespace kv
