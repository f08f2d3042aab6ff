#pragma once
// Only one copy runs: a second copy brings the first forward, hands over its
// command-line parameters and ends before any start-up work.
#include <windows.h>

#include <string>
#include <string_view>
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

// Absolute forms of command-line paths, so that a copy started in another
// folder hands over paths the running copy can find (relative to this copy's
// current folder; absolute ones are only cleaned).
std::vector<std::string> FullPaths(const std::vector<std::string>& params);

// Hands `paths` to the running copy's main window in one WM_COPYDATA message
// (see app/handover.h); false when there was nothing to send or the window
// did not take it within `timeoutMs` (a copy that hangs must not hang this one).
bool HandOverPaths(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs = 30000);

// The running copy's main window (a top-level window of class `mainFormClass`
// owned by its application window), which alone may take the parameters:
// its last active popup may be a dialog for which the same message number
// means something else (the folder picker's "enable OK"). Null when none.
HWND ParameterTarget(HWND otherAppWindow, std::wstring_view mainFormClass);

// What a second copy does for the running one: its parameters go to that
// copy's main window (waiting a moment for a copy that is still starting),
// as the parameter message and as the hand-over of their full paths. True
// when the paths were taken.
bool HandToRunningCopy(HWND otherAppWindow, HWND ownAppWindow, const std::vector<std::string>& params,
                       std::wstring_view mainFormClass);

// Counts the windows that identify a running copy (the application window's
// class and title); the last match other than our own is the other copy.
void FindOtherInstance(HWND ownAppWindow);

class TMainInstance : public TComponent {
public:
    // Returns only when no other copy runs; otherwise ends the process with code 0.
    TMainInstance(TComponent* owner, HWND appWindow, const std::vector<std::string>& params,
                  std::wstring_view mainFormClass);
};

// The program's parameters as UTF-8 (without the program itself).
std::vector<std::string> CommandLineParameters();

}  // namespace kv
