// The handler names of the layout, bound to the window's methods when the
// program is built: a name that binds nothing, or binds a method of the wrong
// shape, stops the build.
#include <array>
#include <cstddef>
#include <functional>

#include "ui/handler_table.h"
#include "ui/layout_table.h"
#include "ui/main_form_win.h"
#include "win/error.h"
#include "win/text.h"

namespace kv {

struct TfrmMain::Handlers {
    using KeyPressFn = void (TfrmMain::*)(wchar_t& key);
    using KeyDownFn = void (TfrmMain::*)(WORD& key, UINT shift);
    using MouseDownFn = void (TfrmMain::*)(int button, int x, int y);
    using CustomDrawFn = LRESULT (TfrmMain::*)(NMLVCUSTOMDRAW& draw);

    using Click = ui::ClickHandler<TfrmMain>;
    template <class Fn>
    using Named = ui::NamedHandler<Fn>;

    static constexpr Click kClicks[] = {
        {"EzRgnBtn1Click", &TfrmMain::EzRgnBtn1Click},
        {"EzRgnBtn2Click", &TfrmMain::EzRgnBtn2Click},
        {"EzRgnBtn3Click", &TfrmMain::EzRgnBtn3Click},
        {"Button1Click", &TfrmMain::Button1Click},
        {"Button2Click", &TfrmMain::Button2Click},
        {"Button3Click", &TfrmMain::Button3Click},
        {"ListView1Click", &TfrmMain::ListView1Click},
        {"TranPanel1Click", nullptr, &TfrmMain::OpenLink, "TranPanel1"},
        {"TranPanel2Click", nullptr, &TfrmMain::OpenLink, "TranPanel2"},
        {"Label1Click", nullptr, &TfrmMain::OpenLink, "Label1"},
        {"Label2Click", nullptr, &TfrmMain::OpenLink, "Label2"},
        {"Label3Click", nullptr, &TfrmMain::OpenLink, "Label3"},
        {"Label4Click", nullptr, &TfrmMain::OpenLink, "Label4"},
        {"Label5Click", nullptr, &TfrmMain::OpenLink, "Label5"},
        {"Label6Click", nullptr, &TfrmMain::OpenLink, "Label6"},
        {"Label7Click", nullptr, &TfrmMain::OpenLink, "Label7"},
        {"Label1MouseEnter", nullptr, &TfrmMain::LinkMouseEnter, "Label1"},
        {"Label2MouseEnter", nullptr, &TfrmMain::LinkMouseEnter, "Label2"},
        {"Label3MouseEnter", nullptr, &TfrmMain::LinkMouseEnter, "Label3"},
        {"Label4MouseEnter", nullptr, &TfrmMain::LinkMouseEnter, "Label4"},
        {"Label5MouseEnter", nullptr, &TfrmMain::LinkMouseEnter, "Label5"},
        {"Label6MouseEnter", nullptr, &TfrmMain::LinkMouseEnter, "Label6"},
        {"Label7MouseEnter", nullptr, &TfrmMain::LinkMouseEnter, "Label7"},
        {"Label1MouseLeave", nullptr, &TfrmMain::LinkMouseLeave, "Label1"},
        {"Label2MouseLeave", nullptr, &TfrmMain::LinkMouseLeave, "Label2"},
        {"Label3MouseLeave", nullptr, &TfrmMain::LinkMouseLeave, "Label3"},
        {"Label4MouseLeave", nullptr, &TfrmMain::LinkMouseLeave, "Label4"},
        {"Label5MouseLeave", nullptr, &TfrmMain::LinkMouseLeave, "Label5"},
        {"Label6MouseLeave", nullptr, &TfrmMain::LinkMouseLeave, "Label6"},
        {"Label7MouseLeave", nullptr, &TfrmMain::LinkMouseLeave, "Label7"},
    };
    static constexpr Named<KeyPressFn> kKeyPresses[] = {
        {"Edit1KeyPress", &TfrmMain::Edit1KeyPress},
        {"Edit2KeyPress", &TfrmMain::Edit2KeyPress},
        {"Edit3KeyPress", &TfrmMain::Edit3KeyPress},
    };
    static constexpr Named<KeyDownFn> kKeyDowns[] = {{"ListView1KeyDown", &TfrmMain::ListView1KeyDown}};
    static constexpr Named<MouseDownFn> kMouseDowns[] = {{"Image1MouseDown", &TfrmMain::Image1MouseDown}};
    static constexpr Named<CustomDrawFn> kCustomDraws[] = {
        {"d4_ListViewCustomDrawSubItem", &TfrmMain::d4_ListViewCustomDrawSubItem}};

