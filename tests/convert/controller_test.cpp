// The main window's decisions, through the controller against fakes: the
// folders at start, the choices, the output folder, clicks and keys on rows,
// hand-overs and the runs they start.
#include "convert/controller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "components/FindFile.h"
#include "convert/job_rules.h"
#include "run_fakes.h"
#include "support/checked.h"
#include "support/fake_reader.h"

namespace {

using kv::JobState;
using kv::StoredValue;

class FakeView : public kv::IFormView {
public:
    std::string file, folder, storedOut, usedOut;
    int choicesShown = 0, runsEnded = 0;
    void ShowFile(const std::string& p) override { file = p; }
    void ShowFolder(const std::string& f) override { folder = f; }
    void ShowOutputFolder(const std::string& stored, const std::string& used) override {
        storedOut = stored;
        usedOut = used;
    }
    void ShowChoices(const kv::ConversionChoices&) override { ++choicesShown; }
    bool notified = false;
    kv::RunCounts counts;
    void RunEnded(const kv::RunCounts& c, bool notify) override {
        ++runsEnded;
        counts = c;
        notified = notify;
    }
};

class FakeDesktop : public kv::IDesktop {
public:
    std::deque<std::optional<std::string>> files;
    std::deque<std::string> folders;
    std::vector<std::string> folderAsks, told, opened;
    std::vector<std::uint32_t> scheduled;  // the pause of each request to add what was handed over
    bool polling = false, free = true, menu = false;
    std::uint64_t now = 10000;

    std::optional<std::string> AskForFile() override { return Next(files, std::optional<std::string>{}); }
    std::string AskForFolder(const std::string& initial) override {
        folderAsks.push_back(initial);
        return Next(folders, std::string{});
    }
    void Tell(const std::string& text) override { told.push_back(text); }
    void ShellOpen(const std::string& target) override { opened.push_back(target); }
    void ScheduleHandedOver(std::uint32_t afterMs) override { scheduled.push_back(afterMs); }
    void PollAutoConvert(bool on) override { polling = on; }
    bool WindowFree() const override { return free; }
    bool closing = false;
    bool Closing() const override { return closing; }
    bool MenuOpen() const override { return menu; }
    std::uint64_t NowMs() const override { return now; }

private:
    template <class T>
    static T Next(std::deque<T>& q, T none) {
        if (q.empty()) return none;
        T a = q.front();
        q.pop_front();
        return a;
    }
};

class FakeSettings : public kv::ISettingsStore {
public:
    std::map<std::string, StoredValue, std::less<>> values;
    bool readOnly = false;
    StoredValue Read(std::string_view name) const override {
        const auto it = values.find(name);
        return it == values.end() ? StoredValue{} : it->second;
    }
    std::optional<std::string> ReadText(std::string_view name) const override {
        const StoredValue v = Read(name);
        if (v.type != StoredValue::Type::String) return std::nullopt;
        return v.text;
    }
    void WriteString(std::string_view name, const std::string& value) override {
        if (readOnly) throw kv::Error("Failed to set data for '" + std::string(name) + "'");
        values[std::string(name)] = {StoredValue::Type::String, value, 0};
    }
    void WriteDword(std::string_view name, std::uint32_t value) override {
        if (readOnly) throw kv::Error("Failed to set data for '" + std::string(name) + "'");
        values[std::string(name)] = {StoredValue::Type::Dword, {}, value};
    }
};

// Folders that exist, folders made, and the border check's view of both.
class FakeDisk : public kv::IFolderSystem {
public:
    kvtest::FakeFileSystem fs;
    std::vector<std::string> made;
    std::set<std::string> unmakeable;
    bool DirectoryExists(const std::string& p) const override { return fs.folders.count(Bare(p)) > 0; }
    bool CreateDir(const std::string& p) override {
        if (unmakeable.count(p)) return false;
        made.push_back(p);
        fs.folders.insert(Bare(p));
        return true;
    }
    const kv::IPathLookup& Lookup() const override { return fs; }
    static std::string Bare(const std::string& p) { return kv::WithoutTrailingSeparator(p); }
};

class ControllerTest : public ::testing::Test {
protected:
    FakeView view;
    FakeDesktop desktop;
    FakeSettings settings;
    FakeDisk disk;
    kvtest::FakePlatform run;
    // One minute for every file but those named unreadable.
    std::set<std::string> unreadable;
    kvtest::FakeReader reader;
    std::map<std::string, std::vector<std::string>> tree;
    kv::TFindFile finder{nullptr, [this](const std::string& folder, const std::string&) {
                             std::vector<kv::FoundEntry> out;
                             if (const auto it = tree.find(folder); it != tree.end())
                                 for (const auto& n : it->second) out.push_back({n, 0x20});
                             return out;
                         }};
    kv::TComponent owner{nullptr};
    kv::Controller c{{view, nullptr, desktop, settings, disk, run, reader, finder, &owner}};

