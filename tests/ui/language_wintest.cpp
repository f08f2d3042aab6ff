// The window in another language under Wine: the stored choice and the menu's
// captions, list heads, menus and message boxes come from the executable's
// own string tables, and a change shows at once.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "app/texts_win.h"
#include "support/form_access.h"
#include "support/form_fixture.h"
#include "support/program.h"
#include "ui/choice_menu.h"
#include "win/text.h"

namespace {

using kv::TextId;
using kvtest::FormAccess;
using kvtest::Program;

const wchar_t kKey[] = L"Software\\Korvello";

std::string Table(std::string_view tag, TextId id) {
    const auto texts = kv::LoadTexts(::GetModuleHandleW(nullptr), *kv::FindLanguage(tag));
    return texts.at(static_cast<std::size_t>(id));
}

std::string ColumnHead(HWND list, int column) {
    wchar_t text[128]{};
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT;
    c.pszText = text;
    c.cchTextMax = 128;
    ListView_GetColumn(list, column, &c);
    return kv::win::Narrow(text);
}

std::wstring Stored() {
    wchar_t text[64]{};
    DWORD size = sizeof text;
    ::RegGetValueW(HKEY_CURRENT_USER, kKey, L"Language", RRF_RT_REG_SZ, nullptr, text, &size);
    return text;
}

unsigned LanguageCommand(std::string_view tag) {
    unsigned place = 1;
    for (const auto& l : kv::Languages()) {
        if (l.tag == tag) return kv::ui::kLanguageCommand + 16 * place;
        ++place;
    }
    return 0;
}

class Language : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey); }
    void TearDown() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        kv::UseLanguage("auto");
    }
};

// A language's source file as the tables' script reads it.
std::map<std::string, std::string> SourceTable(std::string_view tag) {
    const char* dir = std::getenv("KV_LANG_DIR");
    std::map<std::string, std::string> table;
    if (!dir) return table;
    std::ifstream in(std::string(dir) + "/" + std::string(tag) + ".txt", std::ios::binary);
    for (std::string line; std::getline(in, line);) {
        const std::size_t eq = line.find(" = ");
        if (line.empty() || line[0] == '#' || eq == std::string::npos) continue;
        std::string text;
        for (std::size_t i = eq + 3; i < line.size(); ++i) {
            if (line[i] == '\\' && i + 1 < line.size()) {
                text += line[i + 1] == 'n' ? '\n' : line[i + 1];
                ++i;
            } else {
                text += line[i];
            }
        }
        table[line.substr(0, eq)] = text;
    }
    return table;
}

// The executable holds each language's texts exactly as written, in every
// script: a table compiled wrong would still be whole.
TEST_F(Language, EveryTableInTheProgramIsItsSourceExactly) {
    ASSERT_TRUE(std::getenv("KV_LANG_DIR")) << "KV_LANG_DIR: the folder of the language files";
    for (const auto& l : kv::Languages()) {
        if (l.tag == "en") continue;
        const auto source = SourceTable(l.tag);
        ASSERT_EQ(source.size(), kv::kTextCount) << l.tag;
        const auto texts = kv::LoadTexts(::GetModuleHandleW(nullptr), l);
        for (std::size_t i = 0; i < kv::kTextCount; ++i)
            ASSERT_EQ(texts[i], source.at(std::string(kv::TextName(static_cast<TextId>(i))))) << l.tag << " " << i;
    }
}

// Every table is in the executable, whole: no language falls back anywhere.
TEST_F(Language, EveryTableIsInTheProgramWithEveryText) {
    for (const auto& l : kv::Languages()) {
        const auto texts = kv::LoadTexts(::GetModuleHandleW(nullptr), l);
        ASSERT_EQ(texts.size(), kv::kTextCount);
        for (std::size_t i = 0; i < texts.size(); ++i) EXPECT_FALSE(texts[i].empty()) << l.tag << " " << i;
        if (l.tag != "en")
            EXPECT_NE(texts[static_cast<std::size_t>(TextId::TypeColumn)] +
                          texts[static_cast<std::size_t>(TextId::AddFileButton)],
                      "Type&Add MP4 File")
                << l.tag;
    }
    EXPECT_EQ(Table("en", TextId::AddFileButton), "&Add MP4 File");
}

