#include "ui/layout.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

using namespace kv::ui;

TEST(Layout, NamesAreUniqueAndVisibleControlsFitTheWindow) {
    std::set<std::string_view> names;
    for (const auto& c : MainLayout()) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        if (c.look & lkHiddenStore) {
            EXPECT_GE(c.left, kClientWidth) << c.name << " would be seen";
        } else if (c.name != "Image1") {
            EXPECT_GE(c.left, 0) << c.name;
            EXPECT_LE(c.left + c.width, kClientWidth) << c.name;
            EXPECT_LE(c.top + c.height, kClientHeight) << c.name;
        }
    }
    for (const char* store : {"Edit4", "Memo3", "ListBox1", "ListBox2"}) {
        ASSERT_NE(FindControl(store), nullptr) << store;
        EXPECT_TRUE(FindControl(store)->look & lkHiddenStore) << store;
    }
}

TEST(Layout, EveryLinkControlHasAnAddressAndEveryLinkAControl) {
    for (const auto& c : MainLayout()) {
        if (!(c.look & lkLink)) continue;
        const LinkDef* link = FindLink(c.name);
        ASSERT_NE(link, nullptr) << c.name;
        EXPECT_TRUE(link->address.starts_with("https://")) << c.name;
        EXPECT_FALSE(c.on.click.empty()) << c.name;
        if (!link->caption.empty()) {
            EXPECT_EQ(link->caption, c.caption) << c.name;
        }
    }
    for (const auto& l : Links()) EXPECT_NE(FindControl(l.control), nullptr) << l.control;
}

TEST(Layout, PicturesPressDragAndWindowedControlsSitAbove) {
    bool seenWindowed = false;
    for (const auto& c : MainLayout()) {
        const bool graphic = c.kind == Kind::Picture || c.kind == Kind::Label;
        if (c.kind == Kind::Picture) {
            EXPECT_EQ(c.on.mouseDown, "Image1MouseDown") << c.name;
        }
        if (!graphic) seenWindowed = true;
        if (graphic && seenWindowed) {
            EXPECT_TRUE(c.look & lkHiddenStore) << c.name << " after windowed controls";
        }
    }
    int total = 0;
    for (const auto& col : ListColumns()) total += col.width;
    EXPECT_EQ(total, 40 + 154 + 65 + 156 + 34);
    EXPECT_EQ(ListColumns()[4].caption, "DEL");
}

}  // namespace
