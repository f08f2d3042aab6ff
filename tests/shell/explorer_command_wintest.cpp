// korvello_shell.dll as Explorer meets it: its class through DllGetClassObject,
// the title in the user's language read from korvello.exe beside it, the icon,
// the state for each kind of item, and Invoke handing a whole selection to
// one start of the program.
#include "shell/explorer_command_win.h"

#include <gtest/gtest.h>
#include <shlobj.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/media_kinds.h"
#include "support/argv_rules.h"
#include "support/win_test_util.h"
#include "win/com.h"
#include "win/handle.h"
#include "win/text.h"

namespace {

using GetClassObject = HRESULT(__stdcall*)(REFCLSID, REFIID, void**);
using CanUnloadNow = HRESULT(__stdcall*)();
constexpr const wchar_t* kSettings = L"Software\\Korvello";

// The DLL as Explorer's surrogate loads it: from korvello.exe's folder.
class ShellDll : public ::testing::Test {
protected:
    void SetUp() override {
        ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        dll_.Reset(::LoadLibraryW((kvtest::ProgramFolder() / L"korvello_shell.dll").c_str()));
        ASSERT_TRUE(dll_) << "korvello_shell.dll beside the tests";
        getClassObject_ = reinterpret_cast<GetClassObject>(
            reinterpret_cast<void*>(::GetProcAddress(dll_.Get(), "DllGetClassObject")));
        canUnloadNow_ =
            reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(::GetProcAddress(dll_.Get(), "DllCanUnloadNow")));
        ASSERT_TRUE(getClassObject_ && canUnloadNow_);
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettings, L"Language");
    }
    void TearDown() override {
        ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kSettings, L"Language");
        ::CoUninitialize();
    }

    kv::win::ComPtr<IExplorerCommand> Command() {
        kv::win::ComPtr<IClassFactory> factory;
        EXPECT_EQ(getClassObject_(kv::shell::kConvertCommandClsid, IID_IClassFactory, factory.PutVoid()), S_OK);
        kv::win::ComPtr<IExplorerCommand> command;
        if (factory) EXPECT_EQ(factory->CreateInstance(nullptr, IID_IExplorerCommand, command.PutVoid()), S_OK);
        return command;
    }

    kv::win::UniqueModule dll_;
    GetClassObject getClassObject_ = nullptr;
    CanUnloadNow canUnloadNow_ = nullptr;
};

std::wstring Taken(HRESULT hr, LPWSTR text) {
    const kv::win::CoTaskMem<wchar_t> owned(text);
    return SUCCEEDED(hr) && text ? std::wstring(text) : L"<failed>";
}

std::wstring Title(IExplorerCommand* command) {
    LPWSTR text = nullptr;
    const HRESULT hr = command->GetTitle(nullptr, &text);
    return Taken(hr, text);
}

// The German table's text for the entry, as its source file writes it.
std::string GermanVerb() {
    const char* dir = std::getenv("KV_LANG_DIR");
    std::ifstream in(std::string(dir ? dir : ".") + "/de.txt", std::ios::binary);
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("ConvertVerb = ")) return line.substr(14);
    return {};
}

kv::win::ComPtr<IShellItemArray> ItemsOf(const std::vector<std::filesystem::path>& paths) {
    std::vector<PIDLIST_ABSOLUTE> ids;
    for (const auto& p : paths) {
        PIDLIST_ABSOLUTE id = nullptr;
        if (SUCCEEDED(::SHParseDisplayName(p.c_str(), nullptr, &id, 0, nullptr))) ids.push_back(id);
    }
    kv::win::ComPtr<IShellItemArray> items;
    if (ids.size() == paths.size())
        ::SHCreateShellItemArrayFromIDLists(static_cast<UINT>(ids.size()), const_cast<PCIDLIST_ABSOLUTE*>(ids.data()),
                                            reinterpret_cast<IShellItemArray**>(items.PutVoid()));
    for (auto* id : ids) ::CoTaskMemFree(id);
    return items;
}

