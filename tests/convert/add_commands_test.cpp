// The add commands against fakes: a window that answers its dialogs from a
// script, a probe that knows which files are readable, and a folder lister.
#include "convert/add_commands.h"

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/handover.h"
#include "components/FindFile.h"
#include "convert/duration_probe.h"
#include "convert/job_rules.h"
#include "support/checked.h"
#include "win/error.h"

namespace {

class FakeHost : public kv::IAddHost {
public:
    bool busy = false;
    std::deque<std::optional<std::string>> fileAnswers;
    std::deque<std::string> folderAnswers;
    std::vector<std::string> folderAsks;  // the initial folder of each picker shown
    int fileAsks = 0;
    std::vector<std::string> told;
    std::string shownFile, shownFolder;
    kvtest::FakeFileSystem fs;

    bool Busy() const override { return busy; }
    std::optional<std::string> AskForFile() override {
        ++fileAsks;
        if (duringAsk) std::exchange(duringAsk, nullptr)();
        if (fileAnswers.empty()) return std::nullopt;
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    std::string AskForFolder(const std::string& initial) override {
        folderAsks.push_back(initial);
        if (folderAnswers.empty()) return {};
        auto a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    void Tell(const std::string& text) override { told.push_back(text); }
    void ShowFile(const std::string& path) override { shownFile = path; }
    void ShowFolder(const std::string& folder) override { shownFolder = folder; }
    std::optional<kv::CheckedPath> Check(const std::string& raw) const override { return kv::CheckPath(raw, fs); }
    int scheduled = 0;
    std::function<void()> duringAsk;  // runs inside the next dialog, as a sent message would
    void ScheduleHandedOver() override { ++scheduled; }
    std::vector<std::pair<std::uint64_t, std::int64_t>> rowsOfRequests;
    void RowAdded(std::uint64_t request, std::int64_t jobId) override { rowsOfRequests.emplace_back(request, jobId); }
};

// Readable files answer with their duration; every other path gives no answer.
class FakeProbe : public kv::IProbe {
public:
    std::map<std::string, std::string> durations;
    std::set<std::string> raising;  // no answer file at all
    std::vector<std::string> asked;

    std::optional<std::string> Answer(const kv::CheckedPath& checked) override {
        const std::string& path = checked.Text();
        asked.push_back(path);
        if (raising.count(path)) throw kv::Error("Cannot open file \"C:\\Temp\\duration_time.txt\".");
        auto it = durations.find(path);
        if (it == durations.end()) return std::nullopt;
        return it->second;
    }
};

struct Row {
    std::string path, name;
    int duration;
    bool operator==(const Row&) const = default;
};

class FakeSink : public kv::IJobSink {
public:
    std::vector<Row> rows;
    std::int64_t Append(const kv::CheckedPath& path, const std::string& name, int duration) override {
        rows.push_back({path.Text(), name, duration});
        return static_cast<std::int64_t>(rows.size());
    }
};

void PrintTo(const Row& r, std::ostream* os) { *os << r.path << " | " << r.name << " | " << r.duration; }

class Add : public ::testing::Test {
protected:
    FakeHost host;
    FakeProbe probe;
    FakeSink jobs;
    // Folders and their entries, in the order the platform lists them.
    std::map<std::string, std::vector<std::string>> tree;
    kv::TFindFile finder{nullptr, [this](const std::string& folder, const std::string&) {
                             std::vector<kv::FoundEntry> out;
                             auto it = tree.find(folder);
                             if (it != tree.end())
                                 for (const auto& n : it->second) {
                                     out.push_back({n, 0x20});
                                     host.fs.files.insert(folder + n);  // what is listed exists
                                 }
                             return out;
                         }};
    kv::HandOverQueue kept;
    kv::AddCommands add{host, probe, jobs, finder, kept};

    void Readable(const std::string& path, const std::string& time = "00:00:04.200") {
        probe.durations[path] = time;
        host.fs.files.insert(path);
    }
    void Folder(const std::string& path) { host.fs.folders.insert(path); }
    // Paths that exist: folders as folders, the rest as files.
    std::vector<std::string> Known(const std::vector<std::string>& paths) {
        for (const auto& p : paths)
            if (!host.fs.folders.count(p)) host.fs.files.insert(p);
        return paths;
    }
};

TEST_F(Add, AFileBecomesAPendingRowWithItsNameAndDuration) {
    Readable("C:\\in\\Talk one.mp4", "00:01:30.999");
    host.fileAnswers = {std::string("C:\\in\\Talk one.mp4")};
    add.AddFileCommand();
    EXPECT_EQ(jobs.rows, (std::vector<Row>{{"C:\\in\\Talk one.mp4", "Talk one", 91}}));
    EXPECT_EQ(host.shownFile, "C:\\in\\Talk one.mp4");
    EXPECT_TRUE(host.told.empty());
}

// A name typed into the file dialog may be of any type: only MP4 files are
// taken, as "Add Folder" takes them (an MP3 typed there could be the output itself).
TEST_F(Add, TheFileDialogTakesMp4FilesOnly) {
    Readable("C:\\Out\\song.mp3");
    Readable("C:\\in\\clip.MP4");
    host.fileAnswers = {std::string("C:\\Out\\song.mp3"), std::string("C:\\in\\clip.MP4")};
    add.AddFileCommand();
    add.AddFileCommand();
    EXPECT_EQ(jobs.rows, (std::vector<Row>{{"C:\\in\\clip.MP4", "clip", 5}}));
    EXPECT_EQ(host.told, std::vector<std::string>{std::string(kv::kBadFileMessage)});
    EXPECT_EQ(probe.asked, std::vector<std::string>{"C:\\in\\clip.MP4"}) << "the MP3 is never probed";
}

TEST_F(Add, AnUnreadableFileIsRefusedWithTheBadHeaderMessage) {
    host.fileAnswers = {std::string("C:\\in\\broken.mp4")};
    add.AddFileCommand();
    EXPECT_TRUE(jobs.rows.empty());
    EXPECT_EQ(host.told, std::vector<std::string>{std::string(kv::kBadFileMessage)});
    EXPECT_EQ(host.shownFile, "") << "only an added file is shown";
}

TEST_F(Add, NothingIsAskedOrAddedWhileBusyOrWhenTheDialogIsCancelled) {
    host.busy = true;
    add.AddFileCommand();
    add.AddFolderCommand();
    EXPECT_TRUE(add.AddDropped(Known({"C:\\in\\a.mp4"})));
    EXPECT_EQ(host.fileAsks, 0);
    EXPECT_TRUE(host.folderAsks.empty());
    EXPECT_TRUE(probe.asked.empty());
    EXPECT_EQ(add.HandedOverCount(), 1u) << "a drop during a run is kept for its end";

    host.busy = false;
    add.AddFileCommand();    // cancelled
    add.AddFolderCommand();  // cancelled
    EXPECT_EQ(host.fileAsks, 1);
    EXPECT_EQ(host.folderAsks.size(), 1u);
    EXPECT_TRUE(probe.asked.empty());
    EXPECT_EQ(add.LastFolder(), "");
}

TEST_F(Add, AFolderAddsItsFilesInListingOrderAndStopsAtTheFirstUnreadable) {
    tree["C:\\clips\\"] = {"b.mp4", "a.mp4", "c bad.mp4", "d.mp4"};
    for (const char* n : {"b.mp4", "a.mp4", "d.mp4"}) Readable(std::string("C:\\clips\\") + n);
    Folder("C:\\clips");
    host.folderAnswers = {"C:\\clips"};
    add.AddFolderCommand();
    EXPECT_EQ(jobs.rows, (std::vector<Row>{{"C:\\clips\\b.mp4", "b", 5}, {"C:\\clips\\a.mp4", "a", 5}}));
    EXPECT_EQ(host.told, std::vector<std::string>{kv::BadFolderFileMessage("c bad.mp4")});
    EXPECT_EQ(probe.asked.size(), 3u) << "no file after the unreadable one is probed";
    EXPECT_EQ(host.shownFolder, "C:\\clips");
    EXPECT_EQ(add.LastFolder(), "C:\\clips");
}

TEST_F(Add, EachFolderPickerStartsAtTheFolderLastAdded) {
    tree["C:\\one\\"] = {"x.mp4"};
    tree["C:\\two\\"] = {"y.mp4"};
    Readable("C:\\one\\x.mp4");
    Readable("C:\\two\\y.mp4");
    Folder("C:\\one");
    Folder("C:\\two");
    add.SetLastFolder("C:\\start");
    host.folderAnswers = {"C:\\one", "C:\\two"};
    add.AddFolderCommand();
    add.AddFolderCommand();
    EXPECT_EQ(host.folderAsks, (std::vector<std::string>{"C:\\start", "C:\\one"}));
    // The second folder's rows hold only its own files: the finder's earlier results are gone.
    ASSERT_EQ(jobs.rows.size(), 2u);
    EXPECT_EQ(jobs.rows[1].path, "C:\\two\\y.mp4");
}

// Each dropped path becomes rows or is named, with its reason, in one message.
TEST_F(Add, DroppedPathsKeepTheirOrderAndEachBecomesARowOrIsNamed) {
    Folder("C:\\drop");
    tree["C:\\drop\\"] = {"in folder.mp4"};
    Readable("C:\\drop\\in folder.mp4");
    Readable("C:\\a.MP4");
    Readable("C:\\z.mp4");
    add.AddDropped(Known({"C:\\a.MP4", "C:\\notes.txt", "C:\\drop", "C:\\bad.mp4", "C:\\z.mp4"}));
    add.AddDropped({"C:\\gone.mp4"});
    EXPECT_EQ(
        jobs.rows,
        (std::vector<Row>{{"C:\\a.MP4", "a", 5}, {"C:\\drop\\in folder.mp4", "in folder", 5}, {"C:\\z.mp4", "z", 5}}));
    EXPECT_EQ(probe.asked,
              (std::vector<std::string>{"C:\\a.MP4", "C:\\drop\\in folder.mp4", "C:\\bad.mp4", "C:\\z.mp4"}));
    ASSERT_EQ(host.told.size(), 2u) << "one message a drop";
    EXPECT_TRUE(host.told[0].starts_with(
        "These files were not added:\n\n\"notes.txt\": it is not a video or audio file Korvello takes.\n\n"
        "\"bad.mp4\": "))
        << host.told[0];
    EXPECT_EQ(host.told[1].find("This file was not added:\n\n\"gone.mp4\": it cannot be found"), 0u) << host.told[1];
    EXPECT_EQ(add.LastFolder(), "C:\\drop");
}

// A dropped folder stops at its first unreadable file, as "Add Folder" does;
// the drop goes on with what follows it.
// However many, every file is named once, grouped by its reason.
TEST(NotAdded, EveryFileIsNamedOnceUnderItsReason) {
    std::vector<kv::NotAdded> files;
    for (int i = 0; i < 40; ++i)
        files.push_back({"C:\\in\\f" + std::to_string(i) + (i % 2 ? ".txt" : ".mp4"), i % 2 ? "no" : "bad"});
    const std::string text = kv::NotAddedText(files);
    for (const auto& f : files) {
        const std::string quoted = "\"" + f.path.substr(6) + "\"";
        EXPECT_NE(text.find(quoted), std::string::npos) << quoted;
        EXPECT_EQ(text.find(quoted), text.rfind(quoted)) << quoted;
    }
    EXPECT_TRUE(text.starts_with("These files were not added:\n\n\"f0.mp4\", \"f2.mp4\"")) << text;
    EXPECT_TRUE(text.ends_with("\"f39.txt\": no")) << text;
}

TEST_F(Add, AnUnreadableFileInADroppedFolderStopsThatFolderAlone) {
    Folder("C:\\f");
    tree["C:\\f\\"] = {"bad.mp4", "later.mp4"};
    Readable("C:\\f\\later.mp4");
    Readable("C:\\after.mp4");
    add.AddDropped(Known({"C:\\f", "C:\\after.mp4"}));
    EXPECT_EQ(jobs.rows, (std::vector<Row>{{"C:\\after.mp4", "after", 5}}));
    ASSERT_EQ(host.told.size(), 1u);
    EXPECT_NE(host.told[0].find(kv::BadFolderFileMessage("bad.mp4")), std::string::npos) << host.told[0];
}

TEST_F(Add, AProbeErrorLeavesTheCommandWithoutARow) {
    probe.raising = {"C:\\gone.mp4"};
    host.fs.files.insert("C:\\gone.mp4");
    host.fileAnswers = {std::string("C:\\gone.mp4")};
    EXPECT_THROW(add.AddFileCommand(), kv::Error);
    EXPECT_TRUE(jobs.rows.empty());
    EXPECT_TRUE(host.told.empty()) << "the window's error handler reports it, not the bad-file message";
}

// Paths from the command line or a second copy: kept, then added as dropped
// ones once the window asks, never while a run or another command goes on.
TEST_F(Add, HandedOverPathsAreAddedAsDroppedOnesOnlyWhenScheduled) {
    Folder("D:\\Clips");
    tree["D:\\Clips\\"] = {"one.mp4", "two.mp4"};
    for (const char* p : {"C:\\a.mp4", "D:\\Clips\\one.mp4", "D:\\Clips\\two.mp4"}) Readable(p);
    add.HandOver(Known({"C:\\a.mp4", "C:\\readme.txt", "D:\\Clips"}));
    EXPECT_EQ(host.scheduled, 1);
    EXPECT_TRUE(probe.asked.empty()) << "handing over must not add inside the sender's message";
    EXPECT_EQ(add.HandedOverCount(), 3u);
    add.AddHandedOver();
    EXPECT_EQ(
        jobs.rows,
        (std::vector<Row>{{"C:\\a.mp4", "a", 5}, {"D:\\Clips\\one.mp4", "one", 5}, {"D:\\Clips\\two.mp4", "two", 5}}));
    EXPECT_EQ(add.HandedOverCount(), 0u);
    add.AddHandedOver();
    EXPECT_EQ(jobs.rows.size(), 3u) << "what was added is not added twice";
    EXPECT_EQ(host.scheduled, 1);
}

TEST_F(Add, HandedOverPathsWaitForTheRunAndKeepTheirOrder) {
    Readable("C:\\first.mp4");
    Readable("C:\\second.mp4");
    host.busy = true;
    add.HandOver(Known({"C:\\first.mp4"}));
    add.AddHandedOver();
    add.HandOver(Known({"C:\\second.mp4"}));
    add.AddHandedOver();
    EXPECT_TRUE(probe.asked.empty());
    EXPECT_EQ(add.HandedOverCount(), 2u);
    host.busy = false;  // the run ended; the window schedules once more
    add.AddHandedOver();
    EXPECT_EQ(jobs.rows, (std::vector<Row>{{"C:\\first.mp4", "first", 5}, {"C:\\second.mp4", "second", 5}}));
}

TEST_F(Add, PathsHandedOverDuringACommandWaitForItsEnd) {
    Readable("C:\\picked.mp4");
    Readable("C:\\sent.mp4");
    host.fileAnswers = {std::string("C:\\picked.mp4")};
    // A second copy hands a file over while the file dialog is open, and the
    // scheduled adding comes round inside the dialog's own message loop.
    host.duringAsk = [this] {
        add.HandOver(Known({"C:\\sent.mp4"}));
        add.AddHandedOver();
    };
    add.AddFileCommand();
    EXPECT_EQ(jobs.rows, (std::vector<Row>{{"C:\\picked.mp4", "picked", 5}}));
    EXPECT_EQ(host.scheduled, 1) << "the end of the command schedules what was kept";
    add.AddHandedOver();
    EXPECT_EQ(jobs.rows.size(), 2u);
    EXPECT_EQ(jobs.rows[1].path, "C:\\sent.mp4");
}

// Four files handed over while a run goes, the second unreadable and the
// third gone by the time they are added: two rows, and one message naming the two.
TEST_F(Add, AnUnreadableHandedOverFileCostsNoOtherAndIsNamed) {
    for (const char* p : {"C:\\one.mp4", "C:\\three.mp4", "C:\\four.mp4"}) Readable(p);
    host.busy = true;
    add.HandOver(Known({"C:\\one.mp4", "C:\\bad.mp4", "C:\\three.mp4", "C:\\four.mp4"}), 3);
    host.fs.files.erase("C:\\three.mp4");
    probe.raising = {"C:\\four.mp4"};
    host.busy = false;
    add.AddHandedOver();
    EXPECT_EQ(jobs.rows, (std::vector<Row>{{"C:\\one.mp4", "one", 5}}));
    ASSERT_EQ(host.told.size(), 1u);
    for (const char* name :
         {"\"bad.mp4\": it has no readable length", "\"three.mp4\": it cannot be found", "\"four.mp4\": Cannot open"})
        EXPECT_NE(host.told[0].find(name), std::string::npos) << name << " in " << host.told[0];
    EXPECT_EQ(host.rowsOfRequests, (std::vector<std::pair<std::uint64_t, std::int64_t>>{{3, 1}}));
    EXPECT_EQ(add.HandedOverCount(), 0u) << "nothing is offered again";
}

// What the file dialog, a folder listing or a hand-over gives passes the
// border check; what fails it never reaches the probe.
TEST_F(Add, PathsTheBorderCheckRefusesNeverReachTheProbe) {
    host.fileAnswers = {std::string("C:\\in\\gone.mp4"), std::string("in\\relative.mp4")};
    add.AddFileCommand();
    add.AddFileCommand();
    EXPECT_TRUE(probe.asked.empty());
    EXPECT_EQ(host.told.size(), 2u) << "a chosen file that cannot be used is refused as a bad one";

    Folder("C:\\odd");
    tree["C:\\odd\\"] = {"CON.mp4", "trailing.mp4 ", "fine.mp4"};
    Readable("C:\\odd\\fine.mp4");
    host.folderAnswers = {"C:\\odd"};
    add.AddFolderCommand();
    EXPECT_EQ(probe.asked, std::vector<std::string>{"C:\\odd\\fine.mp4"}) << "names no file can have are skipped";
    EXPECT_EQ(jobs.rows.size(), 1u);
}

TEST_F(Add, TheQueueOfKeptPathsHasABound) {
    host.busy = true;
    std::vector<std::string> many;
    for (std::size_t i = 0; i < kv::kMaxHandOverEntries; ++i) many.push_back("C:\\m\\" + std::to_string(i) + ".mp4");
    EXPECT_TRUE(add.HandOver(Known(many)));
    EXPECT_FALSE(add.HandOver(Known({"C:\\one more.mp4"}))) << "past the bound a hand-over is refused whole";
    EXPECT_FALSE(add.AddDropped(Known({"C:\\dropped.mp4"})));
    EXPECT_EQ(add.HandedOverCount(), kv::kMaxHandOverEntries);
}

}  // namespace
