#include "app/main_instance_win.h"

#include <sddl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/handover.h"
#include "app/instance_guard_win.h"
#include "app/runner_text.h"
#include "win/clock.h"
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
    if (wnd != s.OwnAppWindow) {
        s.OtherAppWindow = wnd;
        // The mark alone proves nothing: any program can make such a window.
        if (::GetPropW(wnd, kFirstCopyMark) && RunsKorvello(wnd)) s.FirstAppWindow = wnd;
    }
    return TRUE;
}

bool PassParameters(HWND target, const std::vector<std::string>& params, UINT timeoutMs) {
    const std::string text = CollectParameters(params);
    if (text.empty()) return false;
    // An atom holds at most 255 characters; a longer text gives atom 0, sent all the same.
    const ATOM atom = ::GlobalAddAtomW(win::Widen(text).c_str());
    // With a time limit: a running copy that hangs must not hang this one.
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(target, kPassParametersMessage, static_cast<WPARAM>(atom), 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                          timeoutMs, &ignored);
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

namespace {

Delivery SendBlock(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs, ULONG_PTR tag) {
    std::vector<std::u16string> wide;
    wide.reserve(paths.size());
    for (const auto& p : paths) {
        const std::wstring w = win::Widen(p);
        wide.emplace_back(w.begin(), w.end());
    }
    const std::u16string block = PackHandOver(wide);
    if (block.empty() || block.size() * sizeof(char16_t) > kMaxHandOverBytes) return Delivery::Refused;
    COPYDATASTRUCT data{tag, static_cast<DWORD>(block.size() * sizeof(char16_t)), const_cast<char16_t*>(block.data())};
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(sender), reinterpret_cast<LPARAM>(&data),
                              SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &result) == 0)
        return Delivery::NoAnswer;
    return result == TRUE ? Delivery::Taken : Delivery::Refused;
}

}  // namespace

Delivery SendHandOver(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs, bool convert) {
    // Taken only while this copy still waits for the answer: what it tells its user is then true.
    const std::uint32_t takeBefore =
        ::GetTickCount() + (timeoutMs > kHandOverAnswerMarginMs ? timeoutMs - kHandOverAnswerMarginMs : 1);
    return SendBlock(target, sender, paths, timeoutMs, static_cast<ULONG_PTR>(HandOverTagFor(convert, takeBefore)));
}

Delivery SendOlderHandOver(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs) {
    return SendBlock(target, sender, paths, timeoutMs, kHandOverTag);
}

// A running copy of an older build knows neither the time limit nor "/convert":
// refused, the files are sent again as it takes them, and at least join its list.
Delivery DeliverToAnyBuild(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs,
                           bool convert) {
    const Delivery d = SendHandOver(target, sender, paths, timeoutMs, convert);
    return d == Delivery::Refused ? SendOlderHandOver(target, sender, paths, timeoutMs) : d;
}

bool HandOverPaths(HWND target, HWND sender, const std::vector<std::string>& paths, UINT timeoutMs) {
    return DeliverToAnyBuild(target, sender, paths, timeoutMs, false) == Delivery::Taken;
}

Delivery HandToRunningCopy(HWND otherAppWindow, HWND ownAppWindow, const std::vector<std::string>& params,
                           std::wstring_view mainFormClass, UINT timeoutMs, bool convert) {
    HWND form = ParameterTarget(otherAppWindow, mainFormClass);
    if (!form) return Delivery::NoAnswer;
    // Started by the user, this copy may let the first one come to the front.
    DWORD pid = 0;
    if (::GetWindowThreadProcessId(form, &pid)) ::AllowSetForegroundWindow(pid);
    PassParameters(form, params, std::min<UINT>(timeoutMs, 5000));
    const std::vector<std::string> paths = FullPaths(params);
    if (paths.empty()) return Delivery::Taken;  // only empty parameters: nothing to hand over
    return DeliverToAnyBuild(form, ownAppWindow, paths, timeoutMs, convert);
}

void FindOtherInstance(HWND ownAppWindow) {
    auto& s = InstanceState();
    s.MatchCount = 0;
    s.OtherAppWindow = nullptr;
    s.FirstAppWindow = nullptr;
    s.OwnAppWindow = ownAppWindow;
    wchar_t buf[256];
    int n = ::GetWindowTextW(ownAppWindow, buf, 256);
    s.OwnTitle.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    n = ::GetClassNameW(ownAppWindow, buf, 256);
    s.OwnClassName.assign(buf, n > 0 ? static_cast<size_t>(n) : 0);
    ::EnumWindows(&MatchInstanceWindow, 0);
}

void MarkFirstCopy(HWND appWindow) {
    if (appWindow) ::SetPropW(appWindow, kFirstCopyMark, reinterpret_cast<HANDLE>(1));
}

