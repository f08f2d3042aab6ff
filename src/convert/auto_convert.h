#pragma once
// Converting without a press of the convert button: files that came with the
// "/convert" switch are converted once they are in. Explorer starts one copy
// of the program per selected file, all within a second or so, and each later
// copy hands its file to the first; the run waits until the hand-overs have
// paused for a moment, so that the files of one selection make one run. A
// file that still comes later is converted after that run, as its own request.
// The run takes the rows the request's files made, and only those: rows the
// user added or left pending wait for the convert button. A request whose
// files gave no row starts nothing.
#include <cstdint>
#include <optional>
#include <vector>

namespace kv {

class AutoConvert {
public:
    // How long the hand-overs must pause before the run starts.
    static constexpr std::uint64_t kSettleMs = 1500;

    // Files came with the switch: the request they belong to (one that is
    // still waiting takes them in), never 0.
    std::uint64_t Request(std::uint64_t nowMs) noexcept;
    // A row made from a file of `request` (0: a file without the switch).
    void RowAdded(std::uint64_t request, std::int64_t jobId);
    // Files came without it: a request already made waits for them too.
    void Arrived(std::uint64_t nowMs) noexcept;

    [[nodiscard]] bool Pending() const noexcept { return requested_; }
    // Milliseconds until a pending request is due (0 once it is); nothing
    // when none is pending.
    [[nodiscard]] std::optional<std::uint64_t> WaitLeft(std::uint64_t nowMs) const noexcept;
    // Once for each request: due and the window idle (no run, no add command,
    // no dialog or menu, nothing handed over still waiting to be added), the
    // rows its files made, in the order they were added; the request is then
    // done, even when it made none. While the window is not idle the request
    // stays and is asked again. Nothing otherwise.
    std::optional<std::vector<std::int64_t>> TakeIfDue(std::uint64_t nowMs, bool idle);

private:
    bool requested_ = false;
    std::uint64_t lastArrivalMs_ = 0;
    std::uint64_t current_ = 0;  // the waiting request's number
    std::vector<std::int64_t> rows_;
};

}  // namespace kv
