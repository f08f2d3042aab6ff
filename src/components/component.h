#pragma once
// Non-visual component base: an owner destroys what it owns, unless the owned
// component was destroyed earlier (it then leaves its owner's list).
#include <functional>
#include <string>
#include <vector>

namespace kv {

class TComponent {
public:
    explicit TComponent(TComponent* owner);
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;
    virtual ~TComponent();

    [[nodiscard]] TComponent* Owner() const noexcept { return owner_; }
    [[nodiscard]] const std::vector<TComponent*>& Components() const noexcept { return owned_; }
    [[nodiscard]] const std::string& Name() const noexcept { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }

private:
    void Insert(TComponent* c);
    void Remove(TComponent* c) noexcept;

    TComponent* owner_ = nullptr;
    std::vector<TComponent*> owned_;
    std::string name_;
};

// A notification event passes the component that raised it.
using TNotifyEvent = std::function<void(TComponent* sender)>;

}  // namespace kv