TEST_F(Language, TheStoredLanguageCaptionsTheWindowAndTheMenuSwitchesItAtOnce) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Language", REG_SZ, L"DE", 3 * sizeof(wchar_t));
    Program p;
    HWND list = p.form->Control("ListView1");
    EXPECT_EQ(p.form->ControlText("Button1"), Table("de", TextId::AddFileButton));
    EXPECT_EQ(ColumnHead(list, 2), Table("de", TextId::ProgressColumn));
    EXPECT_EQ(FormAccess::Choices(*p.form).language, "de");
    // Through the system menu, as a user would.
    ::SendMessageW(p.form->Handle(), WM_SYSCOMMAND, LanguageCommand("ja"), 0);
    EXPECT_EQ(Stored(), L"ja");
    EXPECT_EQ(p.form->ControlText("Button2"), Table("ja", TextId::AddFolderButton));
    EXPECT_EQ(ColumnHead(list, 0), Table("ja", TextId::TypeColumn));
    ::SendMessageW(p.form->Handle(), WM_SYSCOMMAND, kv::ui::kAboutCommand, 0);
    ASSERT_EQ(p.dialogs->boxes.size(), 1u);
    EXPECT_EQ(p.dialogs->boxes[0].caption, Table("ja", TextId::AboutTitle));
    EXPECT_NE(p.dialogs->boxes[0].text.find(Table("ja", TextId::AboutWhat)), std::string::npos);
    // The system menu's groups are in the language too.
    HMENU sys = ::GetSystemMenu(p.form->Handle(), FALSE);
    int first = 0;
    while (first < ::GetMenuItemCount(sys) && !::GetSubMenu(sys, first)) ++first;
    wchar_t caption[128]{};
    ::GetMenuStringW(sys, static_cast<UINT>(first), caption, 128, MF_BYPOSITION);
    EXPECT_EQ(kv::win::Narrow(caption), Table("ja", TextId::QualityGroup));
    // Back to Windows' own: the display language's table.
    ::SendMessageW(p.form->Handle(), WM_SYSCOMMAND, kv::ui::kLanguageCommand, 0);
    EXPECT_EQ(Stored(), L"auto");
    const std::string shown(kv::PickLanguage("auto", kv::UserDisplayLanguages()).tag);
    EXPECT_EQ(p.form->ControlText("Button3"), Table(shown, TextId::BrowseButton));
}

// The rows already listed read in the new language at once.
using LanguageRows = kvtest::FormTest;
TEST_F(LanguageRows, TheRowsReadInTheNewLanguageAtOnce) {
    kvtest::TempFolder dir;
    for (const wchar_t* n : {L"a.mp4", L"b.mp4"}) AddFile(kvtest::MediaFile("aac_mono_48k.mp4"), dir.Path() / n);
    SetState(1, kv::JobState::Failed);
    ::SendMessageW(f->Handle(), WM_SYSCOMMAND, LanguageCommand("ru"), 0);
    EXPECT_EQ(Cell(0, 2), Table("ru", TextId::PendingState));
    EXPECT_EQ(Cell(1, 2), Table("ru", TextId::FailedState));
    EXPECT_EQ(ColumnHead(f->Control("ListView1"), 3), Table("ru", TextId::ConvertedColumn));
    ::SendMessageW(f->Handle(), WM_SYSCOMMAND, kv::ui::kLanguageCommand + 16, 0);  // English
    EXPECT_EQ(Cell(1, 2), "Failed");
    ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, L"Language");
    kv::UseLanguage("auto");
}

// Run with LANG set to a language of Windows' display (see cmake): with no
// stored choice the window speaks it.
TEST_F(Language, TheDisplayLanguageIsTheDefault) {
    const char* expected = std::getenv("KV_EXPECT_LANGUAGE");
    if (!expected) GTEST_SKIP() << "run by the display-language tests alone";
    const auto display = kv::UserDisplayLanguages();
    ASSERT_FALSE(display.empty());
    Program p;
    EXPECT_EQ(kv::CurrentLanguage().tag, expected) << display[0];
    EXPECT_EQ(p.form->ControlText("Button1"), Table(expected, TextId::AddFileButton));
    EXPECT_EQ(ColumnHead(p.form->Control("ListView1"), 1), Table(expected, TextId::FileNameColumn));
}

}  // namespace
