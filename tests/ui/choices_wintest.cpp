// The user's choices under Wine: read from the registry whatever it holds,
// shown in the shortcut menu and the system menu with radio marks, reached by
// mouse and keyboard, written back when changed.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "support/form_access.h"
#include "support/key_input.h"
#include "support/program.h"
#include "ui/choice_menu.h"
#include "win/text.h"

namespace {

using kv::Mp3Quality;
using kv::WhenMp3Exists;
using kvtest::FormAccess;
using kvtest::Program;

const wchar_t kKey[] = L"Software\\Korvello";

void SetString(const wchar_t* name, const wchar_t* text, DWORD type = REG_SZ) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, type, text,
                      static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t)));
}
void SetDword(const wchar_t* name, DWORD value) {
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, name, REG_DWORD, &value, sizeof value);
}

kv::ConversionChoices ReadBack(int processors = 8) {
    kv::FormOptions o;
    o.logicalProcessors = processors;
    Program p(std::move(o));
    return FormAccess::Choices(*p.form);
}

TEST(ChoicesStored, EachValueIsReadAndAnythingElseMeansTheDefault) {
    const kv::ConversionChoices defaults;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    EXPECT_EQ(ReadBack(), defaults) << "missing";
    SetString(L"Mp3Quality", L"V0");
    SetDword(L"FilesAtOnce", 3);
    SetString(L"WhenMp3Exists", L"keep-both");
    EXPECT_EQ(ReadBack(), (kv::ConversionChoices{Mp3Quality::V0, 3, WhenMp3Exists::KeepBoth}));
    EXPECT_EQ(ReadBack(2).filesAtOnce, 1) << "more than this PC's processors";
    // Another type, an unknown text, a number out of range.
    SetDword(L"Mp3Quality", 320);
    SetString(L"FilesAtOnce", L"2");
    SetString(L"WhenMp3Exists", L"skip", REG_EXPAND_SZ);
    EXPECT_EQ(ReadBack(), defaults) << "other types";
    SetString(L"Mp3Quality", L"v0");
    SetDword(L"FilesAtOnce", 0);
    SetString(L"WhenMp3Exists", L"Skip");
    EXPECT_EQ(ReadBack(), defaults) << "unknown texts, zero";
    SetDword(L"FilesAtOnce", 9);
    EXPECT_EQ(ReadBack().filesAtOnce, 1) << "above 8";
    // Text as any program may store it: with a zero inside, without a final zero, of odd length.
    const wchar_t inner[] = L"V0\0x";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Mp3Quality", REG_SZ, inner, sizeof inner);
    EXPECT_EQ(ReadBack().quality, Mp3Quality::Kbps128) << "a zero inside";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Mp3Quality", REG_SZ, L"V0", 2 * sizeof(wchar_t));
    EXPECT_EQ(ReadBack().quality, Mp3Quality::V0) << "no final zero";
    ::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Mp3Quality", REG_SZ, L"V0", 2 * sizeof(wchar_t) + 1);
    EXPECT_EQ(ReadBack().quality, Mp3Quality::V0) << "an odd byte count";
    // The loudness and its target, as texts; a target out of range or of another type is the default.
    SetString(L"Loudness", L"r128");
    SetString(L"LoudnessTarget", L"-23");
    EXPECT_EQ(ReadBack().loudness, kv::Loudness::R128);
    EXPECT_EQ(ReadBack().loudnessTarget, -23);
    SetString(L"LoudnessTarget", L"-40");
    EXPECT_EQ(ReadBack().loudnessTarget, -16);
    SetDword(L"LoudnessTarget", 20);
    SetString(L"Loudness", L"replaygain", REG_EXPAND_SZ);
    EXPECT_EQ(ReadBack().loudnessTarget, -16);
    EXPECT_EQ(ReadBack().loudness, kv::Loudness::Off);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

// What a shown menu held: each group's caption and its items' captions and marks.
struct Seen {
    struct Item {
        std::wstring caption;
        bool checked, radio;
    };
    std::vector<std::pair<std::wstring, std::vector<Item>>> groups;
    std::wstring last;  // the item after the groups and the separator
    POINT at{};
    int shown = 0;
};

std::wstring CaptionAt(HMENU menu, int i) {
    wchar_t buf[256] = {};
    ::GetMenuStringW(menu, static_cast<UINT>(i), buf, 256, MF_BYPOSITION);
    return buf;
}

// Reads the menu's groups from position `first` on.
void Read(HMENU menu, int first, Seen& seen) {
    seen.groups.clear();
    const int n = ::GetMenuItemCount(menu);
    for (int i = first; i < n; ++i) {
        HMENU sub = ::GetSubMenu(menu, i);
        if (!sub) {
            if (!CaptionAt(menu, i).empty()) seen.last = CaptionAt(menu, i);
            continue;
        }
        std::vector<Seen::Item> items;
        for (int j = 0; j < ::GetMenuItemCount(sub); ++j) {
            MENUITEMINFOW mi{};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_STATE | MIIM_FTYPE;
            ::GetMenuItemInfoW(sub, static_cast<UINT>(j), TRUE, &mi);
            items.push_back({CaptionAt(sub, j), (mi.fState & MFS_CHECKED) != 0, (mi.fType & MFT_RADIOCHECK) != 0});
        }
        seen.groups.emplace_back(CaptionAt(menu, i), items);
    }
}

std::wstring Checked(const Seen& seen, std::size_t group) {
    std::wstring out;
    for (const auto& item : seen.groups.at(group).second)
        if (item.checked) out += item.caption + L";";
    return out;
}

class ChoiceMenu : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
        kv::FormOptions o;
        o.logicalProcessors = 4;
        o.trackMenu = [this](HMENU menu, POINT at) {
            Read(menu, 0, seen);
            seen.at = at;
            ++seen.shown;
            return answer;
        };
        p = std::make_unique<Program>(std::move(o));
        p->form->Show();
        ::SetWindowPos(p->form->Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        kvtest::PumpFor(300);
    }
    void TearDown() override {
        p.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    }
    void Press(const std::vector<WORD>& keys) {
        auto in = kvtest::KeyStrokes(keys);
        ::SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
        kvtest::PumpFor(300);
    }
    HWND Window() const { return p->form->Handle(); }
    std::unique_ptr<Program> p;
    Seen seen;
    UINT answer = 0;
};

