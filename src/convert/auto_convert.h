#pragma once
// Converting without a press of the convert button: files that came with the
// "/convert" switch are converted once they are in. Explorer starts one copy
// of the program per selected file, all within a second or so, and each later
// copy hands its file to the first; the run waits until the hand-overs have
// paused for a moment, so that the files of one selection make one run. A
// file that still comes later is converted after that run, as its own request.
// The run is the convert button's: it takes every pending row of the list.
// A request whose files gave no row (none usable, or no MP4 in the folder)
// starts nothing: the user's own pending rows wait for the button.
#include <cstdint>
#include <optional>

namespace kv {

class AutoConvert {
public:
    // How long the hand-overs must pause before the run starts.
    static constexpr std::uint64_t kSettleMs = 1500;

    // Files came with the switch; `nextJobId`: the id the next row will get.
    void Request(std::uint64_t nowMs, std::int64_t nextJobId) noexcept;
    // Rows from this id on were added while the request waited.
    [[nodiscard]] std::int64_t FirstJobId() const noexcept { return firstJobId_; }
    // Files came without it: a request already made waits for them too.
    void Arrived(std::uint64_t nowMs) noexcept;

    [[nodiscard]] bool Pending() const noexcept { return requested_; }
    // Milliseconds until a pending request is due (0 once it is); nothing
    // when none is pending.
    [[nodiscard]] std::optional<std::uint64_t> WaitLeft(std::uint64_t nowMs) const noexcept;
    // True once for each request: it is due, the window is idle (no run, no
    // add command, no dialog or menu, nothing handed over still waiting to be
    // added) and `rowsAdded` (a pending row from FirstJobId() on). While the
    // window is not idle the request stays and is asked again; due and idle
    // without rows, it is dropped.
    bool TakeIfDue(std::uint64_t nowMs, bool idle, bool rowsAdded) noexcept;

private:
    bool requested_ = false;
    std::uint64_t lastArrivalMs_ = 0;
    std::int64_t firstJobId_ = 0;
};

}  // namespace kv
