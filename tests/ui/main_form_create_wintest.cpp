#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
#include <shlobj.h>

#include <filesystem>
#include <set>
#include <string_view>
#include <vector>

#include "app/application_win.h"
#include "app/runner_text.h"
#include "app/settings_win.h"
#include "app/tool_install_win.h"
#include "support/program.h"
#include "support/form_access.h"
#include "ui/layout.h"
#include "ui/main_form_win.h"
#include "win/handle.h"
#include "win/com.h"
#include "win/text.h"

namespace {

namespace fs = std::filesystem;

using kvtest::Program;

// A known folder as the shell names it, not through the program's own helpers.
std::string KnownFolder(REFKNOWNFOLDERID id) {
    kv::win::CoTaskMem<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.Put()))) return {};
    return kv::win::Narrow(path.Get());
}
std::string DocumentsKorvello() { return KnownFolder(FOLDERID_Documents) + "\\Korvello\\"; }
std::string AppDataKorvello() { return KnownFolder(FOLDERID_RoamingAppData) + "\\Korvello\\"; }

void DeleteSettings() { ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvello"); }

// Replaces the settings key's access list; every list used keeps WRITE_DAC so
// that the test can hand full access back.
void SetSettingsAccess(const wchar_t* sddl) {
    HKEY k = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Korvello", 0, WRITE_DAC, &k), ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr));
    EXPECT_EQ(::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, sd),
              ERROR_SUCCESS);
    ::LocalFree(sd);
    ::RegCloseKey(k);
}
constexpr const wchar_t* kReadOnly = L"D:P(A;OICI;KRWD;;;WD)";
constexpr const wchar_t* kNoAccess = L"D:P(A;OICI;WD;;;WD)";
constexpr const wchar_t* kFullAccess = L"D:P(A;OICI;KA;;;WD)";

std::string ResourceBytes(const char* name) {
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC r = ::FindResourceW(self, kv::win::Widen(name).c_str(), L"EXE");
    if (!r) return {};
    auto* p = static_cast<const char*>(::LockResource(::LoadResource(self, r)));
    return std::string(p, ::SizeofResource(self, r));
}

TEST(FormCreate, FirstStartRecordsFoldersAndWritesHiddenToolFiles) {
    DeleteSettings();
    Program p;
    auto& f = *p.form;
    ASSERT_FALSE(KnownFolder(FOLDERID_Documents).empty());
    EXPECT_EQ(kvtest::FormAccess::WorkDir(f), DocumentsKorvello());
    EXPECT_EQ(kvtest::FormAccess::AppDir(f), AppDataKorvello());
    EXPECT_EQ(f.ControlText("Edit3"), kvtest::FormAccess::WorkDir(f));
    EXPECT_EQ(f.ControlText("Edit4"), kvtest::FormAccess::WorkDir(f));
    EXPECT_TRUE(kv::DirectoryExists(kvtest::FormAccess::WorkDir(f)));
    EXPECT_TRUE(kv::DirectoryExists(kvtest::FormAccess::AppDir(f)));
    EXPECT_FALSE(kvtest::FormAccess::TempDir(f).empty());
    EXPECT_EQ(kvtest::FormAccess::TempDir(f).back(), '\\');
    EXPECT_FALSE(kvtest::FormAccess::Logic(f).Busy());

    kv::RegistryKey key(kv::kSettingsKey);
    EXPECT_EQ(key.ReadString("WorkDir"), kvtest::FormAccess::WorkDir(f));
    EXPECT_EQ(key.ReadString("AppDir"), kvtest::FormAccess::AppDir(f));

    for (const auto& tool : kv::kToolFiles) {
        const std::string path = kvtest::FormAccess::AppDir(f) + tool.fileName;
        const DWORD attrs = ::GetFileAttributesW(kv::win::Widen(path).c_str());
        ASSERT_NE(attrs, INVALID_FILE_ATTRIBUTES) << path;
        EXPECT_TRUE(attrs & FILE_ATTRIBUTE_HIDDEN) << path;
        EXPECT_EQ(kvtest::ReadBytes(kvtest::FromUtf8(path)), ResourceBytes(tool.resource)) << path;
    }
    EXPECT_EQ(kv::win::Widen(kvtest::FormAccess::MediaInfoPath(f)).find(L' '), std::wstring::npos);
    EXPECT_TRUE(kv::FileExists(kvtest::FormAccess::MediaInfoPath(f)));
    EXPECT_TRUE(kv::FileExists(kvtest::FormAccess::FfmpegPath(f)));
    EXPECT_TRUE(p.dialogs->boxes.empty());
}

