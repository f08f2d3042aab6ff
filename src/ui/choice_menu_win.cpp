#include "ui/choice_menu_win.h"

#include <windowsx.h>

#include "app/texts.h"
#include "ui/choice_menu.h"
#include "ui/dpi.h"
#include "win/text.h"

namespace kv::ui {

namespace {

void AppendRadioItem(HMENU menu, const MenuItem& item) {
    std::wstring caption = win::Widen(item.caption);
    MENUITEMINFOW mi{};
    mi.cbSize = sizeof mi;
    mi.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_STATE;
    mi.fType = MFT_STRING | MFT_RADIOCHECK;
    mi.fState = item.checked ? MFS_CHECKED : MFS_UNCHECKED;
    mi.wID = item.id;
    mi.dwTypeData = caption.data();
    ::InsertMenuItemW(menu, ::GetMenuItemCount(menu), TRUE, &mi);
}

}  // namespace

void AppendChoiceMenu(HMENU menu, const ConversionChoices& choices, int maxFiles) {
    for (const MenuGroup& group : ChoiceGroups(choices, maxFiles)) {
        HMENU sub = ::CreatePopupMenu();
        if (!sub) continue;
        for (const MenuItem& item : group.items) AppendRadioItem(sub, item);
        // The menu owns the submenu from here and destroys it with itself.
        if (!::AppendMenuW(menu, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub),
                           win::Widen(group.caption).c_str()))
            ::DestroyMenu(sub);
    }
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuW(menu, MF_STRING, kAboutCommand, win::Widen(Tr(TextId::AboutItem)).c_str());
}

void RemoveMenuItemsFrom(HMENU menu, int first) {
    for (int n = ::GetMenuItemCount(menu); n > first; --n) ::DeleteMenu(menu, static_cast<UINT>(n - 1), MF_BYPOSITION);
}

POINT ShortcutMenuPoint(HWND window, LPARAM lp, int dpi) {
    if (lp != -1) return POINT{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    HWND focus = ::GetFocus();
    RECT r{};
    ::GetWindowRect(focus && ::IsChild(window, focus) ? focus : window, &r);
    return POINT{r.left + Scale(8, dpi), r.top + Scale(8, dpi)};
}

}  // namespace kv::ui
