// What a screen reader finds in the window: names, roles and actions of the
// picture buttons and click panels, and the job list as the system's list.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <oleacc.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <utility>

#include "support/program.h"
#include "support/win_test_util.h"
#include "ui/layout.h"
#include "win/com.h"
#include "win/text.h"

namespace {

using kvtest::Program;

using Accessible = kv::win::ComPtr<IAccessible>;

Accessible Of(HWND h) {
    Accessible acc;
    if (FAILED(::AccessibleObjectFromWindow(h, OBJID_CLIENT, IID_IAccessible, acc.PutVoid()))) return {};
    return acc;
}

VARIANT Self() {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = CHILDID_SELF;
    return v;
}

std::wstring Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*), IAccessible& acc) {
    BSTR b = nullptr;
    if (FAILED((acc.*get)(Self(), &b)) || !b) return L"(none)";
    std::wstring s(b, ::SysStringLen(b));
    ::SysFreeString(b);
    return s;
}

long Role(IAccessible& acc) {
    VARIANT v;
    ::VariantInit(&v);
    if (FAILED(acc.get_accRole(Self(), &v)) || v.vt != VT_I4) return -1;
    return v.lVal;
}

long State(IAccessible& acc) {
    VARIANT v;
    ::VariantInit(&v);
    if (FAILED(acc.get_accState(Self(), &v)) || v.vt != VT_I4) return -1;
    return v.lVal;
}

class ScreenReader : public ::testing::Test {
protected:
    void SetUp() override {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Korvello");
        p = std::make_unique<Program>();
        p->form->Show();
        kvtest::PumpFor(200);
    }
    std::unique_ptr<Program> p;
};

TEST_F(ScreenReader, PictureButtonsAndPanelsSayWhatTheyAreAndWhereTheyAre) {
    struct Expected {
        const char* control;
        const wchar_t* name;
        long role;
        const wchar_t* action;
    };
    for (const Expected& e : {Expected{"EzRgnBtn3", L"Convert to MP3", ROLE_SYSTEM_PUSHBUTTON, L"Press"},
                              Expected{"EzRgnBtn1", L"Minimize", ROLE_SYSTEM_PUSHBUTTON, L"Press"},
                              Expected{"EzRgnBtn2", L"Close", ROLE_SYSTEM_PUSHBUTTON, L"Press"},
                              Expected{"TranPanel1", L"Korvello Labs", ROLE_SYSTEM_LINK, L"Jump"},
                              Expected{"TranPanel2", L"Korvello home page", ROLE_SYSTEM_LINK, L"Jump"}}) {
        SCOPED_TRACE(e.control);
        HWND h = p->form->Control(e.control);
        Accessible acc = Of(h);
        ASSERT_TRUE(acc);
        EXPECT_EQ(Text(&IAccessible::get_accName, *acc), e.name);
        EXPECT_EQ(Role(*acc), e.role);
        EXPECT_EQ(Text(&IAccessible::get_accDefaultAction, *acc), e.action);
        // Where it is comes from the system's own object: the control's place on screen.
        long x = 0, y = 0, w = 0, hgt = 0;
        ASSERT_EQ(acc->accLocation(&x, &y, &w, &hgt, Self()), S_OK);
        RECT rc{};
        ::GetWindowRect(h, &rc);
        EXPECT_EQ(x, rc.left);
        EXPECT_EQ(y, rc.top);
        EXPECT_EQ(w, rc.right - rc.left);
        if (e.role == ROLE_SYSTEM_LINK) {
            EXPECT_TRUE(State(*acc) & STATE_SYSTEM_LINKED);
        }
    }
    Accessible convert = Of(p->form->Control("EzRgnBtn3"));
    EXPECT_EQ(Text(&IAccessible::get_accDescription, *convert), L"Convert the pending files to MP3");
    // A control the system describes itself keeps the system's answer.
    Accessible add = Of(p->form->Control("Button1"));
    ASSERT_TRUE(add);
    EXPECT_NE(Text(&IAccessible::get_accName, *add), L"Convert to MP3");
}

TEST_F(ScreenReader, ThePathBoxesAreNamedByTheirPaintedCaptions) {
    const std::pair<const char*, const wchar_t*> boxes[] = {{"Edit1", L"Select single MP4 file"},
                                                            {"Edit2", L"Select folder containing MP4 files"},
                                                            {"Edit3", L"Select output folder"}};
    for (const auto& [control, name] : boxes) {
        Accessible acc = Of(p->form->Control(control));
        ASSERT_TRUE(acc) << control;
        EXPECT_EQ(Text(&IAccessible::get_accName, *acc), name);
        EXPECT_EQ(Role(*acc), ROLE_SYSTEM_TEXT);
        EXPECT_TRUE(State(*acc) & STATE_SYSTEM_READONLY) << control << ": the boxes take no typing";
    }
}