TEST_F(ChoiceMenu, TheShortcutMenuShowsEveryChoiceWithItsMarkAndAppliesOne) {
    ::SendMessageW(Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window()), MAKELPARAM(100, 120));
    ASSERT_EQ(seen.shown, 1);
    EXPECT_EQ(seen.at.x, 100);
    ASSERT_EQ(seen.groups.size(), 13u);
    EXPECT_EQ(seen.groups[0].first, L"MP3 &quality");
    EXPECT_EQ(seen.groups[1].first, L"&Files converted at once");
    EXPECT_EQ(seen.groups[2].first, L"&When the MP3 already exists");
    EXPECT_EQ(seen.groups[3].first, L"&Adding a folder");
    EXPECT_EQ(seen.groups[4].first, L"&Chapters");
    EXPECT_EQ(seen.groups[5].first, L"Co&ver picture");
    EXPECT_EQ(seen.last, L"&About Korvello");
    ASSERT_EQ(seen.groups[0].second.size(), 6u);
    EXPECT_EQ(seen.groups[1].second.size(), 4u) << "1 to the PC's four processors";
    EXPECT_EQ(seen.groups[2].second.size(), 3u);
    for (const auto& g : seen.groups)
        for (const auto& item : g.second) EXPECT_TRUE(item.radio) << kv::win::Narrow(item.caption);
    EXPECT_EQ(Checked(seen, 0), L"&128 kbit/s (standard);");
    EXPECT_EQ(Checked(seen, 1), L"&1;");
    EXPECT_EQ(Checked(seen, 2), L"&Replace it;");

    answer = kv::ui::kQualityCommand + 16 * 4;  // V2
    ::SendMessageW(Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window()), MAKELPARAM(100, 120));
    EXPECT_EQ(FormAccess::Choices(*p->form).quality, Mp3Quality::V2);
    answer = 0;
    ::SendMessageW(Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window()), MAKELPARAM(100, 120));
    EXPECT_EQ(Checked(seen, 0), L"&Variable, about 190 kbit/s (V2);");
    // Written at once, as the types the program reads.
    wchar_t text[16] = {};
    DWORD bytes = sizeof text, type = 0;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kKey, L"Mp3Quality", RRF_RT_ANY, &type, text, &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_STREQ(text, L"V2");
    DWORD files = 0;
    bytes = sizeof files;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kKey, L"FilesAtOnce", RRF_RT_REG_DWORD, nullptr, &files, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(files, 1u);

    // Subfolders: off until chosen, then stored as the DWORD 1.
    EXPECT_EQ(Checked(seen, 3), L"Its own files &only;");
    answer = kv::ui::kSubfoldersCommand + 16;
    ::SendMessageW(Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window()), MAKELPARAM(100, 120));
    EXPECT_TRUE(FormAccess::Choices(*p->form).addSubfolders);
    DWORD sub = 0;
    bytes = sizeof sub;
    ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kKey, L"AddSubfolders", RRF_RT_REG_DWORD, nullptr, &sub, &bytes),
              ERROR_SUCCESS);
    EXPECT_EQ(sub, 1u);

    // Chapters and covers: each off until chosen, then stored as the DWORD 1.
    EXPECT_EQ(Checked(seen, 4), L"One MP3 with &chapter marks;");
    EXPECT_EQ(Checked(seen, 5), L"The file's own &picture only;");
    for (const auto& [command, value] :
         {std::pair{kv::ui::kChaptersCommand, L"SplitChapters"}, std::pair{kv::ui::kCoverCommand, L"CoverFromVideo"}}) {
        answer = command + 16;
        ::SendMessageW(Window(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(Window()), MAKELPARAM(100, 120));
        DWORD on = 0;
        bytes = sizeof on;
        ASSERT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kKey, value, RRF_RT_REG_DWORD, nullptr, &on, &bytes),
                  ERROR_SUCCESS);
        EXPECT_EQ(on, 1u) << kv::win::Narrow(value);
    }
    EXPECT_TRUE(FormAccess::Choices(*p->form).splitChapters);
    EXPECT_TRUE(FormAccess::Choices(*p->form).coverFromVideo);
}

