// Where each MP3 goes: the output folder, its place in a tree added with its
// subfolders, or beside its source; and the source's dates when asked.
#include <gtest/gtest.h>

#include "run_fakes.h"

namespace {

using kv::Failure;
using kv::JobState;
using kv::WhenMp3Exists;
using kvtest::kComplete;
using Strings = std::vector<std::string>;

class Places : public kvtest::RunTest {
protected:
    void AddInTree(const std::string& path, const std::string& place) {
        jobs.Add(path);
        jobs.PlaceInTree(jobs.At(jobs.Count() - 1).id, place);
    }
    void ConvertAll() {
        run.Convert();
        while (CurrentRow() >= 0) End(0, kComplete);
    }
};

// Two files of one name in different subfolders never meet in one name; a
// file added alone still goes to the output folder itself.
TEST_F(Places, ATreeIsMirroredBelowTheOutputFolder) {
    AddInTree("C:\\Videos\\Trip\\Day 1\\clip.mp4", "Trip\\Day 1");
    AddInTree("C:\\Videos\\Trip\\Day 2\\clip.mp4", "Trip\\Day 2");
    AddInTree("C:\\Videos\\Trip\\clip.mp4", "Trip");
    jobs.Add("D:\\other\\clip.mp4");
    ConvertAll();
    EXPECT_EQ(platform.committed, (Strings{"C:\\Out\\Trip\\Day 1\\clip.mp3", "C:\\Out\\Trip\\Day 2\\clip.mp3",
                                           "C:\\Out\\Trip\\clip.mp3", "C:\\Out\\clip.mp3"}));
    EXPECT_EQ(platform.madeFolders, (Strings{"C:\\Out\\Trip\\Day 1", "C:\\Out\\Trip\\Day 2", "C:\\Out\\Trip"}));
}

// The same-run rule and the existing-MP3 choice hold per folder.
TEST_F(Places, NameClashesAreCountedPerFolder) {
    platform.choices.whenExists = WhenMp3Exists::KeepBoth;
    platform.existing = {"C:\\Out\\Trip\\Day 1\\clip.mp3"};
    AddInTree("C:\\Videos\\Trip\\Day 1\\clip.mp4", "Trip\\Day 1");
    AddInTree("C:\\Videos\\Trip\\Day 1\\clip.mkv", "Trip\\Day 1");
    AddInTree("C:\\Videos\\Trip\\Day 2\\clip.mp4", "Trip\\Day 2");
    ConvertAll();
    EXPECT_EQ(platform.committed, (Strings{"C:\\Out\\Trip\\Day 1\\clip (2).mp3", "C:\\Out\\Trip\\Day 1\\clip (3).mp3",
                                           "C:\\Out\\Trip\\Day 2\\clip.mp3"}));
}

TEST_F(Places, AFolderThatCannotBeMadeFailsItsRowAndTheNextGoesOn) {
    platform.refuseFolders = true;
    AddInTree("C:\\Videos\\Trip\\Day 1\\clip.mp4", "Trip\\Day 1");
    jobs.Add("C:\\Videos\\solo.mp4");
    ConvertAll();
    EXPECT_EQ(Progress(), (Strings{"Failed", "Done"}));
    EXPECT_EQ(jobs.At(0).failure, Failure::OutputFolder);
    EXPECT_EQ(platform.starts.size(), 1u) << "no transcoder for a folder that is not there";
}

// Beside: each MP3 in its source's folder, whatever tree it came from; a
// source folder that cannot be written names that folder, not the output folder.
TEST_F(Places, BesideEachSource) {
    platform.choices.beside = true;
    AddInTree("C:\\Videos\\Trip\\Day 1\\clip.mp4", "Trip\\Day 1");
    jobs.Add("D:\\clip.mp4");
    ConvertAll();
    EXPECT_EQ(platform.committed, (Strings{"C:\\Videos\\Trip\\Day 1\\clip.mp3", "D:\\clip.mp3"}));
    EXPECT_TRUE(platform.madeFolders.empty()) << "a source's folder is there";

    jobs.Add("\\\\server\\share\\read only\\talk.mp4");
    run.Convert();
    EXPECT_NE(Last()->args.find("\\\\server\\share\\read only\\talk.mp3."), std::string::npos);
    const std::string denied =
        "[mp3 @ 0x1] \\\\server\\share\\read only\\talk.mp3.t.korvello-part: Permission denied\r\n";
    Last()->log = denied;
    End(1, 0, false);
    Last()->log = denied;  // the second start fails as the first
    End(1, 0, false);
    EXPECT_EQ(jobs.At(2).failure, Failure::SourceFolder);
    EXPECT_NE(kv::FailureReason(Failure::SourceFolder).find("own folder"), std::string::npos);
}

// The dates are the source's only when asked, for every MP3 a file makes.
TEST_F(Places, TheSourcesDatesWhenAsked) {
    jobs.Add("C:\\in\\a.mp4");
    ConvertAll();
    EXPECT_TRUE(platform.datesCopied.empty());
    platform.choices.keepDates = true;
    jobs.Add("C:\\in\\b.mp4");
    ConvertAll();
    ASSERT_EQ(platform.datesCopied.size(), 1u);
    EXPECT_EQ(platform.datesCopied[0], (std::pair<std::string, std::string>{"C:\\in\\b.mp4", "C:\\Out\\b.mp3"}));
}

// What the notification of a run's end says: how its rows ended, and where to
// look when one failed.
TEST_F(Places, TheRunCountsHowItsRowsEndedForItsNotice) {
    platform.choices.whenExists = WhenMp3Exists::Skip;
    platform.existing = {"C:\\Out\\b.mp3"};
    for (const char* f : {"C:\\in\\a.mp4", "C:\\in\\b.mp4", "C:\\in\\c.mp4", "C:\\in\\d.mp4"}) jobs.Add(f);
    run.Convert();
    End(0, kComplete);  // a
    End(1, 10);         // c fails
    End(0, kComplete);  // d
    EXPECT_EQ(Progress(), (Strings{"Done", "Skipped", "Failed", "Done"}));
    EXPECT_EQ(platform.finished, 1);
    EXPECT_EQ(platform.lastCounts, (kv::RunCounts{2, 1, 1}));
    EXPECT_EQ(kv::RunEndedText(platform.lastCounts), "Done: 2, Skipped: 1, Failed: 1. Click a Failed row to see why.");
    EXPECT_EQ(kv::RunEndedText({3, 0, 0}), "Done: 3, Skipped: 0, Failed: 0.");
    // The next run counts from nought.
    jobs.Add("C:\\in\\e.mp4");
    run.Convert();
    End(0, kComplete);
    EXPECT_EQ(platform.lastCounts, (kv::RunCounts{1, 0, 0}));
}

TEST(TreePlaces, TheAddedFoldersNameAndThePathBelowIt) {
    EXPECT_EQ(kv::TreePlaceOf("C:\\Videos\\Trip", "C:\\Videos\\Trip\\Day 1\\clip.mp4"), "Trip\\Day 1");
    EXPECT_EQ(kv::TreePlaceOf("C:\\Videos\\Trip\\", "C:\\Videos\\Trip\\a\\b\\c\\clip.mp4"), "Trip\\a\\b\\c");
    EXPECT_EQ(kv::TreePlaceOf("C:\\Videos\\Trip", "C:\\Videos\\Trip\\clip.mp4"), "Trip");
    EXPECT_EQ(kv::TreePlaceOf("D:\\", "D:\\Day 1\\clip.mp4"), "Day 1") << "a drive's root has no name";
    EXPECT_EQ(kv::TreePlaceOf("C:\\Videos\\Trip", "C:\\Videos\\Trips\\clip.mp4"), "Trip") << "not below it";
    EXPECT_EQ(kv::OutputFolderFor("C:\\Out\\", "Trip\\Day 1", "C:\\V\\Trip\\Day 1\\x.mp4", false),
              "C:\\Out\\Trip\\Day 1");
    EXPECT_EQ(kv::OutputFolderFor("C:\\Out", "Trip", "C:\\V\\Trip\\x.mp4", true), "C:\\V\\Trip");
    EXPECT_EQ(kv::OutputFolderFor("C:\\Out", "", "E:\\x.mp4", true), "E:");
    EXPECT_EQ(kv::OutputPathFor(kv::OutputFolderFor("C:\\Out", "", "E:\\x.mp4", true), "E:\\x.mp4"), "E:\\x.mp3");
}

}  // namespace
