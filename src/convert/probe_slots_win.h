#pragma once
// The probe slots on Windows: one probe platform and probe per slot, none
// showing its text in the window (they run on threads of their own), and one
// event that ends every probe under way.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "convert/duration_probe.h"
#include "convert/duration_probe_win.h"
#include "convert/probe_pool.h"
#include "win/handle.h"

namespace kv {

class WinProbeSlots final : public IProbeSlots {
public:
    // The folder strings are the caller's own, read at each probe.
    WinProbeSlots(int count, const std::string& tempDir, const std::string& mediaInfoPath);

    [[nodiscard]] int Count() const override { return static_cast<int>(slots_.size()); }
    IProbe& Slot(int index) override { return slots_.at(static_cast<std::size_t>(index))->probe; }
    void EndRunning() override { ::SetEvent(stop_.Get()); }
    void Rearm() override { ::ResetEvent(stop_.Get()); }

private:
    struct One {
        One(HANDLE stop, const std::string& tempDir, const std::string& mediaInfoPath, int slot)
            : platform(nullptr, 0, stop), probe(platform, tempDir, mediaInfoPath, slot) {
            probe.AlwaysDirect = true;
        }
        WinProbePlatform platform;
        DurationProbe probe;
    };
    win::UniqueHandle stop_;
    std::vector<std::unique_ptr<One>> slots_;
};

}  // namespace kv
