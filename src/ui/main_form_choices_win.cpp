// The user's choices: read from the registry at start, changed from the
// window's shortcut menu or its system menu, written back at once.
#include <windowsx.h>

#include "app/settings_win.h"
#include "ui/choice_menu.h"
#include "ui/choice_menu_win.h"
#include "ui/dpi.h"
#include "ui/main_form_win.h"
#include "version.h"
#include "win/error.h"

namespace kv {

namespace {

int LogicalProcessors() {
    const DWORD n = ::GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
    return n > 0 ? static_cast<int>(n) : 1;
}

}  // namespace

// Anything unreadable, of another type or out of range is the default.
void TfrmMain::ReadChoices() {
    maxFilesAtOnce_ = MaxFilesAtOnce(options_.logicalProcessors > 0 ? options_.logicalProcessors : LogicalProcessors());
    StoredValue quality, files, when;
    GuardedStep([&] {
        const RegistryKey key(kSettingsKey, RegistryKey::Access::Read);
        quality = key.ReadValue(std::string(kQualityValue));
        files = key.ReadValue(std::string(kFilesAtOnceValue));
        when = key.ReadValue(std::string(kWhenExistsValue));
    });
    choices_ = ChoicesFrom(quality, files, when, maxFilesAtOnce_);
}

void TfrmMain::SaveChoices() {
    GuardedStep([this] {
        RegistryKey key(kSettingsKey);
        key.WriteString(std::string(kQualityValue), std::string(QualityText(choices_.quality)));
        key.WriteDword(std::string(kFilesAtOnceValue), static_cast<std::uint32_t>(choices_.filesAtOnce));
        key.WriteString(std::string(kWhenExistsValue), std::string(WhenExistsText(choices_.whenExists)));
    });
}

// The items follow the system menu's own, after a separator.
void TfrmMain::FillSystemMenu() {
    HMENU menu = ::GetSystemMenu(Handle(), FALSE);
    if (!menu) return;
    if (systemMenuBase_ < 0) systemMenuBase_ = ::GetMenuItemCount(menu);
    ui::RemoveMenuItemsFrom(menu, systemMenuBase_);
    ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    ui::AppendChoiceMenu(menu, choices_, maxFilesAtOnce_);
}

bool TfrmMain::OnChoiceCommand(UINT id) {
    if (id == ui::kAboutCommand) {
        Dialogs().MessageBox(Handle(), ui::AboutText(KV_VERSION_TEXT), "About Korvello", MB_OK | MB_ICONINFORMATION);
        return true;
    }
    const std::optional<ConversionChoices> chosen = ui::Chosen(id, choices_, maxFilesAtOnce_);
    if (!chosen) return false;
    choices_ = *chosen;
    SaveChoices();
    FillSystemMenu();
    // More files at once may start now; every other choice waits for the next file.
    run_->ChoicesChanged();
    return true;
}

// A right-click, Shift+F10 or the Menu key: from the keyboard (no point given)
// the menu opens at the control that has the focus.
void TfrmMain::OnContextMenu(LPARAM lp) {
    POINT at{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
    if (lp == -1) {
        HWND focus = ::GetFocus();
        RECT r{};
        ::GetWindowRect(focus && ::IsChild(Handle(), focus) ? focus : Handle(), &r);
        at = {r.left + ui::Scale(8, dpi_), r.top + ui::Scale(8, dpi_)};
    }
    const win::UniqueMenu menu(::CreatePopupMenu());
    if (!menu) return;
    ui::AppendChoiceMenu(menu.Get(), choices_, maxFilesAtOnce_);
    const UINT id = options_.trackMenu
                        ? options_.trackMenu(menu.Get(), at)
                        : static_cast<UINT>(::TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y,
                                                               Handle(), nullptr));
    if (id) OnChoiceCommand(id);
}

}  // namespace kv
