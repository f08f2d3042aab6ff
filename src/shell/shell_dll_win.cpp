// korvello_shell.dll: the class Explorer asks for (through the package's
// surrogate server) and the installer's actions that register the package.
#include <windows.h>
#include <unknwn.h>

#include <new>

#include "shell/explorer_command_win.h"

namespace {

using kv::shell::ConvertCommand;
using kv::shell::LiveObjects;

class CommandFactory final : public IClassFactory {
public:
    CommandFactory() { ++LiveObjects(); }
    CommandFactory(const CommandFactory&) = delete;
    CommandFactory& operator=(const CommandFactory&) = delete;

    IFACEMETHODIMP QueryInterface(REFIID riid, void** out) noexcept override {
        if (!out) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    IFACEMETHODIMP_(ULONG) AddRef() noexcept override { return ++refs_; }
    IFACEMETHODIMP_(ULONG) Release() noexcept override {
        const ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }
    IFACEMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** out) noexcept override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* command = new (std::nothrow) ConvertCommand(kv::shell::ProgramFolder(), kv::shell::StartProcess);
        if (!command) return E_OUTOFMEMORY;
        const HRESULT hr = command->QueryInterface(riid, out);
        command->Release();
        return hr;
    }
    IFACEMETHODIMP LockServer(BOOL lock) noexcept override {
        if (lock)
            ++LiveObjects();
        else
            --LiveObjects();
        return S_OK;
    }

private:
    ~CommandFactory() { --LiveObjects(); }
    std::atomic<ULONG> refs_{1};
};

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!IsEqualCLSID(clsid, kv::shell::kConvertCommandClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) CommandFactory();
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
}

__declspec(dllexport) HRESULT __stdcall DllCanUnloadNow() { return LiveObjects() == 0 ? S_OK : S_FALSE; }

}  // extern "C"