VARIANT Id(long id) {
    VARIANT v;
    ::VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// The link labels are painted on the window: a reader finds them as its
// children after the child windows, each with its caption, place and action.
TEST_F(ScreenReader, ThePaintedLinksArePartsOfTheWindow) {
    Accessible window = Of(p->form->Handle());
    ASSERT_TRUE(window);
    long count = 0;
    ASSERT_EQ(window->get_accChildCount(&count), S_OK);
    int windows = 0;
    for (HWND c = ::GetWindow(p->form->Handle(), GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) ++windows;
    std::vector<std::wstring> links;
    for (const auto& c : kv::ui::MainLayout())
        if (c.kind == kv::ui::Kind::Label && (c.look & kv::ui::lkLink))
            links.push_back(kv::win::Widen(std::string(c.caption)));
    ASSERT_EQ(links.size(), 7u);
    ASSERT_EQ(count, windows + 7) << "the child windows, then one part a link";
    for (long i = 0; i < 7; ++i) {
        const long id = windows + 1 + i;
        SCOPED_TRACE(id);
        BSTR name = nullptr;
        ASSERT_EQ(window->get_accName(Id(id), &name), S_OK);
        EXPECT_EQ(std::wstring(name), links[static_cast<size_t>(i)]);
        ::SysFreeString(name);
        VARIANT role;
        ::VariantInit(&role);
        ASSERT_EQ(window->get_accRole(Id(id), &role), S_OK);
        EXPECT_EQ(role.lVal, ROLE_SYSTEM_LINK);
        IDispatch* child = reinterpret_cast<IDispatch*>(1);
        EXPECT_EQ(window->get_accChild(Id(id), &child), S_FALSE) << "a simple element";
        EXPECT_EQ(child, nullptr);
        // Its place is where it is painted: a hit test at its middle finds it.
        long x = 0, y = 0, w = 0, h = 0;
        ASSERT_EQ(window->accLocation(&x, &y, &w, &h, Id(id)), S_OK);
        EXPECT_GT(w, 10);
        VARIANT hit;
        ::VariantInit(&hit);
        ASSERT_EQ(window->accHitTest(x + w / 2, y + h / 2, &hit), S_OK);
        EXPECT_EQ(hit.vt, VT_I4);
        EXPECT_EQ(hit.lVal, id);
    }
    // "Support" opens its page.
    const auto support = std::find(links.begin(), links.end(), L"Support") - links.begin();
    ASSERT_LT(support, 7);
    EXPECT_EQ(window->accDoDefaultAction(Id(windows + 1 + static_cast<long>(support))), S_OK);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return !p->dialogs->opened.empty(); }, 5000));
    EXPECT_EQ(p->dialogs->opened[0], std::string(kv::ui::FindLink("Label3")->address));
    VARIANT none;
    ::VariantInit(&none);
    EXPECT_NE(window->get_accRole(Id(count + 1), &none), S_OK) << "no part past the last";
}

TEST_F(ScreenReader, TheDefaultActionClicks) {
    Accessible link = Of(p->form->Control("TranPanel2"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->accDoDefaultAction(Self()), S_OK);
    ASSERT_TRUE(kvtest::PumpUntil([&] { return !p->dialogs->opened.empty(); }, 5000));
    EXPECT_EQ(p->dialogs->opened[0], std::string(kv::ui::FindLink("TranPanel2")->address));

    Accessible minimize = Of(p->form->Control("EzRgnBtn1"));
    ASSERT_TRUE(minimize);
    EXPECT_EQ(minimize->accDoDefaultAction(Self()), S_OK);
    EXPECT_TRUE(kvtest::PumpUntil([&] { return ::IsIconic(p->app.Handle()) != FALSE; }, 5000));
}

TEST_F(ScreenReader, TheJobListIsTheSystemsList) {
    kvtest::TempFolder dir(L"kv reader");
    for (const wchar_t* n : {L"first.mp4", L"second.mp4", L"third.mp4"}) {
        std::filesystem::copy_file(kvtest::MediaFile("aac_mono_48k.mp4"), dir.Path() / n);
        p->dialogs->openAnswers.push_back(kvtest::Utf8(dir.Path() / n));
        p->form->Button1Click();
    }
    // The list's name comes from the layout (its caption is painted); rows and
    // cells come from the system's own object for the list class, which on
    // Windows reads them through the list's messages. Wine has no such proxy,
    // so what it would read is checked here.
    HWND list = p->form->Control("ListView1");
    Accessible acc = Of(list);
    ASSERT_TRUE(acc);
    EXPECT_EQ(Text(&IAccessible::get_accName, *acc), L"Files to convert");
    EXPECT_EQ(Role(*acc), ROLE_SYSTEM_LIST);
    wchar_t cls[64] = {};
    ::GetClassNameW(list, cls, 64);
    EXPECT_STREQ(cls, WC_LISTVIEWW);
    EXPECT_EQ(::GetWindowLongPtrW(list, GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    ASSERT_EQ(ListView_GetItemCount(list), 3);
    wchar_t cell[64] = {};
    ListView_GetItemText(list, 1, 1, cell, 64);
    EXPECT_STREQ(cell, L"second");
    ListView_GetItemText(list, 1, 2, cell, 64);
    EXPECT_STREQ(cell, L"Pending");
    wchar_t header[64] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = header;
    col.cchTextMax = 64;
    ASSERT_TRUE(ListView_GetColumn(list, 2, &col));
    EXPECT_STREQ(header, L"Progress");
}

}  // namespace
