// The finder's selection and walking rules over an in-memory folder tree.
#include "components/FindFile.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using kv::FoundEntry;
using kv::TFindFile;
using Paths = std::vector<std::string>;

constexpr std::uint32_t kReadOnly = 0x01, kHidden = 0x02, kSystem = 0x04, kVolume = 0x08, kDir = 0x10, kArchive = 0x20,
                        kReparse = 0x400;

// Folders keyed by their path with a trailing backslash. Patterns: "*.*" or "*.ext".
class FakeDisk {
public:
    void Add(const std::string& folder, std::vector<FoundEntry> entries) {
        entries.insert(entries.begin(), {FoundEntry{".", kDir}, FoundEntry{"..", kDir}});
        folders_[folder] = std::move(entries);
    }
    kv::DirectoryLister Lister() {
        return [this](const std::string& folder, const std::string& pattern) {
            calls.push_back(folder + pattern);
            std::vector<FoundEntry> out;
            auto it = folders_.find(folder);
            if (it == folders_.end()) return out;
            for (const FoundEntry& e : it->second) {
                if (pattern == "*.*" || e.name.ends_with(pattern.substr(1))) out.push_back(e);
            }
            return out;
        };
    }
    Paths calls;

private:
    std::map<std::string, std::vector<FoundEntry>> folders_;
};

class FindFileTest : public ::testing::Test {
protected:
    FindFileTest() : finder(nullptr, disk.Lister()) {
        finder.BeforeExecute = [this](kv::TComponent* s) { Log(s, "before"); };
        finder.AfterExecute = [this](kv::TComponent* s) { Log(s, "after"); };
        finder.OnNewPath = [this](TFindFile* s, const std::string& path, bool&) { Log(s, "path " + path); };
    }
    void Log(kv::TComponent* sender, const std::string& what) {
        EXPECT_EQ(sender, &finder);
        events.push_back(what);
    }

    FakeDisk disk;
    TFindFile finder;
    std::vector<std::string> events;
};

TEST_F(FindFileTest, EmptyDirectorySearchesNothing) {
    EXPECT_EQ(finder.Filter(), "*.*");
    EXPECT_FALSE(finder.Recurse());
    EXPECT_EQ(finder.Attributes().Mask(), 0x27u);
    finder.Execute();
    EXPECT_EQ(events, (Paths{"before", "after"}));
    EXPECT_TRUE(finder.Files().empty());
    EXPECT_TRUE(disk.calls.empty());
}

TEST_F(FindFileTest, FolderGetsExactlyOneTrailingBackslash) {
    disk.Add(R"(C:\Music\)", {{"a.mp4", kArchive}, {"b.txt", 0}, {"c.mp4", 0}});
    finder.SetFilter("*.mp4");
    finder.SetDirectory(R"(C:\Music)");
    finder.Execute();
    EXPECT_EQ(finder.Files(), (Paths{R"(C:\Music\a.mp4)", R"(C:\Music\c.mp4)"}));
    EXPECT_EQ(events, (Paths{"before", R"(path C:\Music\)", "after"}));
    EXPECT_EQ(disk.calls, Paths{R"(C:\Music\*.mp4)"});

    finder.SetDirectory(R"(C:\Music\)");
    finder.Execute();
    EXPECT_EQ(finder.Files().size(), 2u);
    EXPECT_EQ(disk.calls.back(), R"(C:\Music\*.mp4)");
}

TEST_F(FindFileTest, AttributeSelection) {
    disk.Add(R"(D:\)", {{"plain", 0},
                        {"ro", kReadOnly},
                        {"arch", kArchive},
                        {"hidden", kHidden | kArchive},
                        {"system", kSystem},
                        {"label", kVolume},
                        {"sub", kDir},
                        {"link", kDir | kReparse}});
    finder.SetDirectory(R"(D:\)");
    const Paths defaults{R"(D:\plain)", R"(D:\ro)", R"(D:\arch)", R"(D:\hidden)", R"(D:\system)"};
    finder.Execute();
    EXPECT_EQ(finder.Files(), defaults);

    // Read-only and archive select nothing.
    finder.SetAttributes({kv::ffHidden, kv::ffSystem});
    finder.Execute();
    EXPECT_EQ(finder.Files(), defaults);

    finder.SetAttributes({});
    finder.Execute();
    EXPECT_EQ(finder.Files(), (Paths{R"(D:\plain)", R"(D:\ro)", R"(D:\arch)"}));

    // Folders become entries of their parent; "." and ".." never do.
    kv::TAttrOptions withDirs = kv::kDefaultAttrOptions;
    withDirs.Include(kv::ffDirectory);
    withDirs.Exclude(kv::ffSystem);
    finder.SetAttributes(withDirs);
    finder.Execute();
    EXPECT_EQ(finder.Files(),
              (Paths{R"(D:\plain)", R"(D:\ro)", R"(D:\arch)", R"(D:\hidden)", R"(D:\sub)", R"(D:\link)"}));
}