EXPCMDSTATE StateOf(IExplorerCommand* command, const std::vector<std::filesystem::path>& paths, BOOL slow) {
    const auto items = ItemsOf(paths);
    EXPCMDSTATE state = ECS_DISABLED;
    EXPECT_TRUE(items) << "items of " << paths.size() << " paths";
    EXPECT_EQ(command->GetState(items.Get(), slow, &state), S_OK);
    return state;
}

TEST_F(ShellDll, OnlyItsOwnClassIsServedAndTheDllStaysWhileObjectsLive) {
    kv::win::ComPtr<IClassFactory> factory;
    EXPECT_EQ(getClassObject_(IID_IUnknown, IID_IClassFactory, factory.PutVoid()), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_FALSE(factory);
    EXPECT_EQ(canUnloadNow_(), S_OK);
    {
        auto command = Command();
        ASSERT_TRUE(command);
        EXPECT_EQ(canUnloadNow_(), S_FALSE);
        kv::win::ComPtr<IUnknown> other;
        EXPECT_EQ(command->QueryInterface(IID_IClassFactory, other.PutVoid()), E_NOINTERFACE);
        EXPECT_FALSE(other);
    }
    EXPECT_EQ(canUnloadNow_(), S_OK);
}

TEST_F(ShellDll, TheTitleFollowsTheLanguageChoiceAndTheIconIsTheProgramsOwn) {
    auto command = Command();
    ASSERT_TRUE(command);
    const std::string german = GermanVerb();
    ASSERT_FALSE(german.empty()) << "KV_LANG_DIR: the folder of the language files";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"Language", REG_SZ, L"de", 6), ERROR_SUCCESS);
    EXPECT_EQ(kv::win::Narrow(Title(command.Get())), german);
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"Language", REG_SZ, L"en", 6), ERROR_SUCCESS);
    EXPECT_EQ(Title(command.Get()), L"Convert to MP3 with Korvello");
    // A value of another type is no choice: the display language decides, never a failure.
    const DWORD one = 1;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kSettings, L"Language", REG_DWORD, &one, 4), ERROR_SUCCESS);
    EXPECT_NE(Title(command.Get()), L"<failed>");

    LPWSTR icon = nullptr;
    const HRESULT hr = command->GetIcon(nullptr, &icon);
    const std::wstring exe = (kvtest::ProgramFolder() / L"korvello.exe").wstring();
    EXPECT_TRUE(kv::win::SameTextAnyCase(Taken(hr, icon), exe + L",0"));
    EXPECT_EQ(command->GetTitle(nullptr, nullptr), E_POINTER);
    EXPECT_EQ(command->GetState(nullptr, FALSE, nullptr), E_POINTER);
    EXPCMDFLAGS flags = ECF_HASSUBCOMMANDS;
    EXPECT_EQ(command->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, ECF_DEFAULT);
}

TEST_F(ShellDll, ShownForEveryKindItTakesAndFoldersHiddenForAnythingElse) {
    auto command = Command();
    ASSERT_TRUE(command);
    kvtest::TempFolder dir(L"kvshell");
    const auto file = [&](const wchar_t* name) {
        kvtest::WriteBytes(dir.Path() / name, "x");
        return dir.Path() / name;
    };
    std::filesystem::create_directories(dir.Path() / L"Trip 2024");
    for (const BOOL slow : {FALSE, TRUE}) {
        // Every kind the program takes, in any case.
        for (const std::string_view kind : kv::kMediaExtensions) {
            const std::wstring name = L"clip." + kv::win::Widen(kind);
            EXPECT_EQ(StateOf(command.Get(), {file(name.c_str())}, slow), ECS_ENABLED) << kind;
        }
        EXPECT_EQ(StateOf(command.Get(), {file(L"b.MKV")}, slow), ECS_ENABLED);
        EXPECT_EQ(StateOf(command.Get(), {dir.Path() / L"Trip 2024"}, slow), ECS_ENABLED);
        for (const wchar_t* other : {L"notes.txt", L"song.mp3", L"clip.mp4.part", L"photos.zip"})
            EXPECT_EQ(StateOf(command.Get(), {file(other)}, slow), ECS_HIDDEN) << other;
        EXPECT_EQ(StateOf(command.Get(), {file(L"a.mp4"), dir.Path() / L"Trip 2024", file(L"notes.txt")}, slow),
                  ECS_HIDDEN);
        EXPECT_EQ(StateOf(command.Get(), {file(L"a.mp4"), dir.Path() / L"Trip 2024"}, slow), ECS_ENABLED);
    }
    EXPCMDSTATE state = ECS_ENABLED;
    EXPECT_EQ(command->GetState(nullptr, FALSE, &state), S_OK);
    EXPECT_EQ(state, ECS_HIDDEN);
}

