#pragma once
// Helpers of the skinned-control tests: a parent window of one known colour,
// synthetic pictures, pointer messages and reading back drawn pixels.
#include <windows.h>
#include <oleacc.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/pixmap.h"
#include "win/com.h"
#include "win/gdi.h"
#include "win/handle.h"

namespace kvuitest {

inline constexpr std::uint32_t kKey = kv::ui::Rgb(220, 220, 220);
inline constexpr COLORREF kParentColour = RGB(12, 150, 60);

// Rows of text: '.' key colour, '#' ink; every row the same length.
inline kv::ui::TPixmap FromRows(const std::vector<std::string>& rows, std::uint32_t ink, std::uint32_t key = kKey) {
    kv::ui::TPixmap p(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()));
    for (int y = 0; y < p.height; ++y) {
        for (int x = 0; x < p.width; ++x) p.Set(x, y, rows[y][x] == '.' ? key : ink);
    }
    return p;
}

// A 12 x 10 rounded shape with a key-coloured hole at (6, 5).
inline std::vector<std::string> ShapeRows() {
    return {
        "..########..", ".##########.", "############", "############", "############",
        "######.#####", "############", "############", ".##########.", "............",
    };
}

inline LRESULT CALLBACK PlainProc(HWND h, UINT m, WPARAM w, LPARAM l) { return ::DefWindowProcW(h, m, w, l); }

// A visible top-level window with a solid background at a fixed place; it
// clips its children, as the main window does.
class TestParent {
public:
    explicit TestParent(int x = 120, int y = 120, int w = 240, int h = 160) {
        static const wchar_t* const kClass = L"KvUiTestParent";
        static kv::win::UniqueBrush brush(::CreateSolidBrush(kParentColour));
        WNDCLASSEXW wc{sizeof wc};
        wc.lpfnWndProc = &PlainProc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.hbrBackground = brush.Get();
        wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kClass;
        ::RegisterClassExW(&wc);  // fails harmlessly when already registered
        hwnd_.Reset(::CreateWindowExW(0, kClass, L"test", WS_POPUP | WS_CLIPCHILDREN, x, y, w, h, nullptr, nullptr,
                                      wc.hInstance, nullptr));
        // Shown without activation: Wine then leaves the window to itself rather
        // than to a window manager, which the test display does not have (and
        // whose absence costs seconds at every destruction).
        ::SetWindowPos(hwnd_.Get(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        ::UpdateWindow(hwnd_.Get());
    }
    [[nodiscard]] HWND Get() const noexcept { return hwnd_.Get(); }

private:
    kv::win::UniqueWindow hwnd_;
};

inline LPARAM At(int x, int y) {
    return MAKELPARAM(static_cast<WORD>(static_cast<SHORT>(x)), static_cast<WORD>(static_cast<SHORT>(y)));
}

inline void Move(HWND h, int x, int y) { ::SendMessageW(h, WM_MOUSEMOVE, 0, At(x, y)); }
inline void Down(HWND h, int x, int y) { ::SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, At(x, y)); }
inline void DoubleDown(HWND h, int x, int y) { ::SendMessageW(h, WM_LBUTTONDBLCLK, MK_LBUTTON, At(x, y)); }
inline void Up(HWND h, int x, int y) { ::SendMessageW(h, WM_LBUTTONUP, 0, At(x, y)); }
inline void Leave(HWND h) { ::SendMessageW(h, WM_MOUSELEAVE, 0, 0); }

// A screen reader's default action on the control, then what it posted handled.
inline HRESULT ReaderDefaultAction(HWND h) {
    const kv::win::OleScope ole;  // as the program's thread has it: the answer travels as a COM object
    kv::win::ComPtr<IAccessible> acc;
    if (FAILED(::AccessibleObjectFromWindow(h, OBJID_CLIENT, IID_IAccessible, acc.PutVoid()))) return E_FAIL;
    VARIANT self;
    ::VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    const HRESULT hr = acc->accDoDefaultAction(self);
    MSG msg;
    while (::PeekMessageW(&msg, h, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    return hr;
}

inline std::uint32_t FromColorRef(COLORREF c) { return kv::ui::Rgb(GetRValue(c), GetGValue(c), GetBValue(c)); }

// The pixels `draw` leaves in a w x h memory bitmap that starts as `fill`.
template <class Draw>
kv::ui::TPixmap Captured(int w, int h, std::uint32_t fill, Draw draw) {
    kv::ui::TPixmap pic(w, h, fill);
    if (pic.Empty()) return pic;
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, pic.width, -pic.height, 1, 32, BI_RGB};
    void* bits = nullptr;
    kv::win::UniqueBitmap bmp(::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bmp.Get());
    auto* px = static_cast<std::uint32_t*>(bits);
    for (std::size_t i = 0; i < pic.pixels.size(); ++i) px[i] = pic.pixels[i];
    draw(dc);
    ::GdiFlush();
    for (std::size_t i = 0; i < pic.pixels.size(); ++i) pic.pixels[i] = px[i] & 0x00FFFFFFu;
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return pic;
}

// What the control draws when asked to print itself into a memory bitmap.
inline kv::ui::TPixmap Printed(HWND h) {
    RECT rc{};
    ::GetClientRect(h, &rc);
    return Captured(rc.right, rc.bottom, 0x123456,
                    [h](HDC dc) { ::SendMessageW(h, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT); });
}

// The screen's pixels in a rectangle of it.
inline kv::ui::TPixmap FromScreen(const RECT& r) {
    return Captured(r.right - r.left, r.bottom - r.top, 0, [&r](HDC dc) {
        HDC screen = ::GetDC(nullptr);
        ::BitBlt(dc, 0, 0, r.right - r.left, r.bottom - r.top, screen, r.left, r.top, SRCCOPY);
        ::ReleaseDC(nullptr, screen);
    });
}

// A pixel as it is on the window's drawing surface now.
inline std::uint32_t OnScreen(HWND h, int x, int y) {
    HDC dc = ::GetDC(h);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(h, dc);
    return FromColorRef(c);
}

inline POINT ToScreen(HWND h, int x, int y) {
    POINT p{x, y};
    ::ClientToScreen(h, &p);
    return p;
}

}  // namespace kvuitest
