#include "convert/probe_slots_win.h"

#include <algorithm>

#include "win/error.h"

namespace kv {

WinProbeSlots::WinProbeSlots(int count, const std::string& tempDir, const std::string& mediaInfoPath)
    : stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!stop_) throw Error("Cannot create the probes' stop event.");
    for (int i = 0; i < std::max(1, count); ++i)
        slots_.push_back(std::make_unique<One>(stop_.Get(), tempDir, mediaInfoPath, i));
}

}  // namespace kv
