#pragma once
// The settings key in the current user's hive and the local file system,
// behind the interfaces the program's logic uses.
#include <windows.h>

#include <string>

#include "app/settings_store.h"

namespace kv {

class RegistrySettings final : public ISettingsStore {
public:
    explicit RegistrySettings(std::string subKey);
    [[nodiscard]] StoredValue Read(std::string_view name) const override;
    [[nodiscard]] std::optional<std::string> ReadText(std::string_view name) const override;
    void WriteString(std::string_view name, const std::string& value) override;
    void WriteDword(std::string_view name, std::uint32_t value) override;

private:
    std::string subKey_;
};

class LocalFolders final : public IFolderSystem {
public:
    [[nodiscard]] bool DirectoryExists(const std::string& path) const override;
    bool CreateDir(const std::string& path) override;
    [[nodiscard]] const IPathLookup& Lookup() const override;
};

}  // namespace kv
