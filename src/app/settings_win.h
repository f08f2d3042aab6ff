#pragma once
// Per-user settings in the registry, the user's special folders, and small file helpers.
#include <cstdint>
#include <optional>
#include <string>

#include "app/checked_path.h"
#include "app/file_id.h"
#include "app/stored_value.h"
#include "win/handle.h"

namespace kv {

inline constexpr const char* kSettingsKey = "\\Software\\Korvello";

// A key of the current user's hive: for writing, opened with full access and
// created when missing; for reading only, opened with read access, so that a
// key the user may not change can still be read. Every failure raises
// kv::Error, so callers decide what a guarded step is.
class RegistryKey {
public:
    enum class Access { Full, Read };
    explicit RegistryKey(const std::string& subKey, Access access = Access::Full);
    [[nodiscard]] bool ValueExists(const std::string& name) const;
    // A REG_SZ value as stored, a REG_EXPAND_SZ one with its %VARIABLES% expanded.
    [[nodiscard]] std::string ReadString(const std::string& name) const;
    void WriteString(const std::string& name, const std::string& value);
    // Any value, with its type; Missing when there is none. Raises nothing.
    [[nodiscard]] StoredValue ReadValue(const std::string& name) const noexcept;
    void WriteDword(const std::string& name, std::uint32_t value);

private:
    win::UniqueKey key_;
};

// The user's folders from the shell's known-folder call, of any length;
// empty when the shell cannot name them (never a guess such as a drive root).
std::string GetDocumentsFolder();
std::string GetAppDataFolder();
std::string GetTempFolder();

// The border check's view of the file system.
class FileSystemLookup final : public IPathLookup {
public:
    static const FileSystemLookup& Instance();
    [[nodiscard]] PathKind KindOf(const std::string& path) const override;
    [[nodiscard]] std::size_t MaxComponentLength(const std::string& path) const override;
};

// The PC's logical processors over all its groups; at least 1.
int LogicalProcessorCount();

bool DirectoryExists(const std::string& path);
bool FileExists(const std::string& path);
// Creates the last level of a path only; false when it could not.
bool CreateDir(const std::string& path);
bool DeleteFileUtf8(const std::string& path);
// The file (or folder) a path reaches; nothing when there is none or it cannot be opened.
std::optional<FileId> FileIdentity(const std::string& path);
// Whether the file system takes the two paths for one name: Windows' own
// case-blind comparison, which folds every letter it knows, not only A to Z.
bool SameFileName(const std::string& a, const std::string& b);

}  // namespace kv
