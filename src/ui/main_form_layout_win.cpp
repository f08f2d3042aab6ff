// The window's controls built from the layout table, at the DPI of its
// monitor; the pictures and labels it paints itself are the skin's.
#include "app/texts.h"
#include "ui/main_form_win.h"

#include "ui/art_ids.h"
#include "ui/click_panel_win.h"
#include "ui/dpi.h"
#include "ui/layout_controls_win.h"
#include "ui/region_button_win.h"
#include "win/text.h"

namespace kv {

void TfrmMain::BuildControls() {
    HINSTANCE self = ::GetModuleHandleW(nullptr);
    if (HICON icon = ::LoadIconW(self, MAKEINTRESOURCEW(IDI_MAINICON))) {
        ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(app_.Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    for (const auto& def : ui::MainLayout()) {
        const RECT place = skin_->Placed(def);
        switch (def.kind) {
        case ui::Kind::RegionButton: {
            auto* b = new ui::TEzRgnBtn(this);
            b->SetName(std::string(def.name));
            if (!b->Create(Handle(), place.left, place.top, place.right - place.left, place.bottom - place.top)) break;
            b->LoadPictureSet(def.picture, nullptr, skin_->ArtScale(),
                              {place.right - place.left, place.bottom - place.top}, skin_->LookShown());
            if (def.look & ui::lkCrop) b->SetPaintMode(ui::pmCrop);
            b->SetHint(TrEnglish(def.hint));
            b->SetAccessibleName(TrEnglish(def.accessibleName));
            b->OnClick = [this, &def](TComponent*) { Click(def); };
            controls_.emplace(std::string(def.name), b->Handle());
            break;
        }
        case ui::Kind::ClickPanel: {
            auto* panel = new ui::TTranPanel(this);
            panel->SetName(std::string(def.name));
            if (!panel->Create(Handle(), place.left, place.top, place.right - place.left, place.bottom - place.top))
                break;
            panel->SetAccessibleName(TrEnglish(def.accessibleName));
            panel->OnClick = [this, &def](TComponent*) { Click(def); };
            controls_.emplace(std::string(def.name), panel->Handle());
            break;
        }
        case ui::Kind::Picture:
        case ui::Kind::Label:
            break;  // painted by the skin
        default:
            CreateWindowed(def);
            break;
        }
    }
}

// Tab follows the order of sibling windows: the controls Tab reaches go on
// top in their order. Each is a group of its own, so the arrow keys never
// wander into the path boxes.
void TfrmMain::ApplyTabOrder() {
    HWND after = HWND_TOP;
    for (std::string_view name : ui::TabOrder()) {
        HWND h = Control(name);
        if (!h) continue;
        const LONG_PTR style = ::GetWindowLongPtrW(h, GWL_STYLE);
        ::SetWindowLongPtrW(h, GWL_STYLE, style | WS_TABSTOP | WS_GROUP);
        ::SetWindowPos(h, after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        after = h;
    }
}

// Enter on a push button: the dialog manager asks the window for its default
// action, since the window has no default button; the focused button is it.
void TfrmMain::PressFocusedButton() {
    const ui::ControlDef* def = DefOf(::GetFocus());
    if (def && def->kind == ui::Kind::Button) Click(*def);
}

void TfrmMain::CreateWindowed(const ui::ControlDef& def) {
    HWND h = ui::CreateLayoutControl(Handle(), def, skin_->Placed(def), skin_->Font(def.look & ui::lkBold), Dpi());
    if (!h) return;
    controls_.emplace(std::string(def.name), h);
    defsByHwnd_.emplace(h, &def);
    if (def.kind == ui::Kind::ListView) SizeColumns(h);
    if (!keyPress_) keyPress_ = [this](const ui::ControlDef& d, wchar_t& key) { return KeyPress(d, key); };
    ui::FollowLayoutControl(h, def, keyPress_);
}

// As wide as the language's heads and states need.
void TfrmMain::SizeColumns(HWND list) const {
    for (int i = 0; i < static_cast<int>(ui::ListColumns().size()); ++i)
        ListView_SetColumnWidth(list, i, skin_->ColumnWidth(i));
}

void TfrmMain::ApplyDpi(int dpi, const RECT* suggested) {
    if (dpi <= 0 || !Handle()) return;
    skin_->Build(dpi);
    // The suggested place, at the size the layout takes at this DPI: the
    // suggested size is the old one scaled, which may be a pixel off.
    RECT now{};
    ::GetWindowRect(Handle(), &now);
    const RECT at = suggested ? *suggested : now;
    ::SetWindowPos(Handle(), nullptr, at.left, at.top, ui::Scale(ui::kClientWidth, dpi),
                   ui::Scale(ui::kClientHeight, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
    for (TComponent* c : Components()) {
        auto* b = dynamic_cast<ui::TEzRgnBtn*>(c);
        const ui::ControlDef* def = b ? ui::FindControl(b->Name()) : nullptr;
        if (!def) continue;
        const RECT place = skin_->Placed(*def);
        b->LoadPictureSet(def->picture, nullptr, skin_->ArtScale(),
                          {place.right - place.left, place.bottom - place.top}, skin_->LookShown());
    }
    for (const auto& [name, h] : controls_) {
        const ui::ControlDef* def = ui::FindControl(name);
        if (!def) continue;
        const RECT r = skin_->Placed(*def);
        ::SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!defsByHwnd_.count(h)) continue;  // no text of its own
        ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(skin_->Font(def->look & ui::lkBold)), TRUE);
        if (def->kind == ui::Kind::ListBox) ::SendMessageW(h, LB_SETITEMHEIGHT, 0, ui::Scale(13, dpi));
        if (def->kind == ui::Kind::ListView) SizeColumns(h);
    }
    skin_->ApplyShape();
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace kv
