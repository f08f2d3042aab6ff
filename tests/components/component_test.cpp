#include "components/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_destroyed;

class Probe : public kv::TComponent {
public:
    Probe(kv::TComponent* owner, std::string tag) : TComponent(owner), tag_(std::move(tag)) {}
    ~Probe() override { g_destroyed.push_back(tag_); }

private:
    std::string tag_;
};

TEST(TComponent, OwnerDestroysOwnedInReverseOrderOfCreation) {
    g_destroyed.clear();
    {
        auto* owner = new Probe(nullptr, "owner");
        new Probe(owner, "a");
        auto* b = new Probe(owner, "b");
        new Probe(b, "b.child");
        EXPECT_EQ(owner->Components().size(), 2u);
        delete owner;
    }
    EXPECT_EQ(g_destroyed, (std::vector<std::string>{"owner", "b", "b.child", "a"}));
}

TEST(TComponent, ComponentDestroyedEarlyLeavesItsOwner) {
    g_destroyed.clear();
    Probe owner(nullptr, "owner");
    auto* a = new Probe(&owner, "a");
    new Probe(&owner, "b");
    delete a;
    ASSERT_EQ(owner.Components().size(), 1u);
    EXPECT_EQ(g_destroyed, std::vector<std::string>{"a"});
}

}  // namespace
