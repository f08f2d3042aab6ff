// The publisher's links and the colouring of the job list.
#include "ui/main_form.h"

namespace kv {

void TfrmMain::RegisterLinkHandlers() {
    for (const auto& link : ui::Links()) {
        const std::string name(link.control);
        ClickHandlers[name + "Click"] = [this, name] { OpenLink(name); };
        if (name.starts_with("Label")) {
            ClickHandlers[name + "MouseEnter"] = [this, name] { LinkMouseEnter(name); };
            ClickHandlers[name + "MouseLeave"] = [this, name] { LinkMouseLeave(name); };
        }
    }
}

void TfrmMain::OpenLink(std::string_view control) {
    if (const ui::LinkDef* link = ui::FindLink(control))
        Dialogs().ShellOpen(Handle(), std::string(link->address), SW_SHOW);
}

// Under the pointer a link label is bold and underlined, otherwise bold alone.
void TfrmMain::LinkMouseEnter(std::string_view label) {
    hoveredLink_ = std::string(label);
    InvalidateGraphic(label);
}

void TfrmMain::LinkMouseLeave(std::string_view label) {
    if (hoveredLink_ == label) hoveredLink_.clear();
    InvalidateGraphic(label);
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
        switch (draw.iSubItem) {
        case 0:
            ::SelectObject(draw.nmcd.hdc, own);
            draw.clrText = ::GetSysColor(COLOR_WINDOWTEXT);
            break;
        case 1:
        case 3:
        case 4:
            ::SelectObject(draw.nmcd.hdc, listUnderlineFont_.Get());
            draw.clrText = RGB(0, 0, 255);
            break;
        default:
            ::SelectObject(draw.nmcd.hdc, own);
            draw.clrText = RGB(0, 0, 0);
            break;
        }
        draw.clrTextBk = CLR_DEFAULT;
        return CDRF_NEWFONT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

}  // namespace kv
