#include "app/texts.h"
#include "ui/layout_controls_win.h"

#include <commctrl.h>
#include <oleacc.h>

#include <string>

#include "ui/accessible_win.h"
#include "ui/dpi.h"
#include "win/window.h"
#include "win/text.h"

namespace kv::ui {

namespace {

struct ClassAndStyle {
    const wchar_t* cls = nullptr;
    DWORD style = 0, ex = 0;
};

ClassAndStyle ClassOf(Kind kind) {
    switch (kind) {
    case Kind::Edit:
        return {WC_EDITW, ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case Kind::Memo:
        return {WC_EDITW, ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL, WS_EX_CLIENTEDGE};
    case Kind::Button:
        return {WC_BUTTONW, BS_PUSHBUTTON, 0};
    case Kind::ListBox:
        return {WC_LISTBOXW, LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE};
    case Kind::ListView:
        return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
    default:
        return {};
    }
}

void AddColumns(HWND list, int dpi) {
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT);
    int i = 0;
    for (const auto& col : ListColumns()) {
        std::wstring text = win::Widen(TrEnglish(col.caption));
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        c.pszText = text.data();
        c.cx = Scale(col.width, dpi);
        c.iSubItem = i;
        ListView_InsertColumn(list, i, &c);
        ++i;
    }
}

// The boxes' and the list's captions are painted, not label windows the system
// could name them from: their names come from the layout.
LRESULT AnswerReader(HWND h, const ControlDef& def, WPARAM wp, LPARAM lp) {
    if (def.accessibleName.empty()) return 0;
    const bool box = def.kind == Kind::Edit;
    const AccessibleFace face{win::Widen(TrEnglish(def.accessibleName)), box ? ROLE_SYSTEM_TEXT : ROLE_SYSTEM_LIST,
                              box ? STATE_SYSTEM_READONLY : 0};
    return AnswerGetObject(h, wp, lp, face);
}

// The control's layout entry rides in the subclass's id: static data, valid
// while the window is destroyed too.
LRESULT CALLBACK FollowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data) {
    const auto& def = *reinterpret_cast<const ControlDef*>(id);
    try {
        switch (msg) {
        case WM_NCDESTROY:
            ::RemoveWindowSubclass(h, &FollowProc, id);
            break;
        case WM_CHAR: {
            wchar_t key = static_cast<wchar_t>(wp);
            const auto& keyPress = *reinterpret_cast<const KeyPressFilter*>(data);
            if (keyPress(def, key) && key == 0) return 0;  // the handler dropped the character
            wp = key;
            break;
        }
        case WM_SETCURSOR:
            if (!(def.look & lkHandPointer) || LOWORD(lp) != HTCLIENT) break;
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
        case WM_CONTEXTMENU:
            // Shift+F10 or the Menu key in a path box opens the window's menu; a
            // right-click there keeps the box's own (copy, select all).
            if (lp == -1 && def.kind == Kind::Edit)
                return ::SendMessageW(::GetParent(h), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), lp);
            break;
        case WM_GETOBJECT:
            if (const LRESULT r = AnswerReader(h, def, wp, lp)) return r;
            break;
        default:
            break;
        }
    } catch (...) {
        win::ReportCurrentException();
        return 0;
    }
    return ::DefSubclassProc(h, msg, wp, lp);
}

}  // namespace

HWND CreateLayoutControl(HWND parent, const ControlDef& def, RECT place, HFONT font, int dpi) {
    const ClassAndStyle c = ClassOf(def.kind);
    if (!c.cls) return nullptr;
    DWORD style = WS_CHILD | WS_VISIBLE | c.style;
    // The stores lie outside the window's shape, so nobody sees them either way;
    // shown, each change of their contents would still cost a repaint and, for
    // the memo, a scroll bar update.
    if (def.look & lkHiddenStore) style &= ~static_cast<DWORD>(WS_VISIBLE);
    HWND h = ::CreateWindowExW(c.ex, c.cls, win::Widen(TrEnglish(def.caption)).c_str(), style, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, parent, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!h) return nullptr;
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (def.kind == Kind::ListBox) ::SendMessageW(h, LB_SETITEMHEIGHT, 0, Scale(13, dpi));
    if (def.kind == Kind::ListView) AddColumns(h, dpi);
    return h;
}

void FollowLayoutControl(HWND control, const ControlDef& def, const KeyPressFilter& keyPress) {
    ::SetWindowSubclass(control, &FollowProc, reinterpret_cast<UINT_PTR>(&def), reinterpret_cast<DWORD_PTR>(&keyPress));
}

}  // namespace kv::ui
