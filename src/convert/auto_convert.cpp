#include "convert/auto_convert.h"

#include <utility>

namespace kv {

std::uint64_t AutoConvert::Request(std::uint64_t nowMs) noexcept {
    // A request joining a waiting one is part of it.
    if (!requested_) {
        ++current_;
        rows_.clear();
    }
    requested_ = true;
    lastArrivalMs_ = nowMs;
    return current_;
}

void AutoConvert::RowAdded(std::uint64_t request, std::int64_t jobId) {
    if (requested_ && request != 0 && request == current_) rows_.push_back(jobId);
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

std::optional<std::vector<std::int64_t>> AutoConvert::TakeIfDue(std::uint64_t nowMs, bool idle) {
    const auto left = WaitLeft(nowMs);
    if (!left || *left > 0 || !idle) return std::nullopt;
    requested_ = false;
    return std::exchange(rows_, {});
}

}  // namespace kv