TEST(FormCreate, StoredOutputFolderIsShownAndRecreated) {
    kvtest::TempFolder dir;
    const std::string stored = kvtest::Utf8(dir.Path() / L"Ausgabe Ü");
    DeleteSettings();
    {
        kv::RegistryKey key(kv::kSettingsKey);
        key.WriteString("WorkDir", stored);
        key.WriteString("AppDir", "C:\\stale\\");
    }
    Program p;
    EXPECT_EQ(kvtest::FormAccess::WorkDir(*p.form), stored);
    EXPECT_EQ(p.form->ControlText("Edit3"), stored);
    EXPECT_TRUE(kv::DirectoryExists(stored));
    // The default folder is still created, and AppDir is written at every start.
    EXPECT_TRUE(kv::DirectoryExists(DocumentsKorvello()));
    EXPECT_EQ(kv::RegistryKey(kv::kSettingsKey).ReadString("AppDir"), kvtest::FormAccess::AppDir(*p.form));
    DeleteSettings();
}

TEST(FormCreate, ReadOnlySettingsStillGiveTheStoredOutputFolder) {
    kvtest::TempFolder dir;
    const std::string stored = kvtest::Utf8(dir.Path());
    DeleteSettings();
    kv::RegistryKey(kv::kSettingsKey).WriteString("WorkDir", stored);
    SetSettingsAccess(kReadOnly);
    {
        Program p;
        EXPECT_EQ(kvtest::FormAccess::WorkDir(*p.form), stored);
        EXPECT_EQ(p.form->ControlText("Edit3"), stored);
        EXPECT_TRUE(p.dialogs->boxes.empty());
    }
    SetSettingsAccess(kFullAccess);
    EXPECT_FALSE(kv::RegistryKey(kv::kSettingsKey).ValueExists("AppDir"));
    DeleteSettings();
}

TEST(FormCreate, UnreadableSettingsFallBackToTheDefaultOutputFolder) {
    DeleteSettings();
    kv::RegistryKey(kv::kSettingsKey).WriteString("WorkDir", "C:\\stored\\");
    SetSettingsAccess(kNoAccess);
    {
        Program p;
        const std::string fallback = DocumentsKorvello();
        EXPECT_EQ(kvtest::FormAccess::WorkDir(*p.form), fallback);
        EXPECT_EQ(p.form->ControlText("Edit3"), fallback);
        EXPECT_TRUE(kv::DirectoryExists(fallback));
        EXPECT_TRUE(p.dialogs->boxes.empty());
    }
    SetSettingsAccess(kFullAccess);
    DeleteSettings();
}

TEST(FormCreate, ToolFilesLeftHiddenByAnEarlierRunAreReplaced) {
    DeleteSettings();
    const std::string appDir = AppDataKorvello();
    kv::CreateDir(appDir);
    const fs::path exe = kvtest::FromUtf8(appDir + "ffmpeg.exe");
    ::SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_NORMAL);
    kvtest::WriteBytes(exe, "stale contents of an older build");
    ::SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_HIDDEN);
    Program p;
    EXPECT_EQ(kvtest::ReadBytes(exe), ResourceBytes("MYEX1"));
}

