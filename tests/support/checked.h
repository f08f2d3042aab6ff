#pragma once
// Checked paths for tests of the code behind the border check: a file system
// that holds exactly the files and folders a test names.
#include <set>
#include <string>
#include <vector>

#include "app/checked_path.h"

namespace kvtest {

class FakeFileSystem final : public kv::IPathLookup {
public:
    std::set<std::string> files, folders;
    std::size_t maxComponent = 255;
    kv::PathKind KindOf(const std::string& p) const override {
        if (folders.count(p)) return kv::PathKind::Folder;
        return files.count(p) ? kv::PathKind::File : kv::PathKind::Missing;
    }
    std::size_t MaxComponentLength(const std::string&) const override { return maxComponent; }
};

// A path the check passes, as a file (or a folder); fails the test's
// assertion inside the value() when the path is no valid one.
inline kv::CheckedPath Checked(const std::string& path, kv::PathKind kind = kv::PathKind::File) {
    FakeFileSystem fs;
    (kind == kv::PathKind::Folder ? fs.folders : fs.files).insert(kv::WithoutTrailingSeparator(path));
    return kv::CheckPath(path, fs).value();
}

inline std::vector<kv::CheckedPath> CheckedFiles(const std::vector<std::string>& paths) {
    std::vector<kv::CheckedPath> out;
    for (const auto& p : paths) out.push_back(Checked(p));
    return out;
}

}  // namespace kvtest