    // What one control's events call; null where its layout names nothing.
    struct Bound {
        const Click* click = nullptr;
        const Click* mouseEnter = nullptr;
        const Click* mouseLeave = nullptr;
        KeyPressFn keyPress = nullptr;
        KeyDownFn keyDown = nullptr;
        MouseDownFn mouseDown = nullptr;
        CustomDrawFn customDraw = nullptr;
    };

    static consteval std::array<Bound, ui::kLayout.size()> BindLayout() {
        std::array<Bound, ui::kLayout.size()> bound{};
        for (std::size_t i = 0; i < ui::kLayout.size(); ++i) {
            const ui::Bindings& on = ui::kLayout[i].on;
            bound[i] = {ui::BindClick(kClicks, on.click),
                        ui::BindClick(kClicks, on.mouseEnter),
                        ui::BindClick(kClicks, on.mouseLeave),
                        ui::BindHandler(kKeyPresses, on.keyPress),
                        ui::BindHandler(kKeyDowns, on.keyDown),
                        ui::BindHandler(kMouseDowns, on.mouseDown),
                        ui::BindHandler(kCustomDraws, on.customDraw)};
        }
        return bound;
    }
    static const std::array<Bound, ui::kLayout.size()> kBound;

    static const Bound& Of(const ui::ControlDef& def) {
        static const Bound none{};
        const std::less<const ui::ControlDef*> before;
        const ui::ControlDef* first = ui::kLayout.data();
        if (before(&def, first) || !before(&def, first + ui::kLayout.size())) return none;
        return kBound[static_cast<std::size_t>(&def - first)];
    }
};

constexpr std::array<TfrmMain::Handlers::Bound, ui::kLayout.size()> TfrmMain::Handlers::kBound =
    TfrmMain::Handlers::BindLayout();

void TfrmMain::Click(const ui::ControlDef& def) {
    if (const auto* h = Handlers::Of(def).click) (*h)(*this);
}

void TfrmMain::MouseEnter(const ui::ControlDef& def) {
    if (const auto* h = Handlers::Of(def).mouseEnter) (*h)(*this);
}

void TfrmMain::MouseLeave(const ui::ControlDef& def) {
    if (const auto* h = Handlers::Of(def).mouseLeave) (*h)(*this);
}

void TfrmMain::MouseDown(const ui::ControlDef& def, int button, int x, int y) {
    if (const auto h = Handlers::Of(def).mouseDown) (this->*h)(button, x, y);
}

void TfrmMain::KeyDown(const ui::ControlDef& def, WORD& key, UINT shift) {
    if (const auto h = Handlers::Of(def).keyDown) (this->*h)(key, shift);
}

bool TfrmMain::KeyPress(const ui::ControlDef& def, wchar_t& key) {
    const auto h = Handlers::Of(def).keyPress;
    if (h) (this->*h)(key);
    return h != nullptr;
}

std::optional<LRESULT> TfrmMain::CustomDraw(const ui::ControlDef& def, NMLVCUSTOMDRAW& draw) {
    if (const auto h = Handlers::Of(def).customDraw) return (this->*h)(draw);
    return std::nullopt;
}

bool TfrmMain::RunClick(std::string_view handler) {
    if (handler.empty()) return false;
    for (const auto& def : ui::kLayout) {
        if (def.on.click != handler) continue;
        Click(def);
        return true;
    }
    return false;
}

}  // namespace kv
