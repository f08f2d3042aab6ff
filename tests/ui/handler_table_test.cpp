// Handler names bound while building: each name reaches its own method, an
// empty name binds nothing, and a shared handler is told its control.
#include "ui/handler_table.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

struct Owner {
    std::string calls;
    void Open() { calls += "open;"; }
    void Close() { calls += "close;"; }
    void Link(std::string_view control) { calls += "link " + std::string(control) + ";"; }
    void Key(wchar_t& key) { key = L'x'; }
    void DropKey(wchar_t& key) { key = 0; }

    using Click = kv::ui::ClickHandler<Owner>;
    using KeyFn = void (Owner::*)(wchar_t&);
    static constexpr Click kClicks[] = {
        {"OpenClick", &Owner::Open},
        {"CloseClick", &Owner::Close},
        {"Label1Click", nullptr, &Owner::Link, "Label1"},
        {"Label2Click", nullptr, &Owner::Link, "Label2"},
    };
    static constexpr kv::ui::NamedHandler<KeyFn> kKeys[] = {{"EditKeyPress", &Owner::Key},
                                                            {"OtherKeyPress", &Owner::DropKey}};
};

constexpr const Owner::Click* kClose = kv::ui::BindClick(Owner::kClicks, "CloseClick");
constexpr const Owner::Click* kLabel2 = kv::ui::BindClick(Owner::kClicks, "Label2Click");
constexpr const Owner::Click* kNone = kv::ui::BindClick(Owner::kClicks, "");
constexpr Owner::KeyFn kOther = kv::ui::BindHandler(Owner::kKeys, "OtherKeyPress");
constexpr Owner::KeyFn kNoKey = kv::ui::BindHandler(Owner::kKeys, "");
#if defined(KV_MISSPELT_HANDLER) && KV_MISSPELT_HANDLER
// Must not compile: the build stops at a name the table lacks.
constexpr const Owner::Click* kMisspelt = kv::ui::BindClick(Owner::kClicks, "Lable1Click");
#endif

TEST(HandlerTable, EachNameReachesItsOwnMethodAndAnEmptyNameNone) {
    Owner owner;
    ASSERT_NE(kClose, nullptr);
    (*kClose)(owner);
    (*kLabel2)(owner);
    EXPECT_EQ(owner.calls, "close;link Label2;");
    EXPECT_EQ(kNone, nullptr);
    EXPECT_EQ(kNoKey, nullptr);
    wchar_t key = L'a';
    ASSERT_NE(kOther, nullptr);
    (owner.*kOther)(key);
    EXPECT_EQ(key, 0) << "the second key handler, not the first";
}

}  // namespace
