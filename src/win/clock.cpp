#include "win/clock.h"

#include <windows.h>
#include <realtimeapiset.h>

namespace kv::win {

std::uint64_t AwakeMs() noexcept {
    ULONGLONG hundredNs = 0;
    if (!::QueryUnbiasedInterruptTime(&hundredNs)) return ::GetTickCount64();  // never fails on Windows 7 and later
    return hundredNs / 10000;
}

}  // namespace kv::win
