#include "ui/done_notice_win.h"

#include <shellapi.h>

#include <algorithm>

#include "win/text.h"

namespace kv::ui {

namespace {

constexpr UINT kIconId = 1;

template <std::size_t N>
void CopyText(wchar_t (&to)[N], const std::string& from) {
    const std::wstring w = win::Widen(from);
    const std::size_t n = std::min(w.size(), N - 1);
    std::copy_n(w.begin(), n, to);
    to[n] = L'\0';
}

HICON WindowIcon(HWND window) {
    auto icon = reinterpret_cast<HICON>(::GetClassLongPtrW(window, GCLP_HICONSM));
    if (!icon) icon = reinterpret_cast<HICON>(::GetClassLongPtrW(window, GCLP_HICON));
    return icon ? icon : ::LoadIconW(nullptr, IDI_APPLICATION);
}

}  // namespace

DoneNotice::DoneNotice(HWND window, UINT callbackMessage) : window_(window), message_(callbackMessage) {}

DoneNotice::~DoneNotice() { Remove(); }

bool DoneNotice::Show(const std::string& title, const std::string& text) {
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = window_;
    nid.uID = kIconId;
    nid.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO | NIF_SHOWTIP;
    nid.uCallbackMessage = message_;
    nid.hIcon = WindowIcon(window_);
    CopyText(nid.szTip, "Korvello");
    CopyText(nid.szInfoTitle, title);
    CopyText(nid.szInfo, text);
    // Quiet hours and presentations keep it back, as they do every program's.
    nid.dwInfoFlags = NIIF_INFO | NIIF_RESPECT_QUIET_TIME;
    if (shown_ && ::Shell_NotifyIconW(NIM_MODIFY, &nid)) {
        text_ = text;
        return true;
    }
    if (!::Shell_NotifyIconW(NIM_ADD, &nid)) return false;
    nid.uVersion = NOTIFYICON_VERSION_4;
    (void)::Shell_NotifyIconW(NIM_SETVERSION, &nid);
    shown_ = true;
    text_ = text;
    return true;
}

void DoneNotice::OnCallback(LPARAM lp) {
    switch (LOWORD(lp)) {
    case NIN_BALLOONUSERCLICK:
    case NIN_SELECT:
    case NIN_KEYSELECT:
    case WM_LBUTTONUP:
        if (::IsIconic(window_)) ::ShowWindow(window_, SW_RESTORE);
        ::SetForegroundWindow(window_);
        Remove();
        break;
    case NIN_BALLOONTIMEOUT:
        Remove();
        break;
    default:
        break;
    }
}

void DoneNotice::Remove() noexcept {
    if (!shown_) return;
    NOTIFYICONDATAW nid{};
    nid.cbSize = sizeof nid;
    nid.hWnd = window_;
    nid.uID = kIconId;
    (void)::Shell_NotifyIconW(NIM_DELETE, &nid);
    shown_ = false;
}

}  // namespace kv::ui
