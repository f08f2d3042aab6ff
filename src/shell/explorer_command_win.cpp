#include "shell/explorer_command_win.h"

#include <shlwapi.h>

#include <new>
#include <utility>

#include "app/settings_store_win.h"
#include "app/settings_win.h"
#include "app/texts.h"
#include "app/texts_win.h"
#include "convert/choices.h"
#include "shell/explorer_selection.h"
#include "win/com.h"
#include "win/handle.h"
#include "win/text.h"

namespace kv::shell {
namespace {

// {8C77B6F2-69DE-49E8-8CB1-91237874D828}: the command's own name, apart from its class.
constexpr DWORD kJudgedItems = 256;
constexpr GUID kCanonicalName = {0x8c77b6f2, 0x69de, 0x49e8, {0x8c, 0xb1, 0x91, 0x23, 0x78, 0x74, 0xd8, 0x28}};

// Explorer is the caller: whatever goes wrong is an error code, never an exception.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
    try {
        return std::forward<Body>(body)();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::exception&) {
        return E_FAIL;
    } catch (...) {  // NOLINT(bugprone-empty-catch): answered as an unexpected failure
        return E_UNEXPECTED;
    }
}

// A copy of the text in memory the caller frees with CoTaskMemFree.
HRESULT Handed(const std::wstring& text, LPWSTR* out) { return ::SHStrDupW(text.c_str(), out); }

// The Language choice as the program reads it, whatever the value holds.
std::string StoredLanguage() {
    ConversionChoices choices;
    ReadLanguageChoice(choices, RegistrySettings(kSettingsKey).Read(kLanguageValue));
    return choices.language;
}

// The item's file-system path and whether it is a folder (a zip file, a
// folder to the shell, is a file here), from what the item carries.
SelectedItem ItemOf(IShellItem* item) {
    SelectedItem out;
    win::CoTaskMem<wchar_t> path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path) return out;
    out.path = win::Narrow(path.Get());
    SFGAOF attributes = 0;
    if (SUCCEEDED(item->GetAttributes(SFGAO_FOLDER | SFGAO_STREAM, &attributes)))
        out.folder = (attributes & SFGAO_FOLDER) != 0 && (attributes & SFGAO_STREAM) == 0;
    return out;
}

std::vector<SelectedItem> SelectionItems(IShellItemArray* items, DWORD most = MAXDWORD) {
    std::vector<SelectedItem> out;
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count))) return out;
    for (DWORD i = 0; i < count && i < most; ++i) {
        win::ComPtr<IShellItem> item;
        if (FAILED(items->GetItemAt(i, reinterpret_cast<IShellItem**>(item.PutVoid())))) return {};
        out.push_back(ItemOf(item.Get()));
    }
    return out;
}

}  // namespace

std::atomic<long>& LiveObjects() {
    static std::atomic<long> live{0};
    return live;
}

std::wstring ProgramFolder() {
    HMODULE self = nullptr;
    if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                              reinterpret_cast<LPCWSTR>(&ProgramFolder), &self))
        return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring EntryTitle(const std::wstring& exePath) {
    const Language& language = PickLanguage(StoredLanguage(), UserDisplayLanguages());
    const win::UniqueModule exe(
        ::LoadLibraryExW(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
    std::string text = exe ? LoadText(exe.Get(), TextId::ConvertVerb, language) : std::string();
    if (text.empty()) text = EnglishText(TextId::ConvertVerb);
    return win::Widen(WithoutAccessKey(text));
}

std::vector<std::string> SelectionPaths(IShellItemArray* items) {
    std::vector<std::string> paths;
    for (auto& item : SelectionItems(items))
        if (!item.path.empty()) paths.push_back(std::move(item.path));
    return paths;
}

bool StartProcess(const std::wstring& exe, const std::wstring& commandLine) {
    std::wstring line = commandLine;  // CreateProcessW may write into it
    const auto slash = exe.find_last_of(L'\\');
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : exe.substr(0, slash + 1);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &si, &pi))
        return false;
    const win::UniqueHandle process(pi.hProcess), thread(pi.hThread);
    // The user asked for it: its window may come to the front.
    ::AllowSetForegroundWindow(pi.dwProcessId);
    return true;
}

ConvertCommand::ConvertCommand(std::wstring folder, Launcher launch)
    : folder_(std::move(folder)), launch_(std::move(launch)) {
    ++LiveObjects();
}

ConvertCommand::~ConvertCommand() { --LiveObjects(); }

std::wstring ConvertCommand::ExePath() const { return folder_ + L"korvello.exe"; }

IFACEMETHODIMP ConvertCommand::QueryInterface(REFIID riid, void** out) noexcept {
    if (!out) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IExplorerCommand)) {
        *out = static_cast<IExplorerCommand*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

IFACEMETHODIMP_(ULONG) ConvertCommand::AddRef() noexcept { return ++refs_; }

IFACEMETHODIMP_(ULONG) ConvertCommand::Release() noexcept {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
}

IFACEMETHODIMP ConvertCommand::GetTitle(IShellItemArray*, LPWSTR* name) noexcept {
    if (!name) return E_POINTER;
    *name = nullptr;
    return Guarded([&] { return Handed(EntryTitle(ExePath()), name); });
}

IFACEMETHODIMP ConvertCommand::GetIcon(IShellItemArray*, LPWSTR* icon) noexcept {
    if (!icon) return E_POINTER;
    *icon = nullptr;
    return Guarded([&] { return Handed(ExePath() + L",0", icon); });
}

IFACEMETHODIMP ConvertCommand::GetToolTip(IShellItemArray*, LPWSTR* tip) noexcept {
    if (tip) *tip = nullptr;
    return E_NOTIMPL;
}

IFACEMETHODIMP ConvertCommand::GetCanonicalName(GUID* name) noexcept {
    if (!name) return E_POINTER;
    *name = kCanonicalName;
    return S_OK;
}

// Names and the attributes the items carry: no file is opened, so the
// answer is as quick whether or not Explorer allows a slow one. Each item is
// a call into Explorer's process: the first kJudgedItems decide for a larger
// selection (the program checks every path it is given anyway).
IFACEMETHODIMP ConvertCommand::GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) noexcept {
    if (!state) return E_POINTER;
    *state = ECS_HIDDEN;
    return Guarded([&] {
        if (ShowsFor(SelectionItems(items, kJudgedItems))) *state = ECS_ENABLED;
        return S_OK;
    });
}

IFACEMETHODIMP ConvertCommand::Invoke(IShellItemArray* items, IBindCtx*) noexcept {
    return Guarded([&] {
        const auto lines = ConvertCommandLines(win::Narrow(ExePath()), SelectionPaths(items));
        if (lines.empty()) return S_FALSE;
        for (const auto& line : lines) {
            if (launch_(ExePath(), win::Widen(line))) continue;
            const DWORD error = ::GetLastError();
            return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }
        return S_OK;
    });
}

IFACEMETHODIMP ConvertCommand::GetFlags(EXPCMDFLAGS* flags) noexcept {
    if (!flags) return E_POINTER;
    *flags = ECF_DEFAULT;
    return S_OK;
}

IFACEMETHODIMP ConvertCommand::EnumSubCommands(IEnumExplorerCommand** commands) noexcept {
    if (commands) *commands = nullptr;
    return E_NOTIMPL;
}

}  // namespace kv::shell
