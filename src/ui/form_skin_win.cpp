#include "app/texts.h"
#include "ui/form_skin_win.h"

#include <algorithm>
#include <utility>

#include "ui/art_ids.h"
#include "ui/art_names.h"
#include "ui/dpi.h"
#include "ui/look_win.h"
#include "ui/picture_win.h"
#include "ui/resample.h"
#include "ui/text_fit.h"
#include "win/text.h"

namespace kv::ui {

namespace {}  // namespace

// The language's face at its size, scaled to the DPI.
win::UniqueFont MakeUiFont(int dpi, bool bold, bool underline, int pixels, Appearance look) {
    const UiFont ui = UiFontFor(CurrentLanguage().tag);
    LOGFONTW lf{};
    lf.lfHeight = -Scale(pixels > 0 ? pixels : ui.pixels, dpi);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = underline ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    // High contrast: letters in the text colour alone, no blend with the background.
    lf.lfQuality = look == Appearance::HighContrast ? NONANTIALIASED_QUALITY : CLEARTYPE_QUALITY;
    lstrcpynW(lf.lfFaceName, std::wstring(ui.face).c_str(), LF_FACESIZE);
    return win::UniqueFont(::CreateFontIndirectW(&lf));
}

FormSkin::FormSkin(HWND window, Events events) : window_(window), events_(std::move(events)) {}

int FormSkin::ArtScale() const noexcept { return ArtScaleFor(dpi_); }

// Push buttons grow to the left for a long caption; the path boxes beside
// them give way.
RECT FormSkin::Placed(const ControlDef& def) const {
    const ScaledRect r = ScaleRect(def.left, def.top, def.width, def.height, dpi_);
    RECT place{r.left, r.top, r.left + r.width, r.top + r.height};
    const bool visible = !(def.look & lkHiddenStore);
    if (def.kind == Kind::Button && fit_.buttonWidth > r.width) place.left = place.right - fit_.buttonWidth;
    const int buttonsLeft = Scale(kButtonsRight, dpi_) - std::max(fit_.buttonWidth, Scale(kButtonWidth, dpi_));
    if (def.kind == Kind::Edit && visible)
        place.right = std::min<LONG>(place.right, buttonsLeft - Scale(kEditGap, dpi_));
    if (auto it = fit_.lefts.find(def.name); it != fit_.lefts.end()) {
        place.right += it->second - place.left;
        place.left = it->second;
    }
    return place;
}

// The fonts of the last DPI stay alive until the next change: the window's
// controls hold them until it gives them the new ones.
void FormSkin::Build(int dpi) {
    dpi_ = dpi;
    retired_.clear();
    for (win::UniqueFont* f : {&plain_, &bold_, &link_, &listUnderline_, &bannerTitle_, &bannerLine_})
        if (*f) retired_.push_back(std::move(*f));
    plain_ = MakeUiFont(dpi_, false, false, 0, look_);
    bold_ = MakeUiFont(dpi_, true, false, 0, look_);
    link_ = MakeUiFont(dpi_, true, true, 0, look_);
    listUnderline_ = MakeUiFont(dpi_, false, true, 0, look_);
    pressed_ = nullptr;
    graphics_.clear();
    pictures_.clear();
    win::WindowDc dc(window_);
    FitTexts(dc.Get());
    for (const auto& def : MainLayout())
        if (def.kind == Kind::Picture || def.kind == Kind::Label) AddGraphic(dc.Get(), def);
}

void FormSkin::AddGraphic(HDC dc, const ControlDef& def) {
    RECT r = Placed(def);
    if (def.kind == Kind::Picture && !pictures_.count(def.picture)) {
        // The art of the nearest scale, at exactly the size of its place.
        const TPixmap art =
            PixmapFromBitmap(LoadArtBitmap(ArtId(def.picture, ArtScale(), look_ == Appearance::Dark), nullptr).Get());
        if (auto bmp = BitmapFromPixmap(Resampled(art, r.right - r.left, r.bottom - r.top)))
            pictures_.emplace(std::string(def.picture), std::move(bmp));
    }
    if (def.kind == Kind::Label) {
        // As wide as the caption, at least as laid out: where the system
        // lacks Tahoma the text runs wider than its place.
        win::Selection font(dc, (def.look & lkBold) ? link_.Get() : LabelFont(def.name));
        const std::wstring w = win::Widen(TrEnglish(def.caption));
        SIZE sz{};
        ::GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &sz);
        if ((def.look & lkAutoWidth) || sz.cx > r.right - r.left) r.right = r.left + sz.cx;
    }
    graphics_.push_back({&def, r});
}