// Each item is a call into Explorer: the first 256 of a larger selection decide.
TEST_F(ShellDll, TheFirstItemsOfALargeSelectionDecide) {
    auto command = Command();
    ASSERT_TRUE(command);
    kvtest::TempFolder dir(L"kvmany");
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < 300; ++i) {
        paths.push_back(dir.Path() / (L"clip " + std::to_wstring(i) + L".mp4"));
        kvtest::WriteBytes(paths.back(), "x");
    }
    kvtest::WriteBytes(dir.Path() / L"notes.txt", "x");
    auto late = paths;
    late.back() = dir.Path() / L"notes.txt";
    EXPECT_EQ(StateOf(command.Get(), late, FALSE), ECS_ENABLED);
    auto early = paths;
    early[255] = dir.Path() / L"notes.txt";
    EXPECT_EQ(StateOf(command.Get(), early, FALSE), ECS_HIDDEN);
}

// Forty files in one request: one start, with every path, in the program's folder.
TEST(ShellCommand, InvokeStartsTheProgramOnceWithTheWholeSelection) {
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    kvtest::TempFolder dir(L"kvinvoke");
    std::vector<std::filesystem::path> paths;
    for (int i = 0; i < 40; ++i) {
        paths.push_back(dir.Path() / (L"clip " + std::to_wstring(i) + L" & more.mp4"));
        kvtest::WriteBytes(paths.back(), "x");
    }
    std::vector<std::pair<std::wstring, std::wstring>> starts;
    auto* command = new kv::shell::ConvertCommand(L"C:\\Programs\\Korvello\\", [&](const auto& exe, const auto& line) {
        starts.emplace_back(exe, line);
        return true;
    });
    const auto items = ItemsOf(paths);
    ASSERT_TRUE(items);
    EXPECT_EQ(command->Invoke(items.Get(), nullptr), S_OK);
    ASSERT_EQ(starts.size(), 1U);
    EXPECT_EQ(starts[0].first, L"C:\\Programs\\Korvello\\korvello.exe");
    const auto argv = kvtest::ArgvOf(kv::win::Narrow(starts[0].second));
    ASSERT_EQ(argv.size(), 42U);
    EXPECT_EQ(argv[1], "/convert");
    for (std::size_t i = 0; i < paths.size(); ++i)
        EXPECT_TRUE(kv::win::SameTextAnyCase(kv::win::Widen(argv[i + 2]), paths[i].wstring())) << argv[i + 2];
    // A start that fails is an error code for Explorer, nothing thrown.
    auto* failing = new kv::shell::ConvertCommand(L"C:\\K\\", [](const auto&, const auto&) -> bool {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    });
    EXPECT_EQ(failing->Invoke(items.Get(), nullptr), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    // A failure that left no error code is still no success.
    auto* silent = new kv::shell::ConvertCommand(L"C:\\K\\", [](const auto&, const auto&) -> bool {
        ::SetLastError(0);
        return false;
    });
    EXPECT_EQ(silent->Invoke(items.Get(), nullptr), E_FAIL);
    silent->Release();
    auto* throwing = new kv::shell::ConvertCommand(
        L"C:\\K\\", [](const auto&, const auto&) -> bool { throw std::runtime_error("launcher broke"); });
    EXPECT_EQ(throwing->Invoke(items.Get(), nullptr), E_FAIL);
    EXPECT_EQ(command->Invoke(nullptr, nullptr), S_FALSE);  // nothing selected: nothing started
    EXPECT_EQ(starts.size(), 1U);
    for (auto* c : {command, failing, throwing}) c->Release();
    ::CoUninitialize();
}

}  // namespace
