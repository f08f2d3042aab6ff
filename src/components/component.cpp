#include "components/component.h"

#include <algorithm>

namespace kv {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_) owner_->Insert(this);
}

TComponent::~TComponent() {
    if (owner_) owner_->Remove(this);
    // Last created goes first; each child removes itself from owned_ as it dies.
    while (!owned_.empty()) {
        TComponent* c = owned_.back();
        delete c;
    }
}

void TComponent::Insert(TComponent* c) { owned_.push_back(c); }

void TComponent::Remove(TComponent* c) noexcept {
    auto it = std::find(owned_.begin(), owned_.end(), c);
    if (it != owned_.end()) owned_.erase(it);
    c->owner_ = nullptr;
}

}  // namespace kv
