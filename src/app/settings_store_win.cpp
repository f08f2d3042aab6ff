#include "app/settings_store_win.h"

#include <utility>

#include "app/settings_win.h"
#include "win/error.h"

namespace kv {

RegistrySettings::RegistrySettings(std::string subKey) : subKey_(std::move(subKey)) {}

// The key is opened for each value: another program may create, delete or
// lock it at any moment, and reading needs no write access.
StoredValue RegistrySettings::Read(std::string_view name) const {
    StoredValue v;
    GuardedStep([&] { v = RegistryKey(subKey_, RegistryKey::Access::Read).ReadValue(std::string(name)); });
    return v;
}

std::optional<std::string> RegistrySettings::ReadText(std::string_view name) const {
    std::optional<std::string> text;
    GuardedStep([&] { text = RegistryKey(subKey_, RegistryKey::Access::Read).ReadString(std::string(name)); });
    return text;
}

void RegistrySettings::WriteString(std::string_view name, const std::string& value) {
    RegistryKey(subKey_).WriteString(std::string(name), value);
}

void RegistrySettings::WriteDword(std::string_view name, std::uint32_t value) {
    RegistryKey(subKey_).WriteDword(std::string(name), value);
}

bool LocalFolders::DirectoryExists(const std::string& path) const { return kv::DirectoryExists(path); }
bool LocalFolders::CreateDir(const std::string& path) { return kv::CreateDir(path); }
const IPathLookup& LocalFolders::Lookup() const { return FileSystemLookup::Instance(); }

}  // namespace kv
