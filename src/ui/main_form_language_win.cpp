// The window in the language the user chose, or Windows' display language.
#include <windows.h>

#include <commctrl.h>

#include "app/texts_win.h"
#include "ui/click_panel_win.h"
#include "ui/layout.h"
#include "ui/main_form_win.h"
#include "ui/region_button_win.h"
#include "win/text.h"

namespace kv {

void TfrmMain::ShowLanguage(const std::string& choice) {
    if (choice == languageChoice_) return;
    const bool shown = !languageChoice_.empty();
    languageChoice_ = choice;
    UseLanguage(choice);
    if (shown && skin_) Relabel();
}

// Painted captions are measured again; the windows take their new texts,
// places and fonts (a language may read in a face of its own).
void TfrmMain::Relabel() {
    ApplyDpi(Dpi(), nullptr);
    for (TComponent* c : Components()) {
        const ui::ControlDef* def = ui::FindControl(c->Name());
        if (!def) continue;
        if (auto* b = dynamic_cast<ui::TEzRgnBtn*>(c)) {
            b->SetHint(TrEnglish(def->hint));
            b->SetAccessibleName(TrEnglish(def->accessibleName));
        } else if (auto* panel = dynamic_cast<ui::TTranPanel*>(c)) {
            panel->SetAccessibleName(TrEnglish(def->accessibleName));
        }
    }
    for (const auto& [h, def] : defsByHwnd_) {
        if (def->kind == ui::Kind::Button) ::SetWindowTextW(h, win::Widen(TrEnglish(def->caption)).c_str());
        if (def->kind != ui::Kind::ListView) continue;
        int i = 0;
        for (const auto& col : ui::ListColumns()) {
            std::wstring text = win::Widen(TrEnglish(col.caption));
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT;
            c.pszText = text.data();
            ListView_SetColumn(h, i++, &c);
        }
        SizeColumns(h);
    }
    const JobList& jobs = controller_->Jobs();
    for (int i = 0; i < jobs.Count(); ++i) rows_->Changed(i, jobs.At(i));
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace kv