void FormSkin::ApplyShape() const {
    const int corner = Scale(kRoundCorner, dpi_);
    win::UniqueRgn rgn(
        ::CreateRoundRectRgn(0, 0, Scale(kClientWidth, dpi_), Scale(kClientHeight, dpi_), corner, corner));
    if (::SetWindowRgn(window_, rgn.Get(), TRUE)) (void)rgn.Release();  // the system owns the region now
}

void FormSkin::Paint(HDC dc) const {
    ::SetBkMode(dc, TRANSPARENT);
    for (const auto& g : graphics_) {
        const auto& def = *g.def;
        if (def.kind == Kind::Picture && look_ == Appearance::HighContrast) {
            PaintPlain(dc, g);
            continue;
        }
        if (def.kind == Kind::Picture) {
            auto it = pictures_.find(def.picture);
            if (it != pictures_.end() && it->second) {
                win::MemoryDc mem(dc, it->second.Get());
                ::BitBlt(dc, g.rect.left, g.rect.top, g.rect.right - g.rect.left, g.rect.bottom - g.rect.top, mem.Get(),
                         0, 0, SRCCOPY);
                if (def.picture == "banner") PaintBanner(dc, g.rect);
            } else if (def.name == "Image1") {
                win::UniqueBrush face(::CreateSolidBrush(ColorRefOf(SkinPalette(look_).face)));
                ::FillRect(dc, &g.rect, face.Get());
            }
            continue;
        }
        win::Selection selected(dc, Underlined(def.name)  ? link_.Get()
                                    : (def.look & lkBold) ? bold_.Get()
                                                          : LabelFont(def.name));
        ::SetTextColor(dc, InkOf(look_, (def.look & lkLink) ? Ink::Link : Ink::Text));
        const std::wstring w = win::Widen(TrEnglish(def.caption));
        RECT r = g.rect;
        ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
                    DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_NOCLIP);
    }
}

void FormSkin::Underline(std::string_view label) {
    const std::string before = std::exchange(underlined_, std::string(label));
    Invalidate(before);
    Invalidate(label);
}

void FormSkin::Invalidate(std::string_view name) const {
    for (const auto& g : graphics_)
        if (g.def->name == name) ::InvalidateRect(window_, &g.rect, FALSE);
}

const FormSkin::Graphic* FormSkin::At(POINT pt) const {
    for (auto it = graphics_.rbegin(); it != graphics_.rend(); ++it)
        if (::PtInRect(&it->rect, pt)) return &*it;
    return nullptr;
}

void FormSkin::PointerOver(const Graphic* g) {
    const ControlDef* now = g ? g->def : nullptr;
    if (now == pointerOver_) return;
    const ControlDef* before = std::exchange(pointerOver_, now);
    if (before && events_.leave) events_.leave(*before);
    if (now && events_.enter) events_.enter(*now);
}

void FormSkin::ButtonDown(UINT msg, POINT pt) {
    const bool left = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
    const int button = left ? VK_LBUTTON : msg == WM_RBUTTONDOWN ? VK_RBUTTON : VK_MBUTTON;
    const Graphic* g = At(pt);
    if (left) pressed_ = g;
    if (g && events_.down) events_.down(*g->def, button, pt.x - g->rect.left, pt.y - g->rect.top);
}

// A click is a press and a release on the same control: a release that ends a
// press elsewhere (or a window drag) opens nothing.
void FormSkin::LeftButtonUp(POINT pt) {
    const Graphic* g = At(pt);
    const Graphic* pressed = std::exchange(pressed_, nullptr);
    if (g && g == pressed && events_.click) events_.click(*g->def);
}

void FormSkin::MouseMove(POINT pt) {
    if (!trackingLeave_) {
        TRACKMOUSEEVENT tme{sizeof tme, TME_LEAVE, window_, 0};
        trackingLeave_ = ::TrackMouseEvent(&tme) != FALSE;
    }
    PointerOver(At(pt));
}

void FormSkin::MouseLeft() {
    trackingLeave_ = false;
    PointerOver(nullptr);
}

bool FormSkin::SetCursor() const {
    POINT pt;
    ::GetCursorPos(&pt);
    ::ScreenToClient(window_, &pt);
    const Graphic* g = At(pt);
    if (!g || !(g->def->look & lkHandPointer)) return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return true;
}

// The link labels are painted, not windows: a screen reader finds them as
// parts of the window, after its child windows.
std::vector<const FormSkin::Graphic*> FormSkin::LinkLabels() const {
    std::vector<const Graphic*> links;
    for (const auto& g : graphics_)
        if (g.def->kind == Kind::Label && (g.def->look & lkLink)) links.push_back(&g);
    return links;
}

RECT FormSkin::RectOf(std::string_view name) const {
    for (const auto& g : graphics_)
        if (g.def->name == name) return g.rect;
    return RECT{};
}

}  // namespace kv::ui
