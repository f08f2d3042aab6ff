// The owners of handles and COM objects: each closes once, and its close
// leaves the thread's last error as the failed call before it left it.
#include <windows.h>

#include <gtest/gtest.h>

#include <utility>

#include "win/com.h"
#include "win/handle.h"

namespace {

// A kind of handle whose close fails, as CloseHandle does on a handle gone bad.
struct FailingClose {
    using Type = int;
    static Type Invalid() noexcept { return 0; }
    static void Close(Type h) noexcept {
        closed += h;
        ::SetLastError(ERROR_INVALID_HANDLE);
    }
    static inline int closed = 0;
};
using Failing = kv::win::Unique<FailingClose>;

TEST(Owners, AHandlesCloseKeepsTheLastError) {
    FailingClose::closed = 0;
    {
        Failing first(1);
        first.Reset(2);
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        first.Reset();
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << "Reset";
        EXPECT_EQ(FailingClose::closed, 3);

        Failing moved(4);
        Failing target(8);
        ::SetLastError(ERROR_SHARING_VIOLATION);
        target = std::move(moved);
        EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION)) << "move assignment";
        EXPECT_EQ(FailingClose::closed, 11);
        ::SetLastError(ERROR_PATH_NOT_FOUND);
    }
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND)) << "destruction";
    EXPECT_EQ(FailingClose::closed, 15) << "each handle closed once";
}

// Counts its references; its Release changes the last error.
class Counted : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return --refs;
    }
    ULONG refs = 1;
};

TEST(Owners, AComPointerReleasesItsOneReferenceOnce) {
    Counted object;
    {
        kv::win::ComPtr<Counted> first(&object);
        kv::win::ComPtr<Counted> second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.Get(), &object);
        EXPECT_EQ(object.refs, 1u) << "a move takes no reference and releases none";
        ::SetLastError(ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(object.refs, 0u);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    object.refs = 1;
    kv::win::ComPtr<Counted> kept(&object);
    EXPECT_EQ(kept.Detach(), &object);
    EXPECT_FALSE(kept);
    kept.Reset();
    EXPECT_EQ(object.refs, 1u) << "a detached reference is the caller's";
}

TEST(Owners, AComPointerTakesItsOutParameter) {
    kv::win::ComPtr<IUnknown> unknown;
    Counted object;
    // The out-parameter a creating call fills, as CoCreateInstance would.
    *unknown.PutVoid() = static_cast<IUnknown*>(&object);
    EXPECT_EQ(unknown.Get(), &object);
    unknown.Reset();
    EXPECT_EQ(object.refs, 0u);
}

}  // namespace