class FindTreeTest : public FindFileTest {
protected:
    FindTreeTest() {
        disk.Add(R"(R:\)", {{"z", kDir}, {"r.mp4", 0}, {"a", kDir | kHidden}, {"loop", kDir | kReparse}});
        disk.Add(R"(R:\z\)", {{"z1", kDir | kSystem}, {"z.mp4", 0}, {"secret.mp4", kHidden}});
        disk.Add(R"(R:\a\)", {{"a.mp4", 0}});
        disk.Add(R"(R:\z\z1\)", {{"deep.mp4", 0}});
        disk.Add(R"(R:\loop\)", {{"never.mp4", 0}});
        finder.SetDirectory(R"(R:)");
        finder.SetRecurse(true);
        finder.SetFilter("*.mp4");
    }
};

TEST_F(FindTreeTest, WalksBreadthFirstIntoEveryRealFolder) {
    finder.SetAttributes({});
    finder.Execute();
    // Hidden and system folders are walked; only entries follow Attributes; links are not walked.
    EXPECT_EQ(finder.Files(), (Paths{R"(R:\r.mp4)", R"(R:\z\z.mp4)", R"(R:\a\a.mp4)", R"(R:\z\z1\deep.mp4)"}));
    // Each folder's subfolders are queued before it is announced and listed.
    EXPECT_EQ(disk.calls, (Paths{R"(R:\*.*)", R"(R:\*.mp4)", R"(R:\z\*.*)", R"(R:\z\*.mp4)", R"(R:\a\*.*)",
                                 R"(R:\a\*.mp4)", R"(R:\z\z1\*.*)", R"(R:\z\z1\*.mp4)"}));
    EXPECT_EQ(events, (Paths{"before", R"(path R:\)", R"(path R:\z\)", R"(path R:\a\)", R"(path R:\z\z1\)", "after"}));
}

TEST_F(FindTreeTest, AbortAtTheRootEndsTheSearch) {
    finder.OnNewPath = [](TFindFile*, const std::string&, bool& abort) {
        EXPECT_FALSE(abort);
        abort = true;
    };
    finder.Execute();
    EXPECT_TRUE(finder.Files().empty());
    EXPECT_EQ(events, (Paths{"before", "after"}));

    // The next search starts with a clear flag.
    finder.OnNewPath = nullptr;
    finder.Execute();
    EXPECT_EQ(finder.Files().size(), 5u);
}

TEST_F(FindTreeTest, AbortInASubfolderKeepsWhatWasFound) {
    finder.OnNewPath = [](TFindFile*, const std::string& path, bool& abort) { abort = path == R"(R:\a\)"; };
    finder.Execute();
    EXPECT_EQ(finder.Files(), (Paths{R"(R:\r.mp4)", R"(R:\z\z.mp4)", R"(R:\z\secret.mp4)"}));
    EXPECT_EQ(events.back(), "after");
}

TEST_F(FindTreeTest, HandlerExceptionLeavesExecuteAndSkipsAfterExecute) {
    finder.OnNewPath = [](TFindFile*, const std::string& path, bool&) {
        if (path == R"(R:\a\)") throw std::runtime_error("stop");
    };
    EXPECT_THROW(finder.Execute(), std::runtime_error);
    EXPECT_EQ(finder.Files().size(), 3u);
    EXPECT_EQ(events, Paths{"before"});
}

TEST_F(FindFileTest, MissingFolderIsAnnouncedAndGivesNothing) {
    finder.SetDirectory(R"(Q:\gone)");
    finder.SetRecurse(true);
    finder.Execute();
    EXPECT_EQ(events, (Paths{"before", R"(path Q:\gone\)", "after"}));
    EXPECT_TRUE(finder.Files().empty());
}

TEST_F(FindFileTest, FilesIsReplacedByACopyAndEmptiedBySearches) {
    const Paths given{"x", "y"};
    std::vector<std::string>* list = &finder.Files();
    finder.SetFiles(given);
    EXPECT_EQ(finder.Files(), given);
    EXPECT_EQ(&finder.Files(), list);
    disk.Add(R"(E:\)", {});
    finder.SetDirectory(R"(E:\)");
    finder.Execute();
    EXPECT_TRUE(finder.Files().empty());
}

}  // namespace
