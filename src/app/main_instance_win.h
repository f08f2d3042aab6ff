#pragma once
// Only one copy runs. A named mutex of the user's session decides, at once
// and for good, which copy is the first; every later copy waits a bounded
// time for the first copy's main window, hands it its parameters, brings it
// forward and ends before any start-up work.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/instance_guard_win.h"
#include "components/component.h"
#include "win/handle.h"

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
    // The last match that carries the first copy's mark: the one that takes hand-overs.
    HWND FirstAppWindow = nullptr;
};
InstanceCheckState& InstanceState();

// Applied to every top-level window; always continues the enumeration.
BOOL CALLBACK MatchInstanceWindow(HWND wnd, LPARAM);

// Hands this copy's parameters to the running copy; true when a message was sent.
bool PassParameters(HWND target, const std::vector<std::string>& params, UINT timeoutMs = 5000);

// Absolute forms of command-line paths, so that a copy started in another
// folder hands over paths the running copy can find (relative to this copy's
// current folder; absolute ones are only cleaned).
std::vector<std::string> FullPaths(const std::vector<std::string>& params);

// Hands `paths` to the running copy's main window in one WM_COPYDATA message
// (see app/handover.h), with a time limit: a copy that hangs must not hang
// this one. Refused: the window answered and did not take them.
// With `convert`, the block carries the "/convert" switch's tag.
enum class Delivery : std::uint8_t { Taken, Refused, NoAnswer };
Delivery SendHandOver(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs,
                      bool convert = false);
// The same with the plain tag of older builds: no time limit, no "/convert".
Delivery SendOlderHandOver(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs);
// SendHandOver, then, refused, SendOlderHandOver: a copy of any build takes them if it can.
Delivery DeliverToAnyBuild(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs,
                           bool convert);
// True when the window took them; false also when there was nothing to send.
bool HandOverPaths(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs = 30000);

// The running copy's main window (a top-level window of class `mainFormClass`
// owned by its application window), which alone may take the parameters:
// its last active popup may be a dialog for which the same message number
// means something else (the folder picker's "enable OK"). Null when none.
HWND ParameterTarget(HWND otherAppWindow, std::wstring_view mainFormClass);

// What a later copy does for the first one, once it has found its main
// window: the parameter message, then the hand-over of the full paths.
Delivery HandToRunningCopy(HWND otherAppWindow, HWND ownAppWindow, const std::vector<std::string>& params,
                           std::wstring_view mainFormClass, UINT timeoutMs = 30000, bool convert = false);

// Counts the windows that identify a running copy (the application window's
// class and title); the last match other than our own is the other copy.
void FindOtherInstance(HWND ownAppWindow);

// The window property by which the first copy's application window says that
// its main window takes hand-overs: later copies' windows share its class and title.
inline constexpr const wchar_t* kFirstCopyMark = L"Korvello.FirstCopy";
void MarkFirstCopy(HWND appWindow);

// The mutex that makes one copy the first: "Local\" (the user's session),
// the application title and the user's SID, so that neither another user's
// copy nor another session's counts.
std::wstring InstanceMutexName(std::string_view title);

// Owns the mutex; the first copy holds it for its whole life. A copy that
// crashed leaves it abandoned, which the next start takes as free.
class InstanceLock {
public:
    explicit InstanceLock(const std::wstring& name);
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    // True when this copy holds the mutex, now or from an earlier call.
    bool TryAcquire();
    [[nodiscard]] bool Held() const noexcept { return held_; }
    [[nodiscard]] bool Usable() const noexcept { return static_cast<bool>(mutex_); }

private:
    win::UniqueHandle mutex_;
    bool held_ = false;
};

// How a later copy's wait for the first copy ended.
enum class LaterCopyResult : std::uint8_t { Handed, BecameFirst, NoAnswer, Refused };

// What a later copy does: until `boundMs` have passed, looks for the marked
// first copy and hands it `params` (their full paths, and the parameter
// message). Becomes the first copy itself when the first one ends meanwhile.
LaterCopyResult HandToFirstCopy(InstanceLock& lock, HWND ownAppWindow, const std::vector<std::string>& params,
                                std::wstring_view mainFormClass, DWORD boundMs, bool convert = false);

// Brings the copy found by the window search forward; a minimized one is restored.
void BringFirstCopyForward();

class TMainInstance : public TComponent {
public:
    // How long a later copy waits for the first copy's main window.
    static constexpr DWORD kHandOverBoundMs = 20000;

    // Returns only in the first copy (which then holds the mutex); a later
    // copy hands over and ends the process: code 0 when its parameters were
    // taken, 1 after telling the user they could not be. `convert`: they came
    // with the "/convert" switch.
    TMainInstance(TComponent* owner, HWND appWindow, const std::string& title, const std::vector<std::string>& params,
                  std::wstring_view mainFormClass, bool convert = false);
    // The mark goes with the main window: a copy that is closing takes no more hand-overs.
    ~TMainInstance() override;
    TMainInstance(const TMainInstance&) = delete;
    TMainInstance& operator=(const TMainInstance&) = delete;

private:
    HWND appWindow_;
    InstanceNamespace space_;  // outlives the mutex in it
    InstanceLock lock_;
};

// The program's parameters as UTF-8 (without the program itself).
std::vector<std::string> CommandLineParameters();

}  // namespace kv