TEST_F(ChoiceMenu, MouseAndKeyboardReachTheMenuFromTheFaceTheListAndAButton) {
    // A right-click on the window's face and on the list.
    ::SendMessageW(Window(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(250, 300 - 200));
    ::SendMessageW(Window(), WM_RBUTTONUP, 0, MAKELPARAM(250, 300 - 200));
    EXPECT_EQ(seen.shown, 1) << "the face";
    HWND list = p->form->Control("ListView1");
    RECT r{};
    ::GetWindowRect(list, &r);
    ::SetCursorPos(r.left + 40, r.top + 60);
    INPUT click[2] = {};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    ::SendInput(2, click, sizeof(INPUT));
    kvtest::PumpFor(500);
    EXPECT_EQ(seen.shown, 2) << "the list";
    // Shift+F10 on a button, the Menu key on the list: the menu opens at the control.
    ::SetFocus(p->form->Control("Button1"));
    Press({VK_SHIFT, VK_F10});
    EXPECT_EQ(seen.shown, 3) << "Shift+F10";
    RECT button{};
    ::GetWindowRect(p->form->Control("Button1"), &button);
    EXPECT_TRUE(::PtInRect(&button, seen.at)) << seen.at.x << "," << seen.at.y;
    ::SetFocus(list);
    Press({VK_APPS});
    EXPECT_EQ(seen.shown, 4) << "the Menu key";
    ::SetFocus(p->form->Control("Edit1"));
    Press({VK_SHIFT, VK_F10});
    EXPECT_EQ(seen.shown, 5) << "Shift+F10 in a path box";
}

TEST_F(ChoiceMenu, TheSystemMenuCarriesTheSameItemsAndMarksFollowEveryChange) {
    HMENU sys = ::GetSystemMenu(Window(), FALSE);
    ASSERT_TRUE(sys);
    int first = 0;
    while (first < ::GetMenuItemCount(sys) && !::GetSubMenu(sys, first)) ++first;
    Read(sys, first, seen);
    ASSERT_EQ(seen.groups.size(), 13u);
    EXPECT_EQ(seen.last, L"&About Korvello");
    // As the system menu sends it.
    ::SendMessageW(Window(), WM_SYSCOMMAND, kv::ui::kFilesCommand + 16 * 1, 0);
    ::SendMessageW(Window(), WM_SYSCOMMAND, kv::ui::kWhenCommand + 16 * 2, 0);
    EXPECT_EQ(FormAccess::Choices(*p->form), (kv::ConversionChoices{Mp3Quality::Kbps128, 2, WhenMp3Exists::Skip}));
    Read(sys, first, seen);
    EXPECT_EQ(Checked(seen, 1), L"&2;");
    EXPECT_EQ(Checked(seen, 2), L"&Skip the file;");
    EXPECT_EQ(::GetMenuItemCount(sys), first + 15) << "the items were replaced, not added again";
    // Even loudness at a target of the user's: the loudness item names it.
    ::SendMessageW(Window(), WM_SYSCOMMAND, kv::ui::kLoudnessCommand + 16, 0);
    ::SendMessageW(Window(), WM_SYSCOMMAND, kv::ui::kTargetCommand + 16 * 18, 0);
    EXPECT_EQ(FormAccess::Choices(*p->form).loudness, kv::Loudness::R128);
    EXPECT_EQ(FormAccess::Choices(*p->form).loudnessTarget, -23);
    Read(sys, first, seen);
    EXPECT_EQ(seen.groups[10].first, L"&Loudness");
    EXPECT_NE(Checked(seen, 10).find(L"-23 LUFS"), std::wstring::npos) << kv::win::Narrow(Checked(seen, 10));
    EXPECT_EQ(Checked(seen, 11), L"-2&3 LUFS: as broadcasters play (EBU R128);");
    // A submenu's item may come as WM_COMMAND instead.
    ::SendMessageW(Window(), WM_COMMAND, MAKEWPARAM(kv::ui::kQualityCommand + 16 * 3, 0), 0);
    EXPECT_EQ(FormAccess::Choices(*p->form).quality, Mp3Quality::Kbps320);
    // About names the version and the components' licences.
    ::SendMessageW(Window(), WM_SYSCOMMAND, kv::ui::kAboutCommand, 0);
    ASSERT_EQ(p->dialogs->boxes.size(), 1u);
    EXPECT_EQ(p->dialogs->boxes[0].caption, "About Korvello");
    EXPECT_NE(p->dialogs->boxes[0].text.find("Korvello Labs"), std::string::npos);
    EXPECT_NE(p->dialogs->boxes[0].text.find("FFmpeg: LGPL 2.1 or later"), std::string::npos);
    EXPECT_NE(p->dialogs->boxes[0].text.find("LAME: LGPL 2.0 or later"), std::string::npos);
}

}  // namespace
