// The user's choices as the window's shortcut menu and system menu show them;
// the controller keeps, stores and applies them.
#include <windowsx.h>

#include "app/texts.h"
#include "ui/choice_menu.h"
#include "ui/choice_menu_win.h"
#include "ui/dpi.h"
#include "ui/main_form_win.h"
#include "version.h"
#include "win/error.h"

namespace kv {

// The items follow the system menu's own, after a separator.
void TfrmMain::FillSystemMenu() {
    HMENU menu = ::GetSystemMenu(Handle(), FALSE);
    if (!menu) return;
    if (systemMenuBase_ < 0) systemMenuBase_ = ::GetMenuItemCount(menu);
    ui::RemoveMenuItemsFrom(menu, systemMenuBase_);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ui::AppendChoiceMenu(menu, controller_->Choices(), controller_->MaxFilesAtOnce());
}

bool TfrmMain::OnChoiceCommand(UINT id) {
    if (id == ui::kAboutCommand) {
        Dialogs().MessageBox(Handle(), ui::AboutText(KV_VERSION_TEXT), Tr(TextId::AboutTitle),
                             MB_OK | MB_ICONINFORMATION);
        return true;
    }
    const std::optional<ConversionChoices> chosen =
        ui::Chosen(id, controller_->Choices(), controller_->MaxFilesAtOnce());
    if (chosen) controller_->Choose(*chosen);
    return chosen.has_value();
}

// A right-click, Shift+F10 or the Menu key.
void TfrmMain::OnContextMenu(LPARAM lp) {
    const POINT at = ui::ShortcutMenuPoint(Handle(), lp, Dpi());
    const win::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    ui::AppendChoiceMenu(menu.Get(), controller_->Choices(), controller_->MaxFilesAtOnce());
    const UINT id = options_.trackMenu
                        ? options_.trackMenu(menu.Get(), at)
                        : static_cast<UINT>(::TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y,
                                                               Handle(), nullptr));
    if (id) OnChoiceCommand(id);
}

}  // namespace kv
