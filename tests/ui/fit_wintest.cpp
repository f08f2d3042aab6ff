// Every text of every language, and of a pseudo-language 40 % longer with
// accents, measured in the window's real fonts at each DPI from 100 to 500 %:
// the first that would be cut fails.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/texts_win.h"
#include "ui/dpi.h"
#include "ui/form_skin_win.h"
#include "ui/layout.h"
#include "win/text.h"

namespace {

using kv::TextId;
using kv::ui::Scale;

constexpr int kDpis[] = {96, 120, 144, 168, 192, 240, 288, 336, 384, 432, 480};

struct Window {
    HWND h = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ~Window() { ::DestroyWindow(h); }
};

int TextWidth(HWND window, HFONT font, const std::string& text) {
    HDC dc = ::GetDC(window);
    const HGDIOBJ old = ::SelectObject(dc, font);
    const std::wstring w = kv::win::Widen(text);
    RECT r{};
    ::DrawTextW(dc, w.c_str(), static_cast<int>(w.size()), &r, DT_SINGLELINE | DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(window, dc);
    return r.right - r.left;
}

// What each place allows, checked with the skin's own measures.
void ExpectFits(const std::string& language, int dpi) {
    const Window window;
    kv::ui::FormSkin skin(window.h, {});
    skin.Build(dpi);
    const auto& fit = skin.Fitted();
    const std::string at = language + " at " + std::to_string(dpi) + " dpi: ";
    const int rim = Scale(487, dpi);
    // Painted labels stay inside the rim; links keep apart and clear of the buttons.
    for (const auto& def : kv::ui::MainLayout()) {
        if (def.kind != kv::ui::Kind::Label || (def.look & kv::ui::lkHiddenStore)) continue;
        const RECT r = skin.RectOf(def.name);
        ASSERT_LE(r.right, rim) << at << def.name << " \"" << kv::TrEnglish(def.caption) << "\"";
    }
    for (const auto& row : std::vector<std::vector<std::string_view>>{{"Label1", "Label2", "Label3"},
                                                                      {"Label4", "Label5", "Label6", "Label7"}})
        for (std::size_t i = 0; i + 1 < row.size(); ++i)
            ASSERT_LT(skin.RectOf(row[i]).right, skin.RectOf(row[i + 1]).left) << at << row[i] << " runs into the next";
    ASSERT_LE(skin.RectOf("Label3").right, Scale(437, dpi)) << at << "the top row runs under the minimize button";
    // Buttons hold their captions; the path boxes keep a useful width.
    for (const auto& def : kv::ui::MainLayout()) {
        if (def.kind != kv::ui::Kind::Button) continue;
        const RECT r = skin.Placed(def);
        ASSERT_LE(TextWidth(window.h, skin.Font(false), kv::TrEnglish(def.caption)) + Scale(10, dpi), r.right - r.left)
            << at << def.name;
    }
    const RECT edit = skin.Placed(*kv::ui::FindControl("Edit1"));
    ASSERT_GE(edit.right - edit.left, Scale(200, dpi)) << at << "the path box";
    // The list's short heads and every state a row can read, within the list.
    int total = 0;
    for (std::size_t i = 0; i < kv::ui::ListColumns().size(); ++i) {
        const int width = skin.ColumnWidth(static_cast<int>(i));
        total += width;
        // A name column gives way before the list would scroll: its head may end in "...".
        if (i == 1 || i == 3) {
            ASSERT_GE(width, Scale(kv::ui::ListColumns()[i].width, dpi) * 3 / 5) << at << "column " << i;
            continue;
        }
        ASSERT_LE(
            TextWidth(window.h, skin.Font(false), kv::TrEnglish(kv::ui::ListColumns()[i].caption)) + Scale(12, dpi),
            width)
            << at << "column " << i;
    }
    for (const std::string& state : {kv::Tr(TextId::PendingState), kv::Tr(TextId::MeasuringState),
                                     kv::Tr(TextId::PercentState, {"100"}), kv::Tr(TextId::SkippedState)})
        ASSERT_LE(TextWidth(window.h, skin.Font(false), state) + Scale(12, dpi), skin.ColumnWidth(2)) << at << state;
    ASSERT_LE(total, Scale(473 - 4 - 17, dpi)) << at << "the list scrolls sideways";
    // The banner's words stay left of its chevron and inside the picture.
    const RECT banner = skin.Placed(*kv::ui::FindControl("Image3"));
    for (const RECT& words : {fit.bannerTitle, fit.bannerLine}) {
        ASSERT_LE(words.right, banner.left + Scale(138, dpi)) << at << "banner";
        ASSERT_LE(words.bottom, banner.bottom) << at << "banner: " << fit.bannerTitlePixels << " px";
    }
}

class Fit : public ::testing::Test {
protected:
    void TearDown() override { kv::UseLanguage("auto"); }
};

TEST_F(Fit, EveryLanguageFitsAtEveryDpi) {
    for (const auto& language : kv::Languages()) {
        kv::UseTexts(language, kv::LoadTexts(::GetModuleHandleW(nullptr), language));
        for (const int dpi : kDpis) {
            ExpectFits(std::string(language.tag), dpi);
            if (HasFatalFailure()) return;
        }
    }
}

TEST_F(Fit, APseudoLanguageFortyPercentLongerFitsAtEveryDpi) {
    std::vector<std::string> pseudo;
    for (std::size_t i = 0; i < kv::kTextCount; ++i)
        pseudo.push_back(kv::PseudoText(kv::EnglishText(static_cast<TextId>(i))));
    kv::UseTexts(*kv::FindLanguage("en"), pseudo);
    for (const int dpi : kDpis) {
        ExpectFits("pseudo", dpi);
        if (HasFatalFailure()) return;
    }
}

}  // namespace
