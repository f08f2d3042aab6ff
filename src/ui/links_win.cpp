// The publisher's links, as the pointer and a screen reader find them, and the
// colouring of the job list.
#include <oleacc.h>

#include "app/texts.h"
#include "ui/accessible_win.h"
#include "ui/look_win.h"
#include "ui/main_form_win.h"
#include "win/text.h"

namespace kv {

void TfrmMain::OpenLink(std::string_view control) {
    if (const ui::LinkDef* link = ui::FindLink(control))
        Dialogs().ShellOpen(Handle(), std::string(link->address), SW_SHOW);
}

// Under the pointer a link label is bold and underlined, otherwise bold alone.
void TfrmMain::LinkMouseEnter(std::string_view label) { skin_->Underline(label); }

void TfrmMain::LinkMouseLeave(std::string_view label) {
    if (skin_->Underlined(label)) skin_->Underline("");
}

// The columns a click acts on are drawn like links. Every cell starts from the
// list's own font and colour, so nothing carries over from the cell before.
LRESULT TfrmMain::d4_ListViewCustomDrawSubItem(NMLVCUSTOMDRAW& draw) {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        // A selected row keeps these colours too: the list would otherwise put
        // its selection colours over them (blue on blue). The focus rectangle
        // still shows the keyboard where it is.
        draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED);
        // Selected for the list to draw with (CDRF_NEWFONT); the list puts its own back.
        HFONT own = reinterpret_cast<HFONT>(::SendMessageW(draw.nmcd.hdr.hwndFrom, WM_GETFONT, 0, 0));
        // The skin's own colours; the dark palette's, or the system's under high contrast.
        const ui::Appearance look = skin_->LookShown();
        const bool skin = look == ui::Appearance::Skin;
        switch (draw.iSubItem) {
        case 0:
            ::SelectObject(draw.nmcd.hdc, own);
            draw.clrText = skin ? ::GetSysColor(COLOR_WINDOWTEXT) : ui::InkOf(look, ui::Ink::ListText);
            break;
        case 1:
        case 3:
        case 4:
            ::SelectObject(draw.nmcd.hdc, skin_->ListUnderlineFont());
            draw.clrText = skin ? RGB(0, 0, 255) : ui::InkOf(look, ui::Ink::ListLink);
            break;
        default:
            ::SelectObject(draw.nmcd.hdc, own);
            draw.clrText = skin ? RGB(0, 0, 0) : ui::InkOf(look, ui::Ink::ListText);
            break;
        }
        draw.clrTextBk = CLR_DEFAULT;
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// The link labels are painted, not windows: a screen reader finds them as
// parts of the window, after its child windows.
LRESULT TfrmMain::AnswerReader(WPARAM wp, LPARAM lp) {
    std::vector<ui::AccessiblePart> parts;
    for (const ui::FormSkin::Graphic* g : skin_->LinkLabels())
        parts.push_back({win::Widen(TrEnglish(g->def->caption)), ROLE_SYSTEM_LINK, STATE_SYSTEM_LINKED, g->rect,
                         win::Widen(Tr(TextId::LinkAction)), kReaderLinkMessage});
    return ui::AnswerGetObject(Handle(), wp, lp, std::move(parts));
}

}  // namespace kv
