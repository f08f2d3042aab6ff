#pragma once
// Handler names bound to member functions while the program is built. A
// lookup runs only in constant evaluation: a name the table lacks is no
// constant, so a misspelt name in a layout stops the build.
#include <cstddef>
#include <string_view>

namespace kv::ui {

template <class Fn>
struct NamedHandler {
    std::string_view name;
    Fn fn;
};

// A handler of no arguments, or one shared by several controls and told which.
template <class Owner>
struct ClickHandler {
    std::string_view name;
    void (Owner::*plain)() = nullptr;
    void (Owner::*shared)(std::string_view control) = nullptr;
    std::string_view control;
    void operator()(Owner& owner) const {
        if (plain) (owner.*plain)();
        if (shared) (owner.*shared)(control);
    }
};

// Null for an empty name: the event is not bound.
template <class Fn, std::size_t N>
consteval Fn BindHandler(const NamedHandler<Fn> (&table)[N], std::string_view name) {
    if (name.empty()) return nullptr;
    for (const auto& entry : table)
        if (entry.name == name) return entry.fn;
    throw "a handler name that binds nothing";
}

template <class Owner, std::size_t N>
consteval const ClickHandler<Owner>* BindClick(const ClickHandler<Owner> (&table)[N], std::string_view name) {
    if (name.empty()) return nullptr;
    for (const auto& entry : table)
        if (entry.name == name) return &entry;
    throw "a click handler name that binds nothing";
}

}  // namespace kv::ui
