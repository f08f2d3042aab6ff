// Output, waiting, the program's windows and dialogs, and its controls found
// at their places in the window's layout.
#include "desktop.h"

#include <algorithm>

#include "ui/layout.h"

namespace kvdrive {

// ---- output ------------------------------------------------------------------

namespace {

std::string Utf8(std::wstring_view w) {
    if (w.empty()) return {};
    const int n = ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr, nullptr);
    return s;
}

void Write(DWORD which, std::wstring_view text) {
    const std::string bytes = Utf8(text);
    DWORD done = 0;
    ::WriteFile(::GetStdHandle(which), bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
}

}  // namespace

void Out(const std::wstring& line) { Write(STD_OUTPUT_HANDLE, line + L"\n"); }
void Err(const std::wstring& line) { Write(STD_ERROR_HANDLE, L"kv_drive: " + line + L"\n"); }

int Fail(const std::wstring& why) {
    Err(why);
    return 1;
}

ULONGLONG Now() { return ::GetTickCount64(); }

// Polls `done` every `stepMs` until it holds or `seconds` pass.
bool WaitFor(double seconds, const std::function<bool()>& done, DWORD stepMs) {
    const ULONGLONG end = Now() + static_cast<ULONGLONG>(seconds * 1000.0);
    for (;;) {
        if (done()) return true;
        if (Now() >= end) return false;
        ::Sleep(stepMs);
    }
}

// ---- windows -------------------------------------------------------------------

std::wstring ClassOf(HWND w) {
    wchar_t buf[256];
    const int n = ::GetClassNameW(w, buf, 256);
    return n > 0 ? std::wstring(buf, static_cast<size_t>(n)) : std::wstring();
}

// Text of a window of another process; WM_GETTEXT is marshalled by the system.
std::wstring TextOf(HWND w) {
    DWORD_PTR len = 0;
    if (!::SendMessageTimeoutW(w, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &len)) return {};
    std::wstring buf(len + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_NORMAL, 5000,
                               &got))
        return {};
    buf.resize(std::min<size_t>(got, len));
    return buf;
}

DWORD ProcessOf(HWND w) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    return pid;
}

std::vector<HWND> TopLevel(const std::function<bool(HWND)>& match) {
    struct Ctx {
        const std::function<bool(HWND)>* match;
        std::vector<HWND> found;
    } ctx{&match, {}};
    ::EnumWindows(
        [](HWND w, LPARAM lp) -> BOOL {
            auto* c = reinterpret_cast<Ctx*>(lp);
            if ((*c->match)(w)) c->found.push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&ctx));
    return ctx.found;
}

std::vector<HWND> AppWindows() {
    return TopLevel([](HWND w) { return ClassOf(w) == L"TApplication" && TextOf(w) == L"Korvello"; });
}

HWND MainWindow() {
    const auto found = TopLevel([](HWND w) { return ClassOf(w) == L"TfrmMain" && ::IsWindowVisible(w); });
    return found.empty() ? nullptr : found.front();
}

bool Responsive(HWND w, UINT timeoutMs) {
    DWORD_PTR r = 0;
    return ::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &r) != 0;
}

// Visible dialog-class windows (file dialogs, message boxes) of one process.
std::vector<HWND> Dialogs(DWORD pid) {
    return TopLevel([pid](HWND w) { return ProcessOf(w) == pid && ::IsWindowVisible(w) && ClassOf(w) == L"#32770"; });
}

std::optional<HWND> NewDialog(DWORD pid, const std::vector<HWND>& known) {
    for (HWND d : Dialogs(pid))
        if (std::find(known.begin(), known.end(), d) == known.end()) return d;
    return std::nullopt;
}

// The message of a message box: its non-empty static texts.
std::wstring BoxText(HWND box) {
    std::wstring text;
    for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
        if (ClassOf(c) != L"Static") continue;
        const std::wstring t = TextOf(c);
        if (t.empty()) continue;
        if (!text.empty()) text += L" ";
        text += t;
    }
    return text;
}

bool PressOk(HWND dlg, double seconds) {
    ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, IDOK)));
    return WaitFor(seconds, [&] { return !::IsWindow(dlg) || !::IsWindowVisible(dlg); });
}

// ---- the main window's controls --------------------------------------------------

namespace {

// A control's place in the layout, in 96-dpi client units.
Place PlaceOf(std::string_view name) {
    const kv::ui::ControlDef* def = kv::ui::FindControl(name);
    const std::wstring wide(name.begin(), name.end());
    if (!def) return {wide, 0, 0, 0, 0};
    return {wide, def->left, def->top, def->width, def->height};
}

}  // namespace

const Place kAddFile = PlaceOf("Button1"), kAddFolder = PlaceOf("Button2"), kConvert = PlaceOf("EzRgnBtn3"),
            kClose = PlaceOf("EzRgnBtn2"), kList = PlaceOf("ListView1"), kEdit1 = PlaceOf("Edit1"),
            kEdit2 = PlaceOf("Edit2"), kEdit3 = PlaceOf("Edit3"), kBrowse = PlaceOf("Button3");

namespace {

// The layout is in 96-dpi units; the window lays itself out at its monitor's
// DPI. kv_drive declares itself per-monitor aware (wmain), so the coordinates
// it reads and sends are the window's own at any DPI.
int WindowDpi(HWND frm) {
    using Fn = UINT(WINAPI*)(HWND);
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    auto fn = user32 ? reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(::GetProcAddress(user32, "GetDpiForWindow")))
                     : nullptr;
    const UINT dpi = fn ? fn(frm) : 0;
    if (dpi > 0) return static_cast<int>(dpi);
    HDC screen = ::GetDC(nullptr);
    const int sys = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    return sys > 0 ? sys : 96;
}

POINT Middle(HWND frm, const Place& p) {
    const int dpi = WindowDpi(frm);
    return POINT{::MulDiv(p.left + p.width / 2, dpi, 96), ::MulDiv(p.top + p.height / 2, dpi, 96)};
}

}  // namespace

HWND ControlAt(HWND frm, const Place& p) {
    HWND c = ::ChildWindowFromPointEx(frm, Middle(frm, p), CWP_SKIPINVISIBLE);
    return c == frm ? nullptr : c;
}

// Presses a control with the left button at its middle, as the pointer would.
void ClickAt(HWND frm, HWND control, const Place& p) {
    POINT pt = Middle(frm, p);
    ::MapWindowPoints(frm, control, &pt, 1);
    const LPARAM lp = MAKELPARAM(pt.x, pt.y);
    ::PostMessageW(control, WM_MOUSEMOVE, 0, lp);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, lp);
    ::PostMessageW(control, WM_LBUTTONUP, 0, lp);
}

}  // namespace kvdrive
