#include "ui/layout.h"

#include "ui/layout_table.h"

namespace kv::ui {

std::span<const ControlDef> MainLayout() { return kLayout; }
std::span<const ColumnDef> ListColumns() { return kColumns; }
std::span<const LinkDef> Links() { return kLinks; }
std::span<const std::string_view> TabOrder() { return kTabOrder; }

const LinkDef* FindLink(std::string_view control) {
    for (const auto& l : kLinks)
        if (l.control == control) return &l;
    return nullptr;
}

const ControlDef* FindControl(std::string_view name) {
    for (const auto& c : kLayout)
        if (c.name == name) return &c;
    return nullptr;
}

}  // namespace kv::ui
