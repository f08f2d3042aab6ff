#pragma once
// Scope owners for device contexts and the objects selected into them, and for
// the thread's OLE: each gives back what it took, also when drawing throws.
#include <windows.h>
#include <ole2.h>

namespace kv::win {

// GetDC/ReleaseDC: a window's (or, for null, the screen's) device context.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ::ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    [[nodiscard]] HDC Get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint/EndPaint for one WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND window) noexcept : window_(window), dc_(::BeginPaint(window, &ps_)) {}
    ~PaintDc() {
        if (dc_) ::EndPaint(window_, &ps_);
    }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;
    [[nodiscard]] HDC Get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// SelectObject with the old object put back on the way out.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(dc && object ? ::SelectObject(dc, object) : nullptr) {}
    ~Selection() {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// A memory DC like another, with one bitmap selected while it lives.
class MemoryDc {
public:
    MemoryDc(HDC like, HBITMAP bitmap) noexcept : dc_(::CreateCompatibleDC(like)), selection_(dc_.dc, bitmap) {}
    ~MemoryDc() = default;  // the selection is put back first, then the DC goes
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    [[nodiscard]] HDC Get() const noexcept { return dc_.dc; }
    explicit operator bool() const noexcept { return dc_.dc != nullptr; }

private:
    struct Owned {
        HDC dc;
        Owned(HDC d) noexcept : dc(d) {}  // NOLINT(google-explicit-constructor)
        ~Owned() {
            if (dc) ::DeleteDC(dc);
        }
        Owned(const Owned&) = delete;
        Owned& operator=(const Owned&) = delete;
    };
    Owned dc_;
    Selection selection_;
};

// OleInitialize/OleUninitialize for the thread; only a successful start is undone.
class OleScope {
public:
    OleScope() noexcept : ok_(SUCCEEDED(::OleInitialize(nullptr))) {}
    ~OleScope() {
        if (ok_) ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;
    [[nodiscard]] bool Ok() const noexcept { return ok_; }

private:
    bool ok_;
};

}  // namespace kv::win
