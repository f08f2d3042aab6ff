#include "app/main_instance.h"

#include <shellapi.h>

#include "app/handover.h"
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
    // With a time limit: a running copy that hangs must not hang this one.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(target, kPassParametersMessage, static_cast<WPARAM>(atom), 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                          5000, &ignored);
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

std::vector<std::string> FullPaths(const std::vector<std::string>& params) {
    std::vector<std::string> out;
    for (const auto& p : params) {
        const std::wstring w = win::Widen(p);
        if (w.empty()) continue;
        std::wstring full(::GetFullPathNameW(w.c_str(), 0, nullptr, nullptr), L'\0');
        const DWORD n =
            full.empty() ? 0 : ::GetFullPathNameW(w.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0 || n >= full.size()) {
            out.push_back(p);  // the receiver refuses it as it would a dropped name it cannot read
            continue;
        }
        full.resize(n);
        out.push_back(win::Narrow(full));
    }
    return out;
}

bool HandOverPaths(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs) {
    std::vector<std::u16string> wide;
    wide.reserve(paths.size());
    for (const auto& p : paths) {
        const std::wstring w = win::Widen(p);
        wide.emplace_back(w.begin(), w.end());
    }
    const std::u16string block = PackHandOver(wide);
    if (block.empty() || block.size() * sizeof(char16_t) > kMaxHandOverBytes) return false;
    COPYDATASTRUCT data{kHandOverTag, static_cast<DWORD>(block.size() * sizeof(char16_t)),
                        const_cast<char16_t*>(block.data())};
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data),
                                 SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &result) != 0 &&
           result == TRUE;
}

bool HandToRunningCopy(HWND otherAppWindow, HWND ownAppWindow, const std::vector<std::string>& params,
                       std::wstring_view mainFormClass) {
    if (params.empty()) return false;
    HWND form = ParameterTarget(otherAppWindow, mainFormClass);
    // A copy started a moment earlier may not have made its main window yet.
    for (int i = 0; !form && i < 60; ++i) {
        ::Sleep(50);
        form = ParameterTarget(otherAppWindow, mainFormClass);
    }
    if (!form) return false;
    PassParameters(form, params);
    return HandOverPaths(form, ownAppWindow, FullPaths(params));
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
    HandToRunningCopy(s.OtherAppWindow, appWindow, params, mainFormClass);
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