    void SetUp() override {
        reader.answer = [this](const std::string& batch) {
            const bool answers = std::none_of(unreadable.begin(), unreadable.end(),
                                              [&](const std::string& u) { return batch.find(u) != std::string::npos; });
            return std::string(answers ? "00:01:00.000\r\n" : "");
        };
    }
    void StartAsUsual() {
        disk.fs.folders.insert("C:\\Users\\u\\Documents");
        c.Start({"C:\\Temp\\", "C:\\Users\\u\\Documents", "C:\\Users\\u\\AppData\\Roaming"});
        c.SetTools("C:\\Tools\\ffmpeg.exe", "C:\\Tools\\mediainfo.exe");
    }
    // A file the user adds with "Add MP4 File".
    void AddFile(const std::string& path) {
        disk.fs.files.insert(path);
        desktop.files.push_back(path);
        c.AddFile();
    }
    std::vector<std::string> Progress() const {
        std::vector<std::string> out;
        for (int i = 0; i < c.Jobs().Count(); ++i) out.push_back(c.Jobs().Progress(i));
        return out;
    }
    // The running transcoder ends well, its MP3 whole.
    void EndLast() {
        auto& p = *run.starts.back();
        const auto close = p.args.rfind('"');
        const auto open = p.args.rfind('"', close - 1);
        run.files[p.args.substr(open + 1, close - open - 1)] = {true, true, kvtest::kComplete};
        p.exited = true;
        c.JobExited(p.jobId);
    }
    static constexpr std::array<int, 4> kWidths{40, 153, 66, 155};  // the columns as the layout makes them
};

TEST_F(ControllerTest, StartMakesTheFoldersAndKeepsAMissingSettingAsTheDefault) {
    StartAsUsual();
    const kv::Folders& d = c.Dirs();
    EXPECT_EQ(d.TempDir, "C:\\Temp\\");
    EXPECT_EQ(d.WorkDir, "C:\\Users\\u\\Documents\\Korvello\\");
    EXPECT_EQ(d.AppDir, "C:\\Users\\u\\AppData\\Roaming\\Korvello\\");
    EXPECT_EQ(disk.made, (std::vector<std::string>{d.WorkDir, d.AppDir}));
    EXPECT_EQ(settings.Read("WorkDir").text, d.WorkDir);
    EXPECT_EQ(settings.Read("AppDir").text, d.AppDir);
    EXPECT_EQ(view.storedOut, d.WorkDir);
    EXPECT_EQ(view.usedOut, d.WorkDir);
    EXPECT_TRUE(c.LastFolder().empty());
}

TEST_F(ControllerTest, AStoredFolderIsUsedOnlyWhenItIsAUsableFolderAndStaysAsStored) {
    settings.values["WorkDir"] = {StoredValue::Type::String, "E:\\Music\\Out", 0};
    StartAsUsual();
    EXPECT_EQ(c.Dirs().WorkDir, "E:\\Music\\Out") << "made, then used";
    EXPECT_EQ(disk.made.back(), "E:\\Music\\Out");
    EXPECT_EQ(view.usedOut, "E:\\Music\\Out");

    for (const char* unusable : {"", "   ", "Music", "..\\out", "\\out", "C:\\a|b"}) {
        settings.values["WorkDir"] = {StoredValue::Type::String, unusable, 0};
        StartAsUsual();
        EXPECT_EQ(c.Dirs().WorkDir, "C:\\Users\\u\\Documents\\Korvello\\") << unusable;
        EXPECT_EQ(view.usedOut, c.Dirs().WorkDir) << unusable;
        EXPECT_EQ(view.storedOut, *unusable ? std::string(unusable) : c.Dirs().WorkDir) << unusable;
        EXPECT_EQ(settings.Read("WorkDir").text, unusable) << "the setting is left as it was";
    }
    settings.values["WorkDir"] = {StoredValue::Type::String, "F:\\gone", 0};
    disk.unmakeable.insert("F:\\gone");
    StartAsUsual();
    EXPECT_EQ(c.Dirs().WorkDir, "C:\\Users\\u\\Documents\\Korvello\\") << "a folder that cannot be made";
}

TEST_F(ControllerTest, UnwritableSettingsAndUnnamedFoldersStillStart) {
    settings.readOnly = true;
    StartAsUsual();
    EXPECT_EQ(c.Dirs().WorkDir, "C:\\Users\\u\\Documents\\Korvello\\") << "the folders are made all the same";
    EXPECT_EQ(disk.made.size(), 2u);
    EXPECT_EQ(view.usedOut, c.Dirs().WorkDir);
    EXPECT_TRUE(settings.values.empty());

    disk.made.clear();
    c.Start({"C:\\Temp\\", "", ""});
    EXPECT_TRUE(c.Dirs().WorkDir.empty()) << "never a Korvello folder at a drive's root";
    EXPECT_TRUE(c.Dirs().AppDir.empty());
    EXPECT_TRUE(disk.made.empty());
}

TEST_F(ControllerTest, ChoicesAreReadCheckedStoredAndApplied) {
    settings.values["Mp3Quality"] = {StoredValue::Type::String, "V0", 0};
    settings.values["FilesAtOnce"] = {StoredValue::Type::Dword, {}, 9};
    c.LoadChoices(4);
    EXPECT_EQ(c.Choices().quality, kv::Mp3Quality::V0);
    EXPECT_EQ(c.Choices().filesAtOnce, 1) << "more than this PC offers";
    EXPECT_EQ(c.MaxFilesAtOnce(), 4);
    EXPECT_EQ(view.choicesShown, 1);

    StartAsUsual();
    for (const char* f : {"C:\\in\\a.mp4", "C:\\in\\b.mp4", "C:\\in\\c.mp4"}) AddFile(f);
    c.Convert();
    EXPECT_EQ(run.starts.size(), 1u);
    c.Choose({kv::Mp3Quality::Kbps320, 3, kv::WhenMp3Exists::Skip});
    EXPECT_EQ(run.starts.size(), 3u) << "more at once start now";
    EXPECT_EQ(settings.Read("Mp3Quality").text, "320");
    EXPECT_EQ(settings.Read("FilesAtOnce").number, 3u);
    EXPECT_EQ(settings.Read("WhenMp3Exists").text, "skip");
    EXPECT_EQ(view.choicesShown, 2);
    EXPECT_NE(run.starts[0]->args.find("-q:a 0"), std::string::npos) << "a running job keeps its quality";
    EXPECT_NE(run.starts[2]->args.find("-ab 320k"), std::string::npos);
}

TEST_F(ControllerTest, TheOutputFolderIsAValueTheNextJobTakes) {
    StartAsUsual();
    AddFile("C:\\in\\a.mp4");
    AddFile("C:\\in\\b.mp4");
    EXPECT_EQ(view.file, "C:\\in\\b.mp4");
    desktop.folders = {"", "C:\\no such", "D:\\Out"};
    disk.fs.folders.insert("D:\\Out");
    c.ChooseOutputFolder();  // cancelled
    c.ChooseOutputFolder();  // refused by the border check
    EXPECT_EQ(c.Dirs().WorkDir, "C:\\Users\\u\\Documents\\Korvello\\");
    c.ChooseOutputFolder();
    EXPECT_EQ(c.Dirs().WorkDir, "D:\\Out");
    EXPECT_EQ(settings.Read("WorkDir").text, "D:\\Out");
    EXPECT_EQ(view.storedOut, "D:\\Out");
    EXPECT_EQ(view.usedOut, "D:\\Out");
    c.Convert();
    EXPECT_NE(run.starts.back()->args.find("D:\\Out\\a.mp3"), std::string::npos) << run.starts.back()->args;

    // While a run goes on no picker opens; a setting that cannot be written changes nothing.
    c.ChooseOutputFolder();
    EXPECT_EQ(desktop.folderAsks.size(), 3u);
    EndLast();
    EndLast();
    ASSERT_FALSE(c.Busy());
    settings.readOnly = true;
    desktop.folders = {"C:\\Users\\u\\Documents"};
    c.ChooseOutputFolder();
    EXPECT_EQ(desktop.folderAsks.size(), 4u) << "the picker opens once the run has ended";
    EXPECT_EQ(c.Dirs().WorkDir, "D:\\Out");
    EXPECT_EQ(view.usedOut, "D:\\Out");
}

// Beside each source: the output folder's box says so, the MP3 goes next to
// its source, and choosing a folder makes the folder the place again.
TEST_F(ControllerTest, BesideIsShownAndBrowsingReturnsToTheFolder) {
    StartAsUsual();
    settings.values["OutputPlace"] = {StoredValue::Type::String, "beside", 0};
    c.LoadChoices(4);
    EXPECT_TRUE(c.Choices().beside);
    EXPECT_EQ(view.usedOut, "Beside each source file");
    EXPECT_EQ(view.storedOut, "C:\\Users\\u\\Documents\\Korvello\\") << "the folder stays stored";
    AddFile("C:\\in\\a.mp4");
    c.Convert();
    EXPECT_NE(run.starts.back()->args.find("\"C:\\in\\a.mp3."), std::string::npos) << run.starts.back()->args;
    EndLast();
    desktop.folders = {"D:\\Out"};
    disk.fs.folders.insert("D:\\Out");
    c.ChooseOutputFolder();
    EXPECT_FALSE(c.Choices().beside);
    EXPECT_EQ(settings.Read("OutputPlace").text, "folder");
    EXPECT_EQ(view.usedOut, "D:\\Out");
}

TEST_F(ControllerTest, ARowClickIsDecidedByTheRowsStateAndWaitsForTheRun) {
    StartAsUsual();
    AddFile("C:\\in\\a.mp4");
    AddFile("C:\\in\\b.mp4");
    AddFile("C:\\in\\c.mp4");
    c.Convert();
    run.starts.back()->code = 1;
    run.starts.back()->exited = true;
    run.starts.back()->log = "C:\\in\\a.mp4: Invalid data found when processing input\r\n";
    c.JobExited(run.starts.back()->jobId);
    run.starts.back()->exited = true;  // its second start fails the same way
    run.starts.back()->code = 1;
    run.starts.back()->log = "C:\\in\\a.mp4: Invalid data found when processing input\r\n";
    c.JobExited(run.starts.back()->jobId);
    ASSERT_EQ(c.Jobs().At(0).state, JobState::Failed);
    ASSERT_TRUE(c.Busy()) << "b runs";

    c.ClickRow(0, 220, kWidths);  // the failed row's progress cell: why, also during the run
    ASSERT_EQ(desktop.told.size(), 1u);
    EXPECT_EQ(desktop.told[0], kv::FailureMessage("C:\\in\\a.mp4", c.Jobs().At(0).failure));
    c.ClickRow(2, 420, kWidths);  // remove a pending row: not during the run
    c.ClickRow(2, 100, kWidths);  // open its input: not during the run
    EXPECT_EQ(c.Jobs().Count(), 3);
    EXPECT_TRUE(desktop.opened.empty());

    EndLast();
    EndLast();
    ASSERT_FALSE(c.Busy());
    c.ClickRow(1, 300, kWidths);  // a done row's converted cell: the output folder
    c.ClickRow(0, 300, kWidths);  // a failed row's: nothing
    c.ClickRow(1, 100, kWidths);
    EXPECT_EQ(desktop.opened, (std::vector<std::string>{"C:\\Users\\u\\Documents\\Korvello\\", "C:\\in\\b.mp4"}));
    AddFile("C:\\in\\d.mp4");
    c.ClickRow(3, 420, kWidths);
    EXPECT_EQ(c.Jobs().Count(), 3) << "a pending row goes with a click beyond the last column";
    c.ClickRow(1, 420, kWidths);
    c.ClickRow(7, 420, kWidths);
    c.ClickRow(-1, 420, kWidths);
    EXPECT_EQ(c.Jobs().Count(), 3) << "a done row, or none, stays";
}

TEST_F(ControllerTest, TheDeleteKeyRemovesAnyRowAtAnyTime) {
    StartAsUsual();
    AddFile("C:\\in\\a.mp4");
    AddFile("C:\\in\\b.mp4");
    c.Convert();
    const auto first = run.starts.back();
    c.RemoveRow(-1);
    c.RemoveRow(2);
    EXPECT_EQ(c.Jobs().Count(), 2);
    c.RemoveRow(0);  // the running row: its transcoder ends at the next tick
    EXPECT_EQ(c.Jobs().Count(), 1);
    run.ports.back()->Fire();
    EXPECT_TRUE(first->terminated);
    EXPECT_EQ(c.Jobs().At(0).state, JobState::Running);
}

TEST_F(ControllerTest, AddCommandsWaitForTheRunAndUnreadableFilesAreNamed) {
    StartAsUsual();
    unreadable.insert("C:\\in\\broken.mp4");
    AddFile("C:\\in\\broken.mp4");
    EXPECT_EQ(c.Jobs().Count(), 0);
    ASSERT_EQ(desktop.told.size(), 1u);
    EXPECT_EQ(desktop.told[0], kv::kBadFileMessage);
    AddFile("C:\\in\\a.mp4");
    EXPECT_EQ(c.Jobs().At(0).duration, 61);
    c.Convert();
    desktop.files.push_back("C:\\in\\a.mp4");
    c.AddFile();
    c.AddFolder();
    EXPECT_EQ(desktop.files.size(), 1u) << "no dialog while a run goes on";
    EXPECT_TRUE(desktop.folderAsks.empty());

    // Handed over during the run: kept until its end.
    disk.fs.files.insert("C:\\in\\later.mp4");
    EXPECT_TRUE(c.HandOver({"C:\\in\\later.mp4"}, false));
    c.AddHandedOver();
    EXPECT_EQ(c.Jobs().Count(), 1);

    // A run's end: the taskbar is told, and what was handed over meanwhile is added.
    EndLast();
    EXPECT_EQ(view.runsEnded, 1);
    EXPECT_EQ(view.counts, (kv::RunCounts{1, 0, 0}));
    EXPECT_TRUE(view.notified) << "notified unless the user chose otherwise";
    EXPECT_EQ(desktop.scheduled.back(), 0u);
    c.AddHandedOver();
    ASSERT_EQ(c.Jobs().Count(), 2);
    EXPECT_EQ(c.Jobs().At(1).input.Text(), "C:\\in\\later.mp4");
}

TEST_F(ControllerTest, HandOversWaitForAFreeWindowAndAConvertRequestRunsItsOwnRows) {
    StartAsUsual();
    AddFile("C:\\in\\mine.mp4");  // the user's own row waits for the convert button
    disk.fs.files.insert("C:\\in\\x.mp4");
    disk.fs.files.insert("C:\\in\\y.mp4");
    EXPECT_TRUE(c.HandOver({"C:\\in\\x.mp4"}, true));
    EXPECT_TRUE(desktop.polling);
    desktop.now += 500;
    EXPECT_TRUE(c.HandOver({"C:\\in\\y.mp4"}, true));
    desktop.free = false;  // a message box is open
    c.AddHandedOver();
    EXPECT_EQ(c.Jobs().Count(), 1);
    EXPECT_EQ(desktop.scheduled, (std::vector<std::uint32_t>{0, 0, 250})) << "asked again after a pause";
    desktop.free = true;
    c.AddHandedOver();
    ASSERT_EQ(c.Jobs().Count(), 3);

    desktop.now += kv::AutoConvert::kSettleMs - 1;
    c.AutoConvertTick();
    EXPECT_TRUE(run.starts.empty()) << "the hand-overs have not paused long enough";
    desktop.now += 1;
    desktop.menu = true;
    c.AutoConvertTick();
    EXPECT_TRUE(run.starts.empty()) << "an open menu comes first";
    desktop.menu = false;
    c.AutoConvertTick();
    EXPECT_FALSE(desktop.polling);
    ASSERT_EQ(run.starts.size(), 1u) << "the request's run never started";
    EndLast();
    EndLast();
    EXPECT_EQ(Progress(), (std::vector<std::string>{"Pending", "Done", "Done"}));
    EXPECT_EQ(run.starts.size(), 2u);
}

// A closing window adds nothing more and asks for no more tries.
TEST_F(ControllerTest, AClosingWindowTakesNoMoreHandOvers) {
    StartAsUsual();
    disk.fs.files.insert("C:\\in\\x.mp4");
    EXPECT_TRUE(c.HandOver({"C:\\in\\x.mp4"}, true));
    const std::size_t asked = desktop.scheduled.size();
    desktop.closing = true;
    c.AddHandedOver();
    desktop.now += kv::AutoConvert::kSettleMs;
    c.AutoConvertTick();
    EXPECT_EQ(c.Jobs().Count(), 0);
    EXPECT_EQ(desktop.scheduled.size(), asked);
    EXPECT_TRUE(run.starts.empty());
}

TEST_F(ControllerTest, AHandOverPastTheBoundIsRefusedWhole) {
    StartAsUsual();
    std::vector<std::string> many(kv::kMaxHandOverEntries, "C:\\in\\x.mp4");
    EXPECT_TRUE(c.HandOver(many, false));
    EXPECT_FALSE(c.HandOver({"C:\\in\\y.mp4"}, true));
    EXPECT_FALSE(desktop.polling) << "a refused hand-over makes no run";
    EXPECT_TRUE(c.HandOver({}, true));
}

TEST_F(ControllerTest, ClosingEndsTheRunningJobAndNothingStartsAfter) {
    StartAsUsual();
    AddFile("C:\\in\\a.mp4");
    AddFile("C:\\in\\b.mp4");
    c.Convert();
    const auto first = run.starts.back();
    c.Close();
    EXPECT_TRUE(first->terminated);
    EXPECT_EQ(run.discarded.size(), 1u);
    EXPECT_TRUE(c.Busy()) << "a closing window starts nothing";
    c.Convert();
    EXPECT_EQ(run.starts.size(), 1u);
}

}  // namespace
