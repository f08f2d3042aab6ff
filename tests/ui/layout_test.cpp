#include "ui/layout.h"

#include <gtest/gtest.h>

#include <cctype>
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

// Tab reaches only visible controls that take the keyboard, each once; every
// control a screen reader cannot name from a caption has a name of its own.
TEST(Layout, TabReachesEachKeyboardControlOnceAndCaptionlessOnesAreNamed) {
    std::set<std::string_view> seen;
    for (std::string_view name : TabOrder()) {
        const ControlDef* c = FindControl(name);
        ASSERT_NE(c, nullptr) << name;
        EXPECT_TRUE(seen.insert(name).second) << name << " twice";
        EXPECT_FALSE(c->look & lkHiddenStore) << name;
        EXPECT_TRUE(c->kind == Kind::Button || c->kind == Kind::ListView || c->kind == Kind::RegionButton) << name;
    }
    for (const auto& c : MainLayout()) {
        if (c.kind == Kind::RegionButton || c.kind == Kind::ClickPanel) {
            EXPECT_FALSE(c.accessibleName.empty()) << c.name;
        }
        if (c.kind == Kind::RegionButton || c.kind == Kind::Button) {
            EXPECT_TRUE(seen.count(c.name)) << c.name << " cannot be reached by Tab";
        }
    }
    // Access keys: one "&" a button, no two buttons on the same letter.
    std::set<char> keys;
    for (const auto& c : MainLayout()) {
        if (c.kind != Kind::Button) continue;
        const auto amp = c.caption.find('&');
        ASSERT_NE(amp, std::string_view::npos) << c.name;
        ASSERT_LT(amp + 1, c.caption.size()) << c.name;
        EXPECT_EQ(c.caption.find('&', amp + 1), std::string_view::npos) << c.name;
        EXPECT_TRUE(keys.insert(static_cast<char>(std::tolower(c.caption[amp + 1]))).second) << c.name;
    }
}

}  // namespace
