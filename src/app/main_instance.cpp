#include "app/main_instance.h"

#include <shellapi.h>

#include "app/runner_text.h"
#include "win/text.h"

namespace kv {

InstanceCheckState& InstanceState() {
    static InstanceCheckState state;
    return state;
}

BOOL CALLBACK MatchInstanceWindow(HWND wnd, LPARAM) {
    auto& s = InstanceState();
    wchar_t buf[256];
    int n = ::GetClassNameW(wnd, buf, 256);
    if (n <= 0 || s.OwnClassName != std::wstring_view(buf, static_cast<size_t>(n))) return TRUE;
    n = ::GetWindowTextW(wnd, buf, 256);
    if (n <= 0 || s.OwnTitle != std::wstring_view(buf, static_cast<size_t>(n))) return TRUE;
    ++s.MatchCount;
    if (wnd != s.OwnAppWindow) s.OtherAppWindow = wnd;
    return TRUE;
}

bool PassParameters(HWND target, const std::vector<std::string>& params) {
    const std::string text = CollectParameters(params);
    if (text.empty()) return false;
    // An atom holds at most 255 characters; a longer text gives atom 0, sent all the same.
    const ATOM atom = ::GlobalAddAtomW(win::Widen(text).c_str());
    ::SendMessageW(target, kPassParametersMessage, static_cast<WPARAM>(atom), 0);
    ::GlobalDeleteAtom(atom);
    return true;
}

HWND ParameterTarget(HWND otherAppWindow, std::wstring_view mainFormClass) {
    struct Search {
        HWND owner;
        std::wstring_view cls;
        HWND found = nullptr;
    } search{otherAppWindow, mainFormClass};
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<Search*>(lp);
            if (::GetWindow(w, GW_OWNER) != s->owner) return TRUE;
            wchar_t buf[256];
            const int n = ::GetClassNameW(w, buf, 256);
            if (n <= 0 || s->cls != std::wstring_view(buf, static_cast<size_t>(n))) return TRUE;
            s->found = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void FindOtherInstance(HWND ownAppWindow) {
    auto& s = InstanceState();
    s.MatchCount = 0;
    s.OtherAppWindow = nullptr;
    s.OwnAppWindow = ownAppWindow;
    wchar_t buf[256];
    int n = ::GetWindowTextW(ownAppWindow, buf, 256);
    s.OwnTitle.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    n = ::GetClassNameW(ownAppWindow, buf, 256);
    s.OwnClassName.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    ::EnumWindows(&MatchInstanceWindow, 0);
}

TMainInstance::TMainInstance(TComponent* owner, HWND appWindow, const std::vector<std::string>& params,
                             std::wstring_view mainFormClass)
    : TComponent(owner) {
    SetName("MainInstance1");
    FindOtherInstance(appWindow);
    auto& s = InstanceState();
    if (s.MatchCount <= 1 || !s.OtherAppWindow) return;
    s.OtherPopup = ::GetLastActivePopup(s.OtherAppWindow);
    if (HWND form = ParameterTarget(s.OtherAppWindow, mainFormClass)) PassParameters(form, params);
    ::BringWindowToTop(s.OtherAppWindow);
    if (::IsIconic(s.OtherPopup))
        ::ShowWindow(s.OtherPopup, SW_RESTORE);
    else
        ::SetForegroundWindow(s.OtherPopup);
    ::ExitProcess(0);
}

std::vector<std::string> CommandLineParameters() {
    std::vector<std::string> out;
    int argc = 0;
    LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (!argv) return out;
    for (int i = 1; i < argc; ++i) out.push_back(win::Narrow(argv[i]));
    ::LocalFree(argv);
    return out;
}

}  // namespace kv
