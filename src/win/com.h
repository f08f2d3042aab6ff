#pragma once
// Owners of what COM hands out: an interface pointer, released once, and
// memory from the task allocator (item id lists, known-folder paths), freed
// once. Like the handle owners, they keep the thread's last error.
#include <windows.h>
#include <objbase.h>

#include "win/handle.h"

namespace kv::win {

template <typename T>
struct ComTraits {
    using Type = T*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { p->Release(); }
};

// One reference to an interface, taken over from whoever handed it out. The
// owner's Release would read as COM's, so giving up is Detach here.
template <typename T>
class ComPtr {
public:
    ComPtr() noexcept = default;
    explicit ComPtr(T* p) noexcept : p_(p) {}

    [[nodiscard]] T* Get() const noexcept { return p_.Get(); }
    T* operator->() const noexcept { return p_.Get(); }
    T& operator*() const noexcept { return *p_.Get(); }
    explicit operator bool() const noexcept { return p_.Valid(); }

    // Gives the reference up without releasing it.
    [[nodiscard]] T* Detach() noexcept { return p_.Release(); }
    void Reset(T* p = nullptr) noexcept { p_.Reset(p); }
    // For the void** out-parameter of CoCreateInstance, QueryInterface and their kind.
    void** PutVoid() noexcept { return reinterpret_cast<void**>(p_.Put()); }

private:
    Unique<ComTraits<T>> p_;
};

template <typename T>
struct CoTaskMemTraits {
    using Type = T*;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type p) noexcept { ::CoTaskMemFree(p); }
};
template <typename T>
using CoTaskMem = Unique<CoTaskMemTraits<T>>;

}  // namespace kv::win
