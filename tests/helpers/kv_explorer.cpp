// What Windows 11's Explorer does with korvello_shell.dll, for the end-to-end
// tests: loads it, gets its class through DllGetClassObject, and asks the
// command for its title, icon or state, or invokes it on a selection.
// Usage: kv_explorer DLL title | icon | state ITEM... | invoke ITEM...
// invoke prints "STARTED n": the copies of korvello.exe the call started,
// counted as soon as it returns (a later copy lives on to hand over).
// Output is UTF-8; exit code 0 means success, 1 failure.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// {4CF52BC8-7AAD-4967-93AE-F2900BB5F436}: the class the package names.
constexpr CLSID kCommandClass = {0x4cf52bc8, 0x7aad, 0x4967, {0x93, 0xae, 0xf2, 0x90, 0x0b, 0xb5, 0xf4, 0x36}};

void Out(const std::wstring& s) {
    const int n =
        ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string u(static_cast<size_t>(n), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), u.data(), n, nullptr, nullptr);
    std::printf("%s\n", u.c_str());
}

int Fail(const std::wstring& why) {
    Out(L"kv_explorer: " + why);
    return 1;
}

IShellItemArray* ItemsOf(const std::vector<std::wstring>& paths) {
    std::vector<PIDLIST_ABSOLUTE> ids;
    for (const auto& p : paths) {
        PIDLIST_ABSOLUTE id = nullptr;
        if (FAILED(::SHParseDisplayName(p.c_str(), nullptr, &id, 0, nullptr))) break;
        ids.push_back(id);
    }
    IShellItemArray* items = nullptr;
    if (ids.size() == paths.size())
        ::SHCreateShellItemArrayFromIDLists(static_cast<UINT>(ids.size()), const_cast<PCIDLIST_ABSOLUTE*>(ids.data()),
                                            &items);
    for (auto* id : ids) ::CoTaskMemFree(id);
    return items;
}

int StartedCopies() {
    const HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    PROCESSENTRY32W e{sizeof e};
    int n = 0;
    for (BOOL ok = ::Process32FirstW(snap, &e); ok; ok = ::Process32NextW(snap, &e))
        n += e.th32ParentProcessID == ::GetCurrentProcessId() && ::lstrcmpiW(e.szExeFile, L"korvello.exe") == 0;
    ::CloseHandle(snap);
    return n;
}

int Ask(IExplorerCommand* command, const std::wstring& what, const std::vector<std::wstring>& paths) {
    LPWSTR text = nullptr;
    if (what == L"title" || what == L"icon") {
        const HRESULT hr = what == L"title" ? command->GetTitle(nullptr, &text) : command->GetIcon(nullptr, &text);
        if (FAILED(hr) || !text) return Fail(what + L" failed");
        Out(text);
        ::CoTaskMemFree(text);
        return 0;
    }
    IShellItemArray* items = ItemsOf(paths);
    if (!items) return Fail(L"cannot make the items");
    int rc = 0;
    if (what == L"state") {
        EXPCMDSTATE state = ECS_DISABLED;
        rc = FAILED(command->GetState(items, FALSE, &state));
        Out(state == ECS_ENABLED ? L"ENABLED" : state == ECS_HIDDEN ? L"HIDDEN" : L"OTHER");
    } else if (what == L"invoke") {
        rc = FAILED(command->Invoke(items, nullptr));
        Out(L"STARTED " + std::to_wstring(StartedCopies()));
    } else {
        rc = Fail(L"unknown command " + what);
    }
    items->Release();
    return rc;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        Out(L"usage: kv_explorer DLL title | icon | state ITEM... | invoke ITEM...");
        return 2;
    }
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HMODULE dll = ::LoadLibraryW(argv[1]);
    if (!dll) return Fail(L"cannot load " + std::wstring(argv[1]));
    using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
    const auto get =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(::GetProcAddress(dll, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    IExplorerCommand* command = nullptr;
    if (!get || FAILED(get(kCommandClass, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IExplorerCommand, reinterpret_cast<void**>(&command))))
        return Fail(L"no command class in the DLL");
    factory->Release();
    const int rc = Ask(command, argv[2], std::vector<std::wstring>(argv + 3, argv + argc));
    command->Release();
    ::CoUninitialize();
    return rc;
}
