#pragma once
// The main window's layout as data: every control with its place, size,
// caption, look and the names of the handlers bound to its events. The window
// builds itself from these tables; nothing else positions a control.
#include <array>
#include <span>
#include <string_view>

namespace kv::ui {

enum class Kind { Picture, Label, Edit, Button, RegionButton, ListView, ClickPanel, ListBox, Memo };

enum Look : unsigned {
    lkNone = 0,
    lkBold = 1u << 0,
    lkHandPointer = 1u << 1,
    lkAutoWidth = 1u << 2,  // a label as wide as its caption
    lkLink = 1u << 3,       // underlined under the pointer, opens its page
    lkCrop = 1u << 4,       // region button cut to its idle picture
    lkHiddenStore = 1u << 5,
};

// The names of the window's handlers bound to a control's events when the
// program is built; empty when nothing is bound.
struct Bindings {
    std::string_view click;
    std::string_view keyPress;
    std::string_view keyDown;
    std::string_view mouseDown;
    std::string_view customDraw;
    std::string_view mouseEnter;
    std::string_view mouseLeave;
};

struct ControlDef {
    Kind kind;
    std::string_view name;
    int left, top, width, height;
    std::string_view caption;
    unsigned look;
    std::string_view picture;  // art name (picture set for region buttons)
    std::string_view hint;
    Bindings on;
    std::string_view accessibleName;  // what a screen reader says for a control without a caption
};

struct ColumnDef {
    std::string_view caption;
    int width;
};

struct LinkDef {
    std::string_view control;
    std::string_view caption;  // empty: the control keeps its own caption
    std::string_view address;
};

inline constexpr int kClientWidth = 503;
inline constexpr int kClientHeight = 479;
inline constexpr int kRoundCorner = 30;

// Pictures and labels, painted by the window in this order (bottom to top), then
// the windowed controls above them.
std::span<const ControlDef> MainLayout();
std::span<const ColumnDef> ListColumns();
std::span<const LinkDef> Links();
// The controls Tab reaches, in the order it reaches them.
std::span<const std::string_view> TabOrder();

const ControlDef* FindControl(std::string_view name);
const LinkDef* FindLink(std::string_view control);

}  // namespace kv::ui