// Leftovers of any kind are replaced, and what was written is held: nobody
// can change a tool between its check and its use.
TEST(FormCreate, ReadOnlyAndSystemLeftoversAreReplacedAndTheWrittenFilesHeld) {
    DeleteSettings();
    const std::string appDir = AppDataKorvello();
    kv::CreateDir(appDir);
    for (const char* name : {"ffmpeg.exe", "mediainfo.exe"}) {
        const fs::path file = kvtest::FromUtf8(appDir + name);
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        kvtest::WriteBytes(file, "planted: not the program's own");
        ASSERT_TRUE(::SetFileAttributesW(file.c_str(),
                                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    }
    Program p;
    EXPECT_EQ(kvtest::ReadBytes(kvtest::FromUtf8(appDir + "ffmpeg.exe")), ResourceBytes("MYEX1"));
    EXPECT_EQ(kvtest::ReadBytes(kvtest::FromUtf8(appDir + "mediainfo.exe")), ResourceBytes("MYEX7"));
    EXPECT_FALSE(kvtest::FormAccess::FfmpegPath(*p.form).empty());
    const std::wstring exe = kv::win::Widen(appDir + "ffmpeg.exe");
    kv::win::UniqueFile writer(::CreateFileW(exe.c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer) << "the program holds its tool against writing";
    EXPECT_FALSE(::DeleteFileW(exe.c_str())) << "and against deletion";
}

// A tool file another program holds, with other bytes: nothing is run from
// it, and the user is told why. The same file holding the program's own
// bytes is as good as written.
TEST(FormCreate, AToolThatCannotBeWrittenIsNeverRunAndTheUserIsTold) {
    DeleteSettings();
    const std::string appDir = AppDataKorvello();
    kv::CreateDir(appDir);
    const std::wstring exe = kv::win::Widen(appDir + "ffmpeg.exe");
    ::SetFileAttributesW(exe.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(exe.c_str());
    {
        kvtest::WriteBytes(kvtest::FromUtf8(appDir + "ffmpeg.exe"), "planted by someone else");
        kv::win::UniqueFile other(
            ::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        Program p;
        EXPECT_TRUE(kvtest::FormAccess::FfmpegPath(*p.form).empty()) << "an unchecked transcoder is never run";
        EXPECT_FALSE(kvtest::FormAccess::MediaInfoPath(*p.form).empty()) << "the reader is not concerned";
        p.form->Show();
        ASSERT_TRUE(kvtest::PumpUntil([&] { return !p.dialogs->boxes.empty(); }, 5000));
        const auto& box = p.dialogs->boxes[0];
        EXPECT_NE(box.text.find("\"ffmpeg.exe\""), std::string::npos) << box.text;
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONWARNING));
    }
    {
        kvtest::WriteBytes(kvtest::FromUtf8(appDir + "ffmpeg.exe"), ResourceBytes("MYEX1"));
        kv::win::UniqueFile other(
            ::CreateFileW(exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other);
        Program p;
        EXPECT_FALSE(kvtest::FormAccess::FfmpegPath(*p.form).empty());
        p.form->Show();
        kvtest::PumpFor(300);
        EXPECT_TRUE(p.dialogs->boxes.empty());
    }
}

void WriteSetting(const wchar_t* name, DWORD type, const std::wstring& value) {
    HKEY k = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Korvello", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                nullptr),
              ERROR_SUCCESS);
    ::RegSetValueExW(k, name, 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                     static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    ::RegCloseKey(k);
}

// The output folder as read back: expanded when stored so, and the default
// for this start when it is blank, relative or no folder at all; the setting
// itself stays as the user left it.
TEST(FormCreate, TheStoredOutputFolderIsUsedOnlyWhenItIsAUsableFolder) {
    kvtest::TempFolder dir(L"kv expand");
    DeleteSettings();
    wchar_t temp[MAX_PATH + 1];
    ::GetEnvironmentVariableW(L"TEMP", temp, MAX_PATH + 1);
    const std::wstring expandedWant = std::wstring(temp) + L"\\kv expanded out";
    WriteSetting(L"WorkDir", REG_EXPAND_SZ, L"%TEMP%\\kv expanded out");
    {
        Program p;
        EXPECT_EQ(kvtest::FormAccess::WorkDir(*p.form), kv::win::Narrow(expandedWant));
        EXPECT_TRUE(kv::DirectoryExists(kv::win::Narrow(expandedWant)));
    }
    ::RemoveDirectoryW(expandedWant.c_str());
    const std::string file = kvtest::Utf8(dir.Path() / L"a file");
    kvtest::WriteBytes(kvtest::FromUtf8(file), "x");
    for (const std::wstring& unusable :
         {std::wstring(L""), std::wstring(L"   "), std::wstring(L"Music"), std::wstring(L"..\\out"),
          std::wstring(L"\\out"), kv::win::Widen(file), std::wstring(L"C:\\a|b")}) {
        WriteSetting(L"WorkDir", REG_SZ, unusable);
        Program p;
        EXPECT_EQ(kvtest::FormAccess::WorkDir(*p.form), DocumentsKorvello()) << kv::win::Narrow(unusable);
        EXPECT_EQ(p.form->ControlText("Edit3"), DocumentsKorvello());
        EXPECT_EQ(kv::RegistryKey(kv::kSettingsKey).ReadString("WorkDir"), kv::win::Narrow(unusable))
            << "the setting is left as it was";
    }
    DeleteSettings();
}

TEST(FormCreate, MissingResourceIsReportedAndTheWindowStillOpens) {
    DeleteSettings();
    kv::FormOptions o;
    o.resourceModule = ::GetModuleHandleW(L"kernel32.dll");  // has resources, none of type "EXE"
    Program p(std::move(o));
    ASSERT_EQ(p.dialogs->boxes.size(), 1u);
    EXPECT_EQ(p.dialogs->boxes[0].text, "Resource MYEX6 not found.");
    EXPECT_EQ(p.dialogs->boxes[0].caption, "Korvello");
    EXPECT_EQ(p.dialogs->boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_TRUE(::IsWindow(p.form->Handle()));
    // The steps before the failed one are done.
    EXPECT_FALSE(kvtest::FormAccess::WorkDir(*p.form).empty());
    EXPECT_TRUE(kvtest::FormAccess::FfmpegPath(*p.form).empty());
}

TEST(MainWindow, LayoutAndShape) {
    DeleteSettings();
    Program p;
    auto& f = *p.form;
    RECT rc;
    ::GetClientRect(f.Handle(), &rc);
    EXPECT_EQ(rc.right, 503);
    EXPECT_EQ(rc.bottom, 479);
    EXPECT_EQ(::GetWindowLongW(f.Handle(), GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    EXPECT_EQ(::GetWindow(f.Handle(), GW_OWNER), p.app.Handle());
    // Tab passes over the path boxes and the hidden stores.
    for (const char* name : {"Edit1", "Edit2", "Edit3", "Edit4", "ListBox1", "ListBox2", "Memo3"}) {
        HWND h = f.Control(name);
        ASSERT_TRUE(h) << name;
        EXPECT_FALSE(::GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) << name;
    }
    for (const char* name : {"Button1", "Button2", "Button3", "ListView1", "EzRgnBtn1", "EzRgnBtn2", "EzRgnBtn3"}) {
        HWND h = f.Control(name);
        ASSERT_TRUE(h) << name;
        EXPECT_TRUE(::GetWindowLongW(h, GWL_STYLE) & WS_TABSTOP) << name;
    }
    HWND list = f.Control("ListView1");
    EXPECT_EQ(Header_GetItemCount(ListView_GetHeader(list)), 5);
    // The columns as their texts need, within the list: it never scrolls sideways.
    int total = 0;
    for (int i = 0; i < 5; ++i) total += ListView_GetColumnWidth(list, i);
    EXPECT_LE(total, 473 - 4 - 17);
    EXPECT_EQ(ListView_GetColumnWidth(list, 0), 40);
    EXPECT_GE(ListView_GetColumnWidth(list, 1), 154 * 3 / 5);
    f.Show();
    kvtest::PumpFor(100);
    // The rounded corners are outside the window's shape; the face is inside.
    HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(::GetWindowRgn(f.Handle(), rgn), ERROR);
    EXPECT_FALSE(::PtInRegion(rgn, 1, 1));
    EXPECT_FALSE(::PtInRegion(rgn, 501, 477));
    EXPECT_TRUE(::PtInRegion(rgn, 15, 15));
    EXPECT_TRUE(::PtInRegion(rgn, 250, 240));
    ::DeleteObject(rgn);
    // The hidden stores lie right of the visible area.
    RECT store;
    ::GetWindowRect(f.Control("ListBox1"), &store);
    ::MapWindowPoints(nullptr, f.Handle(), reinterpret_cast<POINT*>(&store), 2);
    EXPECT_GE(store.left, 503);
    // Hidden too: a shown store would repaint at every change of its contents.
    for (const char* name : {"Edit4", "ListBox1", "ListBox2", "Memo3"})
        EXPECT_FALSE(::IsWindowVisible(f.Control(name))) << name;
    EXPECT_TRUE(::IsWindowVisible(f.Control("ListView1")));
}

TEST(MainWindow, EveryHandlerTheLayoutNamesIsBound) {
    DeleteSettings();
    Program p;
    // The layout does name handlers of every kind, so an empty answer means bound, not unread.
    std::set<std::string_view> named;
    for (const auto& def : kv::ui::MainLayout())
        for (std::string_view h : {def.on.click, def.on.keyPress, def.on.keyDown, def.on.mouseDown, def.on.customDraw,
                                   def.on.mouseEnter, def.on.mouseLeave})
            if (!h.empty()) named.insert(h);
    EXPECT_GE(named.size(), 20u);
    for (const char* h : {"Button1Click", "EzRgnBtn3Click", "ListView1KeyDown", "Edit1KeyPress", "Image1MouseDown",
                          "d4_ListViewCustomDrawSubItem", "Label1MouseEnter"})
        EXPECT_TRUE(named.count(h)) << h;
    // Every one of them binds a method of the window, or the program would not have been built.
    EXPECT_FALSE(p.form->RunClick("NoSuchHandlerClick"));
}

}  // namespace
