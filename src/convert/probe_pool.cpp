#include "convert/probe_pool.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <utility>

#include "convert/duration_probe.h"

namespace kv {

namespace {

// What the threads share: the next file to start, the results, the stop.
class Shared {
public:
    Shared(const std::vector<CheckedPath>& files, IProbeWait& wait)
        : files_(files), wait_(wait), results_(files.size()) {}

    // One slot's thread: files in turn until none is left or the pool stops.
    void Work(IProbe& probe) {
        for (;;) {
            std::size_t index = 0;
            {
                const std::lock_guard lock(mutex_);
                if (stop_ || next_ == files_.size()) return;
                index = next_++;
            }
            ProbeResult result;
            try {
                result.answer = probe.Answer(files_[index]);
            } catch (...) {  // carried to the waiting thread, which raises it when it takes this file
                result.failure = std::current_exception();
            }
            {
                const std::lock_guard lock(mutex_);
                results_[index] = std::move(result);
            }
            wait_.Wake();
        }
    }

    // The result of file `index` once it is there.
    std::optional<ProbeResult> Ready(std::size_t index) {
        const std::lock_guard lock(mutex_);
        return std::exchange(results_[index], std::nullopt);
    }

    void Stop() {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }

private:
    const std::vector<CheckedPath>& files_;
    IProbeWait& wait_;
    std::mutex mutex_;
    std::vector<std::optional<ProbeResult>> results_;
    std::size_t next_ = 0;
    bool stop_ = false;
};

// Stops and joins the threads however the run ends, an exception of `take` included.
class Threads {
public:
    Threads(Shared& shared, IProbeSlots& slots, std::size_t count) : shared_(shared), slots_(slots) {
        slots_.Rearm();
        for (std::size_t i = 0; i < count; ++i)
            threads_.emplace_back([&shared, &probe = slots.Slot(static_cast<int>(i))] { shared.Work(probe); });
    }
    ~Threads() {
        shared_.Stop();
        slots_.EndRunning();
        for (auto& t : threads_) t.join();
    }
    Threads(const Threads&) = delete;
    Threads& operator=(const Threads&) = delete;

private:
    Shared& shared_;
    IProbeSlots& slots_;
    std::vector<std::thread> threads_;
};

// Begin and End of the wait around a run, however it ends.
class Shown {
public:
    Shown(IProbeWait& wait, std::size_t total) : wait_(wait) {
        wait_.Begin(total);
        wait_.Progress(0, total);
    }
    ~Shown() { wait_.End(); }
    Shown(const Shown&) = delete;
    Shown& operator=(const Shown&) = delete;

private:
    IProbeWait& wait_;
};

}  // namespace

ProbePool::Ended ProbePool::Run(const std::vector<CheckedPath>& files, IProbeWait& wait, const Take& take) {
    if (files.empty()) return Ended::All;
    Shared shared(files, wait);
    const auto count = std::min<std::size_t>(files.size(), static_cast<std::size_t>(std::max(1, slots_.Count())));
    const Shown shown(wait, files.size());
    const Threads threads(shared, slots_, count);
    std::size_t taken = 0;
    while (taken < files.size()) {
        const std::size_t before = taken;
        while (taken < files.size()) {
            std::optional<ProbeResult> ready = shared.Ready(taken);
            if (!ready) break;
            if (!take(taken, *ready)) return Ended::Stopped;
            ++taken;
        }
        if (taken != before) wait.Progress(taken, files.size());
        if (taken < files.size() && !wait.Wait()) return Ended::Cancelled;
    }
    return Ended::All;
}

}  // namespace kv
