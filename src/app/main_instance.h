#pragma once
// Only one copy runs: a second copy brings the first forward, hands over its
// command-line parameters and ends before any start-up work.
#include <windows.h>

#include <string>
#include <vector>

#include "components/component.h"

namespace kv {

inline constexpr UINT kPassParametersMessage = WM_USER + 101;  // 0x465

// State of the check, one set per process.
struct InstanceCheckState {
    std::wstring OwnTitle;
    std::wstring OwnClassName;
    int MatchCount = 0;
    HWND OwnAppWindow = nullptr;
    HWND OtherAppWindow = nullptr;
    HWND OtherPopup = nullptr;
};
InstanceCheckState& InstanceState();

// Applied to every top-level window; always continues the enumeration.
BOOL CALLBACK MatchInstanceWindow(HWND wnd, LPARAM);

// Hands this copy's parameters to the running copy; true when a message was sent.
bool PassParameters(HWND target, const std::vector<std::string>& params);

// Counts the windows that identify a running copy (the application window's
// class and title); the last match other than our own is the other copy.
void FindOtherInstance(HWND ownAppWindow);

class TMainInstance : public TComponent {
public:
    // Returns only when no other copy runs; otherwise ends the process with code 0.
    TMainInstance(TComponent* owner, HWND appWindow, const std::vector<std::string>& params);
};

// The program's parameters as UTF-8 (without the program itself).
std::vector<std::string> CommandLineParameters();

}  // namespace kv
