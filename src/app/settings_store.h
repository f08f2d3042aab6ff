#pragma once
// The settings key and the folders as the program's logic reaches them: small
// interfaces, so that what the window decides is tested without a registry or
// a disk. Everything read through them came from outside and is checked by
// the reader.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/checked_path.h"
#include "app/stored_value.h"

namespace kv {

class ISettingsStore {
public:
    virtual ~ISettingsStore() = default;
    // Any value with its type; Missing when there is none or the key cannot be read.
    [[nodiscard]] virtual StoredValue Read(std::string_view name) const = 0;
    // A text value as a folder setting takes it: REG_SZ up to its first zero,
    // REG_EXPAND_SZ with its %VARIABLES% expanded; nothing for any other type.
    [[nodiscard]] virtual std::optional<std::string> ReadText(std::string_view name) const = 0;
    // Each raises kv::Error when the key or the value cannot be written.
    virtual void WriteString(std::string_view name, const std::string& value) = 0;
    virtual void WriteDword(std::string_view name, std::uint32_t value) = 0;
};

class IFolderSystem {
public:
    virtual ~IFolderSystem() = default;
    [[nodiscard]] virtual bool DirectoryExists(const std::string& path) const = 0;
    // Creates the last level of a path only; false when it could not.
    virtual bool CreateDir(const std::string& path) = 0;
    // The border check's view of the file system.
    [[nodiscard]] virtual const IPathLookup& Lookup() const = 0;
};

}  // namespace kv
