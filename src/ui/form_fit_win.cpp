// The language's texts measured in their real fonts at the window's DPI, and
// the layout made room for them: nothing a user must read is cut.
#include <algorithm>
#include <array>

#include "app/texts.h"
#include "ui/dpi.h"
#include "ui/form_skin_win.h"
#include "ui/look_win.h"
#include "ui/text_fit.h"
#include "win/text.h"

namespace kv::ui {

namespace {

constexpr UINT kWrapped = DT_LEFT | DT_TOP | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;
constexpr int kLargestTitle = 16;  // pixels at 96 dpi: the lettering the banner was drawn for

// The size of a text in a font; within `width` when it may wrap.
SIZE Measure(HDC dc, HFONT font, const std::string& text, int width = 0, UINT flags = DT_SINGLELINE) {
    win::Selection selected(dc, font);
    const std::wstring w = win::Widen(text);
    RECT r{0, 0, width, 0};
    ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, flags | DT_CALCRECT);
    return {r.right - r.left, r.bottom - r.top};
}

struct Row {
    std::array<std::string_view, 4> names;
    int limit;  // where the row must end, at 96 dpi
};
// The top row ends before the minimize button, the bottom one at the rim.
constexpr std::array kLinkRows{Row{{"Label1", "Label2", "Label3"}, 433},
                               Row{{"Label4", "Label5", "Label6", "Label7"}, 487}};

}  // namespace

void FormSkin::FitTexts(HDC dc) {
    fit_ = {};
    FitButtons(dc);
    FitLinks(dc);
    FitColumns(dc);
    FitBanner(dc);
    FitLabels(dc);
}

// A caption that would pass the rim, with no room for a second line above
// the control below it, reads a pixel smaller at a time.
void FormSkin::FitLabels(HDC dc) {
    for (auto& [name, font] : labelFonts_) retired_.push_back(std::move(font));
    labelFonts_.clear();
    const int normal = UiFontFor(CurrentLanguage().tag).pixels;
    for (const auto& def : MainLayout()) {
        if (def.kind != Kind::Label || (def.look & (lkBold | lkHiddenStore))) continue;
        const std::string caption = TrEnglish(def.caption);
        const int room = Scale(kButtonsRight - def.left, dpi_);
        for (int pixels = normal - 1; pixels >= 8 && Measure(dc, LabelFont(def.name), caption).cx > room; --pixels)
            labelFonts_.insert_or_assign(std::string(def.name), MakeUiFont(dpi_, false, false, pixels, look_));
    }
}

HFONT FormSkin::LabelFont(std::string_view name) const {
    const auto it = labelFonts_.find(name);
    return it == labelFonts_.end() ? plain_.Get() : it->second.Get();
}

void FormSkin::FitButtons(HDC dc) {
    int need = Scale(kButtonWidth, dpi_);
    for (const auto& def : MainLayout())
        if (def.kind == Kind::Button)
            need = std::max(need,
                            static_cast<int>(Measure(dc, plain_.Get(), TrEnglish(def.caption)).cx) + Scale(16, dpi_));
    fit_.buttonWidth = need;
}

// A row that does not fit as laid out flows; one that cannot fit at all takes
// the bold labels' font a pixel smaller at a time.
void FormSkin::FitLinks(HDC dc) {
    const int normal = UiFontFor(CurrentLanguage().tag).pixels;
    for (int pixels = normal; pixels >= 8; --pixels) {
        if (pixels != normal) {
            retired_.push_back(std::move(bold_));
            retired_.push_back(std::move(link_));
            bold_ = MakeUiFont(dpi_, true, false, pixels, look_);
            link_ = MakeUiFont(dpi_, true, true, pixels, look_);
        }
        fit_.lefts.clear();
        bool fits = true;
        for (const Row& row : kLinkRows) {
            std::vector<int> lefts, widths;
            for (const std::string_view name : row.names) {
                const ControlDef* def = FindControl(name);
                if (!def) continue;
                lefts.push_back(Scale(def->left, dpi_));
                widths.push_back(static_cast<int>(Measure(dc, link_.Get(), TrEnglish(def->caption)).cx));
            }
            const auto flowed = FlowRow(lefts, widths, Scale(4, dpi_), Scale(row.limit, dpi_));
            fits = fits && flowed;
            for (std::size_t i = 0; flowed && i < flowed->size(); ++i)
                if ((*flowed)[i] != lefts[i]) fit_.lefts.emplace(std::string(row.names[i]), (*flowed)[i]);
        }
        if (fits) return;
    }
}

