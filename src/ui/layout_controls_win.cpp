#include "ui/layout_controls_win.h"

#include <commctrl.h>

#include <string>

#include "ui/dpi.h"
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
        std::wstring text = win::Widen(col.caption);
        LVCOLUMNW c{};
        c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        c.pszText = text.data();
        c.cx = Scale(col.width, dpi);
        c.iSubItem = i;
        ListView_InsertColumn(list, i, &c);
        ++i;
    }
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
    HWND h = ::CreateWindowExW(c.ex, c.cls, win::Widen(def.caption).c_str(), style, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, parent, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!h) return nullptr;
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    if (def.kind == Kind::ListBox) ::SendMessageW(h, LB_SETITEMHEIGHT, 0, Scale(13, dpi));
    if (def.kind == Kind::ListView) AddColumns(h, dpi);
    return h;
}

}  // namespace kv::ui
