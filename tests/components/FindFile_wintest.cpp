// The finder on real folders made under the temporary folder.
#include "components/FindFile.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "win/handle.h"
#include "win/text.h"

namespace {

using kv::TFindFile;
using kv::win::Narrow;
using kv::win::Widen;
using Paths = std::vector<std::string>;

// Every call goes through the \\?\ form, so the tree may be deeper than MAX_PATH.
std::wstring Ext(const std::wstring& path) { return LR"(\\?\)" + path; }

void RemoveTree(const std::wstring& dir) {
    WIN32_FIND_DATAW fd;
    kv::win::UniqueFind find(::FindFirstFileW(Ext(dir + L"\\*").c_str(), &fd));
    if (find) {
        do {
            const std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = dir + L"\\" + name;
            ::SetFileAttributesW(Ext(path).c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                ::DeleteFileW(Ext(path).c_str());
        } while (::FindNextFileW(find.Get(), &fd));
    }
    find.Reset();
    ::RemoveDirectoryW(Ext(dir).c_str());
}

class TempTree {
public:
    TempTree() {
        wchar_t temp[MAX_PATH + 1];
        ::GetTempPathW(MAX_PATH + 1, temp);
        static int serial = 0;
        root_ = std::wstring(temp) + L"kv find " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                std::to_wstring(++serial);
        EXPECT_TRUE(::CreateDirectoryW(Ext(root_).c_str(), nullptr));
    }
    ~TempTree() { RemoveTree(root_); }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Root without a trailing backslash, UTF-8.
    [[nodiscard]] std::string Root() const { return Narrow(root_); }
    std::string Dir(const std::string& rel, DWORD attributes = 0) {
        const std::wstring path = root_ + L"\\" + Widen(rel);
        EXPECT_TRUE(::CreateDirectoryW(Ext(path).c_str(), nullptr)) << rel;
        if (attributes) ::SetFileAttributesW(Ext(path).c_str(), attributes);
        return Root() + "\\" + rel;
    }
    std::string File(const std::string& rel, DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
        const std::wstring path = root_ + L"\\" + Widen(rel);
        kv::win::UniqueFile f(
            ::CreateFileW(Ext(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, attributes, nullptr));
        EXPECT_TRUE(f.Valid()) << rel;
        return Root() + "\\" + rel;
    }

private:
    std::wstring root_;
};

Paths Sorted(Paths p) {
    std::sort(p.begin(), p.end());
    return p;
}

TEST(FindFileWin, WalksNestedFoldersWithAnyNamesBreadthFirst) {
    TempTree tree;
    const std::string top = tree.File("a b.mp4");
    tree.File("notes.txt");
    tree.Dir("Sub One");
    tree.Dir("Sub One\\深い 森");
    tree.Dir("zeta");
    const std::string mid1 = tree.File("Sub One\\Пісня 1.mp4");
    const std::string mid2 = tree.File("zeta\\Ç.MP4");
    const std::string deep = tree.File("Sub One\\深い 森\\曲 2.mp4");

    TFindFile finder(nullptr);
    Paths announced;
    finder.OnNewPath = [&](TFindFile*, const std::string& path, bool&) { announced.push_back(path); };
    finder.SetDirectory(tree.Root());
    finder.SetFilter("*.mp4");
    finder.SetRecurse(true);
    finder.Execute();

    const Paths& files = finder.Files();
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0], top);
    EXPECT_EQ(Sorted({files[1], files[2]}), Sorted({mid1, mid2}));
    EXPECT_EQ(files[3], deep);
    ASSERT_EQ(announced.size(), 4u);
    EXPECT_EQ(announced.front(), tree.Root() + "\\");
    EXPECT_EQ(announced.back(), tree.Root() + "\\Sub One\\深い 森\\");
}

TEST(FindFileWin, AttributesSelectFilesButNeverHideFoldersFromTheWalk) {
    TempTree tree;
    const std::string plain = tree.File("plain.mp4");
    const std::string readOnly = tree.File("ro.mp4", FILE_ATTRIBUTE_READONLY);
    const std::string hidden = tree.File("hidden.mp4", FILE_ATTRIBUTE_HIDDEN);
    const std::string sub = tree.Dir("cache", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    const std::string inner = tree.File("cache\\inner.mp4");

    TFindFile finder(nullptr);
    finder.SetDirectory(tree.Root());
    finder.Execute();
    EXPECT_EQ(Sorted(finder.Files()), Sorted({plain, readOnly, hidden}));

    finder.SetAttributes({kv::ffReadOnly, kv::ffArchive});
    finder.SetRecurse(true);
    finder.Execute();
    EXPECT_EQ(Sorted(finder.Files()), Sorted({plain, readOnly, inner}));

    finder.SetAttributes({kv::ffDirectory, kv::ffHidden, kv::ffSystem});
    finder.SetRecurse(false);
    finder.SetFilter("c*");
    finder.Execute();
    EXPECT_EQ(finder.Files(), Paths{sub});
}

TEST(FindFileWin, PatternsMatchLongNamesWithoutRegardToCase) {
    TempTree tree;
    const std::string clip = tree.File("Clip.Mp4");
    tree.File("clip.mp4x");  // its 8.3 name ends in .MP4
    tree.File("clip.mp4.txt");
    const std::string bare = tree.File("README");
    const std::string blanks = tree.File("a b c.mp4");

    TFindFile finder(nullptr);
    finder.SetDirectory(tree.Root() + "\\");
    finder.SetFilter("*.MP4");
    finder.Execute();
    EXPECT_EQ(Sorted(finder.Files()), Sorted({clip, blanks}));

    finder.SetFilter("a b*.mp4");
    finder.Execute();
    EXPECT_EQ(finder.Files(), Paths{blanks});

    finder.SetFilter("*.*");
    finder.Execute();
    EXPECT_EQ(finder.Files().size(), 5u);
    EXPECT_NE(std::find(finder.Files().begin(), finder.Files().end(), bare), finder.Files().end());
}

TEST(FindFileWin, HandlerStopsTheSearch) {
    TempTree tree;
    tree.File("root.mp4");
    tree.Dir("one");
    tree.File("one\\x.mp4");
    tree.Dir("one\\two");
    tree.File("one\\two\\y.mp4");

    TFindFile finder(nullptr);
    bool after = false;
    finder.AfterExecute = [&](kv::TComponent*) { after = true; };
    finder.OnNewPath = [](TFindFile*, const std::string& path, bool& abort) { abort = path.ends_with("\\one\\"); };
    finder.SetDirectory(tree.Root());
    finder.SetRecurse(true);
    finder.Execute();
    EXPECT_EQ(finder.Files(), Paths{tree.Root() + "\\root.mp4"});
    EXPECT_TRUE(after);
}

TEST(FindFileWin, FindsBeyondTheClassicPathLimit) {
    TempTree tree;
    std::string rel = "deep";
    tree.Dir(rel);
    for (int i = 0; i < 12; ++i) {
        rel += "\\folder number " + std::to_string(i) + " with a long name";
        tree.Dir(rel);
    }
    const std::string file = tree.File(rel + "\\end of the line.mp4");
    ASSERT_GT(file.size(), 400u);

    TFindFile finder(nullptr);
    finder.SetDirectory(tree.Root());
    finder.SetRecurse(true);
    finder.Execute();
    EXPECT_EQ(finder.Files(), Paths{file});

    finder.SetDirectory(tree.Root() + "\\" + rel);
    finder.SetRecurse(false);
    finder.Execute();
    EXPECT_EQ(finder.Files(), Paths{file});
}

TEST(FindFileWin, MissingFolderGivesNothing) {
    TempTree tree;
    TFindFile finder(nullptr);
    int announced = 0;
    finder.OnNewPath = [&](TFindFile*, const std::string&, bool&) { ++announced; };
    finder.SetDirectory(tree.Root() + "\\absent");
    finder.SetRecurse(true);
    finder.Execute();
    EXPECT_TRUE(finder.Files().empty());
    EXPECT_EQ(announced, 1);
}

}  // namespace
