// The window built from the layout table, at the DPI of its monitor: the
// controls, their fonts and places, the pictures and labels it paints itself.
#include "ui/main_form_win.h"

#include "ui/art_ids.h"
#include "ui/art_names.h"
#include "ui/click_panel_win.h"
#include "ui/dpi.h"
#include "ui/picture_win.h"
#include "ui/region_button_win.h"
#include "ui/resample.h"
#include "win/gdi.h"
#include "win/text.h"

namespace kv {

namespace {

constexpr COLORREF kFaceColour = RGB(220, 220, 220);

win::UniqueFont MakeFont(int dpi, bool bold, bool underline = false) {
    LOGFONTW lf{};
    lf.lfHeight = -ui::Scale(11, dpi);  // 8 points
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, L"Tahoma", LF_FACESIZE);
    return win::UniqueFont(::CreateFontIndirectW(&lf));
}

}  // namespace

void TfrmMain::BuildControls() {
    HINSTANCE self = ::GetModuleHandleW(nullptr);
    if (HICON icon = ::LoadIconW(self, MAKEINTRESOURCEW(IDI_MAINICON))) {
        ::SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ::SendMessageW(app_.Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    }
    win::WindowDc dc(Handle());
    for (const auto& def : ui::MainLayout()) {
        const RECT place = Placed(def);
        switch (def.kind) {
        case ui::Kind::RegionButton: {
            auto* b = new ui::TEzRgnBtn(this);
            b->SetName(std::string(def.name));
            if (!b->Create(Handle(), place.left, place.top, place.right - place.left, place.bottom - place.top)) break;
            b->LoadPictureSet(def.picture, nullptr, ArtScale(), {place.right - place.left, place.bottom - place.top});
            if (def.look & ui::lkCrop) b->SetPaintMode(ui::pmCrop);
            b->SetHint(std::string(def.hint));
            b->SetAccessibleName(std::string(def.accessibleName));
            b->OnClick = [this, &def](TComponent*) { Click(def); };
            controls_.emplace(std::string(def.name), b->Handle());
            break;
        }
        case ui::Kind::ClickPanel: {
            auto* panel = new ui::TTranPanel(this);
            panel->SetName(std::string(def.name));
            if (!panel->Create(Handle(), place.left, place.top, place.right - place.left, place.bottom - place.top))
                break;
            panel->SetAccessibleName(std::string(def.accessibleName));
            panel->OnClick = [this, &def](TComponent*) { Click(def); };
            controls_.emplace(std::string(def.name), panel->Handle());
            break;
        }
        case ui::Kind::Picture:
        case ui::Kind::Label:
            AddGraphic(dc.Get(), def);
            break;
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
    const wchar_t* cls = WC_EDITW;
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD ex = 0;
    switch (def.kind) {
    case ui::Kind::Edit:
        style |= ES_AUTOHSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ui::Kind::Memo:
        style |= ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ui::Kind::Button:
        cls = WC_BUTTONW;
        style |= BS_PUSHBUTTON;
        break;
    case ui::Kind::ListBox:
        cls = WC_LISTBOXW;
        style |= LBS_NOINTEGRALHEIGHT | WS_VSCROLL;
        ex = WS_EX_CLIENTEDGE;
        break;
    case ui::Kind::ListView:
        cls = WC_LISTVIEWW;
        style |= LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
        ex = WS_EX_CLIENTEDGE;
        break;
    default:
        return;
    }
    // The stores lie outside the window's shape, so nobody sees them either way;
    // shown, each change of their contents would still cost a repaint and, for
    // the memo, a scroll bar update.
    if (def.look & ui::lkHiddenStore) style &= ~static_cast<DWORD>(WS_VISIBLE);
    const RECT place = Placed(def);
    HWND h = ::CreateWindowExW(ex, cls, win::Widen(def.caption).c_str(), style, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, Handle(), nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    if (!h) return;
    ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>((def.look & ui::lkBold) ? boldFont_.Get() : font_.Get()),
                   FALSE);
    if (def.kind == ui::Kind::ListBox) ::SendMessageW(h, LB_SETITEMHEIGHT, 0, ui::Scale(13, dpi_));
    if (def.kind == ui::Kind::ListView) {
        ListView_SetExtendedListViewStyle(h, LVS_EX_FULLROWSELECT);
        int i = 0;
        for (const auto& col : ui::ListColumns()) {
            std::wstring text = win::Widen(col.caption);
            LVCOLUMNW c{};
            c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
            c.pszText = text.data();
            c.cx = ui::Scale(col.width, dpi_);
            c.iSubItem = i;
            ListView_InsertColumn(h, i, &c);
            ++i;
        }
    }
    controls_.emplace(std::string(def.name), h);
    defsByHwnd_.emplace(h, &def);
    ::SetWindowSubclass(h, &TfrmMain::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

int TfrmMain::ArtScale() const noexcept { return ui::ArtScaleFor(dpi_); }

RECT TfrmMain::Placed(const ui::ControlDef& def) const {
    const ui::ScaledRect r = ui::ScaleRect(def.left, def.top, def.width, def.height, dpi_);
    return RECT{r.left, r.top, r.left + r.width, r.top + r.height};
}

void TfrmMain::MakeFonts() {
    font_ = MakeFont(dpi_, false);
    boldFont_ = MakeFont(dpi_, true);
    linkFont_ = MakeFont(dpi_, true, true);
    listUnderlineFont_ = MakeFont(dpi_, false, true);
}

void TfrmMain::AddGraphic(HDC dc, const ui::ControlDef& def) {
    RECT r = Placed(def);
    if (def.kind == ui::Kind::Picture && !pictures_.count(def.picture)) {
        // The art of the nearest scale, at exactly the size of its place.
        const ui::TPixmap art = ui::PixmapFromBitmap(
            ui::LoadArtBitmap(ui::ArtId(def.picture, ArtScale()), ::GetModuleHandleW(nullptr)).Get());
        if (auto bmp = ui::BitmapFromPixmap(ui::Resampled(art, r.right - r.left, r.bottom - r.top)))
            pictures_.emplace(std::string(def.picture), std::move(bmp));
    }
    if (def.kind == ui::Kind::Label) {
        // As wide as the caption, at least as laid out: where the system
        // lacks Tahoma the text runs wider than its place.
        win::Selection font(dc, (def.look & ui::lkBold) ? linkFont_.Get() : font_.Get());
        const std::wstring w = win::Widen(def.caption);
        SIZE sz{};
        ::GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &sz);
        if ((def.look & ui::lkAutoWidth) || sz.cx > r.right - r.left) r.right = r.left + sz.cx;
    }
    graphics_.push_back({&def, r});
}

void TfrmMain::ApplyShape() {
    const int corner = ui::Scale(ui::kRoundCorner, dpi_);
    win::UniqueRgn rgn(::CreateRoundRectRgn(0, 0, ui::Scale(ui::kClientWidth, dpi_), ui::Scale(ui::kClientHeight, dpi_),
                                            corner, corner));
    if (::SetWindowRgn(Handle(), rgn.Get(), TRUE)) (void)rgn.Release();  // the system owns the region now
}

void TfrmMain::ApplyDpi(int dpi, const RECT* suggested) {
    if (dpi <= 0 || !Handle()) return;
    dpi_ = dpi;
    // The controls still hold the old fonts: those go once the new ones are set.
    win::UniqueFont oldFont = std::move(font_), oldBold = std::move(boldFont_);
    win::UniqueFont oldLink = std::move(linkFont_), oldUnderline = std::move(listUnderlineFont_);
    MakeFonts();
    // The suggested place, at the size the layout takes at this DPI: the
    // suggested size is the old one scaled, which may be a pixel off.
    RECT now{};
    ::GetWindowRect(Handle(), &now);
    const RECT at = suggested ? *suggested : now;
    ::SetWindowPos(Handle(), nullptr, at.left, at.top, ui::Scale(ui::kClientWidth, dpi_),
                   ui::Scale(ui::kClientHeight, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    for (TComponent* c : Components()) {
        auto* b = dynamic_cast<ui::TEzRgnBtn*>(c);
        const ui::ControlDef* def = b ? ui::FindControl(b->Name()) : nullptr;
        if (!def) continue;
        const RECT place = Placed(*def);
        b->LoadPictureSet(def->picture, nullptr, ArtScale(), {place.right - place.left, place.bottom - place.top});
    }
    for (const auto& [name, h] : controls_) {
        const ui::ControlDef* def = ui::FindControl(name);
        if (!def) continue;
        const RECT r = Placed(*def);
        ::SetWindowPos(h, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE);
        if (!defsByHwnd_.count(h)) continue;  // no text of its own
        HFONT font = (def->look & ui::lkBold) ? boldFont_.Get() : font_.Get();
        ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (def->kind == ui::Kind::ListBox) ::SendMessageW(h, LB_SETITEMHEIGHT, 0, ui::Scale(13, dpi_));
        if (def->kind == ui::Kind::ListView) {
            int i = 0;
            for (const auto& col : ui::ListColumns()) ListView_SetColumnWidth(h, i++, ui::Scale(col.width, dpi_));
        }
    }
    pressed_ = nullptr;
    graphics_.clear();
    pictures_.clear();
    {
        win::WindowDc dc(Handle());
        for (const auto& def : ui::MainLayout())
            if (def.kind == ui::Kind::Picture || def.kind == ui::Kind::Label) AddGraphic(dc.Get(), def);
    }
    ApplyShape();
    ::RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

void TfrmMain::PaintGraphics(HDC dc) {
    ::SetBkMode(dc, TRANSPARENT);
    for (const auto& g : graphics_) {
        const auto& def = *g.def;
        if (def.kind == ui::Kind::Picture) {
            auto it = pictures_.find(def.picture);
            if (it != pictures_.end() && it->second) {
                win::MemoryDc mem(dc, it->second.Get());
                ::BitBlt(dc, g.rect.left, g.rect.top, g.rect.right - g.rect.left, g.rect.bottom - g.rect.top, mem.Get(),
                         0, 0, SRCCOPY);
            } else if (def.name == "Image1") {
                win::UniqueBrush face(::CreateSolidBrush(kFaceColour));
                ::FillRect(dc, &g.rect, face.Get());
            }
        } else {
            HFONT font = (def.look & ui::lkBold) ? boldFont_.Get() : font_.Get();
            if (LinkUnderlined(def.name)) font = linkFont_.Get();
            win::Selection selected(dc, font);
            ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
            const std::wstring w = win::Widen(def.caption);
            RECT r = g.rect;
            ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
                        DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
        }
    }
}

}  // namespace kv