// Room for every head and every state a row's progress can read.
void FormSkin::FitColumns(HDC dc) {
    const int pad = Scale(12, dpi_);  // the header's and the cells' margins
    std::vector<int> laidOut, need;
    for (const auto& col : ListColumns()) {
        laidOut.push_back(Scale(col.width, dpi_));
        need.push_back(static_cast<int>(Measure(dc, plain_.Get(), TrEnglish(col.caption)).cx) + pad);
    }
    for (const TextId state :
         {TextId::PendingState, TextId::MeasuringState, TextId::DoneState, TextId::FailedState, TextId::SkippedState})
        need[2] = std::max(need[2], static_cast<int>(Measure(dc, plain_.Get(), Tr(state)).cx) + pad);
    need[2] =
        std::max(need[2], static_cast<int>(Measure(dc, plain_.Get(), Tr(TextId::PercentState, {"100"})).cx) + pad);
    const ControlDef* list = FindControl("ListView1");
    // Past the list's width (its borders and a scroll bar) the list scrolls.
    const int total = Scale(list ? list->width : 473, dpi_) - Scale(4 + 17, dpi_);
    const std::array<bool, 5> flexible{false, true, false, true, false};
    fit_.columns = ui::FitColumns(laidOut, need, flexible, total);
}

int FormSkin::ColumnWidth(int column) const {
    const auto i = static_cast<std::size_t>(column);
    return i < fit_.columns.size() ? fit_.columns[i] : 0;
}

// The banner's words left of its chevron: the title as large as lets it stand
// on one line with the line below it inside the picture; a long title wraps,
// and the line below takes the title's size when that is smaller.
void FormSkin::FitBanner(HDC dc) {
    const ControlDef* banner = FindControl("Image3");
    if (!banner) return;
    const RECT place = Placed(*banner);
    const RECT box{place.left + Scale(4, dpi_), place.top + Scale(3, dpi_), place.left + Scale(138, dpi_),
                   place.bottom - Scale(1, dpi_)};
    const int width = box.right - box.left;
    const std::string title = Tr(TextId::BannerTitle), line = Tr(TextId::BannerLine);
    const int normal = UiFontFor(CurrentLanguage().tag).pixels;
    SIZE titleSize{}, lineSize{};
    for (int pixels = kLargestTitle; pixels >= 8; --pixels) {
        bannerTitle_ = MakeUiFont(dpi_, true, false, pixels, look_);
        bannerLine_ = MakeUiFont(dpi_, false, false, std::min(normal, pixels), look_);
        fit_.bannerTitlePixels = pixels;
        titleSize = Measure(dc, bannerTitle_.Get(), title, width, kWrapped);
        lineSize = Measure(dc, bannerLine_.Get(), line, width, kWrapped);
        fit_.bannerWraps = Measure(dc, bannerTitle_.Get(), title).cx > width;
        const bool inside = titleSize.cy + lineSize.cy <= box.bottom - box.top;
        if (inside && (!fit_.bannerWraps || pixels <= normal)) break;
    }
    fit_.bannerTitle = {box.left, box.top, box.left + titleSize.cx, box.top + titleSize.cy};
    fit_.bannerLine = {box.left, fit_.bannerTitle.bottom, box.left + lineSize.cx,
                       fit_.bannerTitle.bottom + lineSize.cy};
}

void FormSkin::PaintBanner(HDC dc, const RECT&) const {
    const auto draw = [dc](HFONT font, COLORREF colour, const std::string& text, RECT r) {
        win::Selection selected(dc, font);
        ::SetTextColor(dc, colour);
        const std::wstring w = win::Widen(text);
        ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, kWrapped | DT_NOCLIP);
    };
    const bool plain = look_ == Appearance::HighContrast;
    draw(bannerTitle_.Get(), InkOf(look_, plain ? Ink::Text : Ink::BannerTitle), Tr(TextId::BannerTitle),
         fit_.bannerTitle);
    draw(bannerLine_.Get(), InkOf(look_, plain ? Ink::Text : Ink::BannerLine), Tr(TextId::BannerLine), fit_.bannerLine);
}

// High contrast: the background in the window's colour with the shape's
// outline, the logo as its words, the banner as its words alone.
void FormSkin::PaintPlain(HDC dc, const Graphic& picture) const {
    const ControlDef& def = *picture.def;
    if (def.name == "Image1") {
        ::FillRect(dc, &picture.rect, ::GetSysColorBrush(COLOR_WINDOW));
        const int corner = Scale(kRoundCorner, dpi_);
        win::UniqueRgn outline(
            ::CreateRoundRectRgn(0, 0, Scale(kClientWidth, dpi_), Scale(kClientHeight, dpi_), corner, corner));
        ::FrameRgn(dc, outline.Get(), ::GetSysColorBrush(COLOR_WINDOWTEXT), Scale(2, dpi_), Scale(2, dpi_));
    } else if (def.name == "Image2") {
        const auto line = [&](const char* text, int top, int bottom, HFONT font) {
            win::Selection selected(dc, font);
            ::SetTextColor(dc, InkOf(look_, Ink::Link));
            const std::wstring w = win::Widen(text);
            RECT r{picture.rect.left, picture.rect.top + Scale(top, dpi_), picture.rect.right,
                   picture.rect.top + Scale(bottom, dpi_)};
            ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r,
                        DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        };
        line("Korvello Labs", 0, 28, bold_.Get());
        line("Korvello MP4 to MP3", 28, 53, bannerTitle_.Get());
    } else if (def.picture == "banner") {
        PaintBanner(dc, picture.rect);
    }
}

}  // namespace kv::ui
