#pragma once
// A registry value as read: its type and, for the two types the program
// stores, its data. Anyone can edit the registry, so a reader checks the type
// before it takes the data.
#include <cstdint>
#include <string>

namespace kv {

struct StoredValue {
    enum class Type : std::uint8_t { Missing, String, Dword, Other };
    Type type = Type::Missing;
    std::string text;          // Type::String (REG_SZ)
    std::uint32_t number = 0;  // Type::Dword (REG_DWORD)
};

}  // namespace kv