namespace {

// The user's SID as text ("S-1-5-21-..."); empty when the token cannot tell.
std::wstring UserSid() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const win::UniqueHandle token(raw);
    DWORD bytes = 0;
    ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &bytes);
    if (bytes == 0) return {};
    std::vector<unsigned char> buf(bytes);
    if (!::GetTokenInformation(token.Get(), TokenUser, buf.data(), bytes, &bytes)) return {};
    LPWSTR text = nullptr;
    if (!::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buf.data())->User.Sid, &text)) return {};
    std::wstring sid(text);
    ::LocalFree(text);
    return sid;
}

}  // namespace

std::wstring InstanceMutexName(std::string_view title) {
    std::wstring name = L"Local\\" + win::Widen(title) + L"-" + UserSid();
    // A kernel object's name may not hold a backslash past its namespace.
    for (std::size_t i = 6; i < name.size(); ++i)
        if (name[i] == L'\\') name[i] = L'_';
    return name;
}

InstanceLock::InstanceLock(const std::wstring& name) : mutex_(::CreateMutexW(nullptr, FALSE, name.c_str())) {}

InstanceLock::~InstanceLock() {
    if (held_) ::ReleaseMutex(mutex_.Get());
}

bool InstanceLock::TryAcquire() {
    if (held_) return true;
    // Without a mutex (no rights, a name taken by another kind of object)
    // every copy would take itself for the first: the window search decides then.
    if (!mutex_) return false;
    const DWORD r = ::WaitForSingleObject(mutex_.Get(), 0);
    held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
    return held_;
}

LaterCopyResult HandToFirstCopy(InstanceLock& lock, HWND ownAppWindow, const std::vector<std::string>& params,
                                std::wstring_view mainFormClass, DWORD boundMs, bool convert) {
    const ULONGLONG deadline = ::GetTickCount64() + boundMs;
    auto& s = InstanceState();
    for (;;) {
        FindOtherInstance(ownAppWindow);
        if (s.FirstAppWindow && ParameterTarget(s.FirstAppWindow, mainFormClass)) {
            s.OtherAppWindow = s.FirstAppWindow;
            s.OtherPopup = ::GetLastActivePopup(s.FirstAppWindow);
            if (params.empty()) return LaterCopyResult::Handed;
            const ULONGLONG now = ::GetTickCount64();
            const UINT left = now < deadline ? static_cast<UINT>(deadline - now) : 1;
            switch (HandToRunningCopy(s.FirstAppWindow, ownAppWindow, params, mainFormClass, left, convert)) {
            case Delivery::Taken:
                return LaterCopyResult::Handed;
            case Delivery::Refused:
                return LaterCopyResult::Refused;
            case Delivery::NoAnswer:
                break;
            }
        }
        // The first copy ended before it could take them: this copy becomes the first.
        if (lock.TryAcquire()) return LaterCopyResult::BecameFirst;
        // Without the mutex only the window search can tell which copy is the first.
        if (!lock.Usable() && !s.FirstAppWindow) return LaterCopyResult::BecameFirst;
        if (::GetTickCount64() >= deadline) return LaterCopyResult::NoAnswer;
        ::Sleep(50);
    }
}

void BringFirstCopyForward() {
    const auto& s = InstanceState();
    if (!s.OtherAppWindow) return;
    ::BringWindowToTop(s.OtherAppWindow);
    // Minimized, the application window is iconic and the main window hidden
    // with it; its own restore shows the main window again.
    if (::IsIconic(s.OtherAppWindow))
        ::PostMessageW(s.OtherAppWindow, WM_SYSCOMMAND, SC_RESTORE, 0);
    else if (s.OtherPopup && ::IsIconic(s.OtherPopup))
        ::ShowWindow(s.OtherPopup, SW_RESTORE);
    else if (s.OtherPopup)
        ::SetForegroundWindow(s.OtherPopup);
}

TMainInstance::TMainInstance(TComponent* owner, HWND appWindow, const std::string& title,
                             const std::vector<std::string>& params, std::wstring_view mainFormClass, bool convert)
    : TComponent(owner), appWindow_(appWindow), space_(InstanceMutexName(title)), lock_(space_.MutexName()) {
    SetName("MainInstance1");
    if (!lock_.TryAcquire()) {
        const LaterCopyResult r = HandToFirstCopy(lock_, appWindow, params, mainFormClass, kHandOverBoundMs, convert);
        if (r == LaterCopyResult::Handed) {
            BringFirstCopyForward();
            ::ExitProcess(0);
        }
        if (r != LaterCopyResult::BecameFirst) {
            const std::string text = HandOverFailureText(r == LaterCopyResult::Refused, params);
            ::MessageBoxW(nullptr, win::Widen(text).c_str(), win::Widen(title).c_str(), MB_OK | MB_ICONWARNING);
            ::ExitProcess(1);
        }
    }
    MarkFirstCopy(appWindow);
}

TMainInstance::~TMainInstance() {
    if (lock_.Held() && appWindow_ && ::IsWindow(appWindow_)) ::RemovePropW(appWindow_, kFirstCopyMark);
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
