#pragma once
// Move-only owners for Win32 handles: one template, one traits struct per kind.
// An owner's close keeps the thread's last error, so a caller may read the
// code of the call that failed after the owner of its handle has gone.
#include <windows.h>

#include <utility>

namespace kv::win {

// Puts the thread's last error back when it goes.
class LastErrorKept {
public:
    LastErrorKept() noexcept : code_(::GetLastError()) {}
    ~LastErrorKept() { ::SetLastError(code_); }
    LastErrorKept(const LastErrorKept&) = delete;
    LastErrorKept& operator=(const LastErrorKept&) = delete;

private:
    DWORD code_;
};

template <typename Traits>
class Unique {
public:
    using Type = typename Traits::Type;

    Unique() noexcept = default;
    explicit Unique(Type h) noexcept : h_(h) {}
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;
    Unique(Unique&& o) noexcept : h_(o.Release()) {}
    Unique& operator=(Unique&& o) noexcept {
        if (this != &o) Reset(o.Release());
        return *this;
    }
    ~Unique() { Reset(); }

    [[nodiscard]] Type Get() const noexcept { return h_; }
    [[nodiscard]] bool Valid() const noexcept { return h_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return Valid(); }

    // Gives up ownership, e.g. after SetWindowRgn, when the system owns the region.
    [[nodiscard]] Type Release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    void Reset(Type h = Traits::Invalid()) noexcept {
        Type old = std::exchange(h_, h);
        if (old == Traits::Invalid()) return;
        const LastErrorKept kept;
        Traits::Close(old);
    }
    // For out-parameters of creating calls (RegCreateKeyExW ...).
    Type* Put() noexcept {
        Reset();
        return &h_;
    }

private:
    Type h_ = Traits::Invalid();
};

struct KernelTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
// CreateFile, CreateToolhelp32Snapshot give INVALID_HANDLE_VALUE on failure, not null.
struct FileTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};
struct FindTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};
struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::RegCloseKey(h); }
};
template <typename G>
struct GdiTraits {
    using Type = G;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DeleteObject(h); }
};
struct AtomTraits {
    using Type = ATOM;
    static Type Invalid() noexcept { return 0; }
    static void Close(Type a) noexcept { ::GlobalDeleteAtom(a); }
};
struct WindowTraits {
    using Type = HWND;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyWindow(h); }
};
struct IconTraits {
    using Type = HICON;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyIcon(h); }
};

struct MenuTraits {
    using Type = HMENU;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::DestroyMenu(h); }
};

// A DLL or a file loaded as a resource-only image.
struct ModuleTraits {
    using Type = HMODULE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::FreeLibrary(h); }
};

// A thread-pool wait; closing it waits for a callback still running.
struct WaitTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type h) noexcept { ::UnregisterWaitEx(h, INVALID_HANDLE_VALUE); }
};

using UniqueHandle = Unique<KernelTraits>;
using UniqueWait = Unique<WaitTraits>;
using UniqueFile = Unique<FileTraits>;
using UniqueFind = Unique<FindTraits>;
using UniqueKey = Unique<RegKeyTraits>;
using UniqueRgn = Unique<GdiTraits<HRGN>>;
using UniqueBitmap = Unique<GdiTraits<HBITMAP>>;
using UniqueFont = Unique<GdiTraits<HFONT>>;
using UniqueBrush = Unique<GdiTraits<HBRUSH>>;
using UniqueAtom = Unique<AtomTraits>;
using UniqueWindow = Unique<WindowTraits>;
using UniqueIcon = Unique<IconTraits>;
using UniqueMenu = Unique<MenuTraits>;
using UniqueModule = Unique<ModuleTraits>;

}  // namespace kv::win
