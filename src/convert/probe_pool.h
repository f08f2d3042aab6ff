#pragma once
// Several probes at once: each slot has probe files of its own and runs on a
// thread of its own, while the caller's thread waits (keeping the window
// answering) and takes the answers strictly in the files' order. A stop, by
// the caller's `take` or by the user, ends the probes under way and starts no
// more. Plain logic: the probes and the wait are reached through interfaces.
#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/checked_path.h"
#include "app/runner_text.h"

namespace kv {

class IProbe;

// The probes that may run at once, each used by one thread at a time.
class IProbeSlots {
public:
    virtual ~IProbeSlots() = default;
    [[nodiscard]] virtual int Count() const = 0;
    virtual IProbe& Slot(int index) = 0;
    // From the waiting thread: ends the probes now under way, and every one
    // started until Rearm(); their answers are not used.
    virtual void EndRunning() = 0;
    virtual void Rearm() = 0;
};

// Probes run at once: one per logical processor, at most the slots whose
// files the tools' clean-up knows (eight).
[[nodiscard]] constexpr int ProbeSlotCount(unsigned logicalProcessors) noexcept {
    constexpr auto most = static_cast<unsigned>(kMostProbeSlots);
    return logicalProcessors < 1 ? 1 : static_cast<int>(logicalProcessors > most ? most : logicalProcessors);
}

// The caller's side of the wait.
class IProbeWait {
public:
    virtual ~IProbeWait() = default;
    // From any thread: an answer has arrived.
    virtual void Wake() = 0;
    // On the caller's thread: returns after Wake() (or earlier); false once the user asked to stop.
    virtual bool Wait() = 0;
    // A run of `total` files begins; the user's earlier stop no longer counts.
    virtual void Begin(std::size_t total) = 0;
    // `done` of `total` files are taken.
    virtual void Progress(std::size_t done, std::size_t total) = 0;
    // The run is over, however it ended.
    virtual void End() = 0;
};

struct ProbeResult {
    std::optional<std::string> answer;  // the reader's first line; nothing when it gave none
    std::exception_ptr failure;         // what the probe raised, if it did
};

class ProbePool {
public:
    // How it ended: every file taken, `take` said stop, or the user did.
    enum class Ended { All, Stopped, Cancelled };
    // Gets the file's index and result in order; false stops the pool there.
    using Take = std::function<bool(std::size_t index, ProbeResult& result)>;

    explicit ProbePool(IProbeSlots& slots) : slots_(slots) {}

    Ended Run(const std::vector<CheckedPath>& files, IProbeWait& wait, const Take& take);

private:
    IProbeSlots& slots_;
};

}  // namespace kv
