// The probe pool against fake slots on real threads: answers taken in the
// files' order however the probes finish, never more probes at once than
// slots, the stop at the first file `take` refuses, the user's stop, and a
// probe's failure raised on the waiting thread. Then the add commands with a
// pool: a folder tree with other files in it, and the stop of a drop.
#include "convert/probe_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/handover.h"
#include "components/FindFile.h"
#include "convert/add_commands.h"
#include "convert/duration_probe.h"
#include "support/checked.h"
#include "win/error.h"

namespace {

using namespace std::chrono_literals;

// Shared by the slots' probes: answers by file name, each after a delay that
// makes later files finish first; "hang" files wait until EndRunning.
struct Script {
    std::map<std::string, std::string> answers;  // name -> answer; missing: no answer
    std::map<std::string, int> delayMs;
    std::atomic<int> running{0}, most{0}, started{0};
    std::mutex m;
    std::condition_variable ended;
    bool endRunning = false;
};

class ScriptedProbe : public kv::IProbe {
public:
    explicit ScriptedProbe(Script& s) : s_(s) {}
    std::optional<std::string> Answer(const kv::CheckedPath& path) override {
        const std::string name = path.Text().substr(path.Text().rfind('\\') + 1);
        ++s_.started;
        const int now = ++s_.running;
        for (int seen = s_.most.load(); now > seen && !s_.most.compare_exchange_weak(seen, now);) {}
        std::unique_lock lock(s_.m);
        if (name.starts_with("hang")) {
            s_.ended.wait(lock, [this] { return s_.endRunning; });
        } else {
            const auto d = s_.delayMs.find(name);
            s_.ended.wait_for(lock, std::chrono::milliseconds(d == s_.delayMs.end() ? 0 : d->second),
                              [this] { return s_.endRunning; });
        }
        --s_.running;
        if (name.starts_with("raise")) throw kv::Error("Cannot open file \"duration_time.txt\".");
        const auto a = s_.answers.find(name);
        if (a == s_.answers.end()) return std::nullopt;
        return a->second;
    }

private:
    Script& s_;
};

class FakeSlots : public kv::IProbeSlots {
public:
    FakeSlots(Script& s, int n) : s_(s) {
        for (int i = 0; i < n; ++i) probes_.push_back(std::make_unique<ScriptedProbe>(s));
    }
    int Count() const override { return static_cast<int>(probes_.size()); }
    kv::IProbe& Slot(int i) override { return *probes_.at(static_cast<std::size_t>(i)); }
    void EndRunning() override {
        const std::lock_guard lock(s_.m);
        s_.endRunning = true;
        s_.ended.notify_all();
    }
    void Rearm() override {
        const std::lock_guard lock(s_.m);
        s_.endRunning = false;
    }

private:
    Script& s_;
    std::vector<std::unique_ptr<ScriptedProbe>> probes_;
};

// The waiting thread's side: wakes on an answer; the user stops after `stopAfterWaits` waits.
class FakeWait : public kv::IProbeWait {
public:
    int stopAfterWaits = -1;
    std::vector<std::pair<std::size_t, std::size_t>> progress;
    int begun = 0, endedCount = 0, waits = 0;

    void Wake() override {
        const std::lock_guard lock(m_);
        woken_ = true;
        cv_.notify_all();
    }
    bool Wait() override {
        if (waits + 1 == stopAfterWaits) return ++waits != stopAfterWaits;  // the user's key comes at once
        std::unique_lock lock(m_);
        cv_.wait_for(lock, 5s, [this] { return woken_; });
        woken_ = false;
        return ++waits != stopAfterWaits;
    }
    void Begin(std::size_t) override { ++begun; }
    void Progress(std::size_t done, std::size_t total) override { progress.emplace_back(done, total); }
    void End() override { ++endedCount; }

private:
    std::mutex m_;
    std::condition_variable cv_;
    bool woken_ = false;
};

std::vector<kv::CheckedPath> Files(const std::vector<std::string>& names) {
    std::vector<kv::CheckedPath> out;
    for (const auto& n : names) out.push_back(kvtest::Checked("C:\\in\\" + n));
    return out;
}

TEST(ProbePool, AnswersAreTakenInTheFilesOrderWithNoMoreProbesThanSlots) {
    Script s;
    std::vector<std::string> names;
    for (int i = 0; i < 24; ++i) {
        names.push_back("f" + std::to_string(i) + ".mp4");
        s.answers[names.back()] = "00:00:0" + std::to_string(i % 10) + ".000";
        s.delayMs[names.back()] = (24 - i) % 5 * 3;  // later files often finish first
    }
    FakeSlots slots(s, 3);
    FakeWait wait;
    std::vector<std::size_t> order;
    std::vector<std::string> got;
    const auto ended = kv::ProbePool(slots).Run(Files(names), wait, [&](std::size_t i, kv::ProbeResult& r) {
        order.push_back(i);
        got.push_back(r.answer.value_or("none"));
        return true;
    });
    EXPECT_EQ(ended, kv::ProbePool::Ended::All);
    ASSERT_EQ(order.size(), names.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        EXPECT_EQ(order[i], i);
        EXPECT_EQ(got[i], s.answers[names[i]]);
    }
    EXPECT_LE(s.most.load(), 3);
    EXPECT_GE(s.most.load(), 2) << "the probes ran side by side";
    EXPECT_EQ(wait.begun, 1);
    EXPECT_EQ(wait.endedCount, 1);
    EXPECT_EQ(wait.progress.front(), (std::pair<std::size_t, std::size_t>{0, 24}));
    EXPECT_EQ(wait.progress.back(), (std::pair<std::size_t, std::size_t>{24, 24}));
    for (std::size_t i = 1; i < wait.progress.size(); ++i)
        EXPECT_GT(wait.progress[i].first, wait.progress[i - 1].first);
}

TEST(ProbePool, AStopTakesNothingAfterItAndEndsTheProbesUnderWay) {
    Script s;
    std::vector<std::string> names{"a.mp4", "b.mp4", "bad.mp4", "hang1.mp4", "hang2.mp4", "hang3.mp4"};
    for (int i = 0; i < 20; ++i) {
        names.push_back("g" + std::to_string(i) + ".mp4");
        s.delayMs[names.back()] = 50;
    }
    for (const auto& n : names)
        if (n != "bad.mp4") s.answers[n] = "00:00:01.000";
    s.delayMs["bad.mp4"] = 20;  // the hanging files after it are under way when it is answered
    FakeSlots slots(s, 4);
    FakeWait wait;
    std::vector<std::size_t> taken;
    const auto ended = kv::ProbePool(slots).Run(Files(names), wait, [&](std::size_t i, kv::ProbeResult& r) {
        if (!r.answer) return false;
        taken.push_back(i);
        return true;
    });
    EXPECT_EQ(ended, kv::ProbePool::Ended::Stopped);
    EXPECT_EQ(taken, (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(s.running.load(), 0) << "every thread was joined, the hanging probes ended";
    EXPECT_LT(s.started.load(), 10) << "the files after the stop were not probed";
    EXPECT_EQ(wait.endedCount, 1);
}

TEST(ProbePool, TheUsersStopEndsTheRunAndAFreshRunGoesOn) {
    Script s;
    const std::vector<std::string> names{"a.mp4", "hang.mp4", "c.mp4"};
    s.answers = {{"a.mp4", "00:00:01.000"}, {"c.mp4", "00:00:01.000"}};
    FakeSlots slots(s, 2);
    FakeWait wait;
    wait.stopAfterWaits = 2;
    std::vector<std::size_t> taken;
    auto take = [&](std::size_t i, kv::ProbeResult&) {
        taken.push_back(i);
        return true;
    };
    EXPECT_EQ(kv::ProbePool(slots).Run(Files(names), wait, take), kv::ProbePool::Ended::Cancelled);
    EXPECT_EQ(taken, (std::vector<std::size_t>{0}));
    EXPECT_EQ(s.running.load(), 0);
    // The ended slots are armed again for the next run.
    taken.clear();
    wait.stopAfterWaits = -1;
    EXPECT_EQ(kv::ProbePool(slots).Run(Files({"a.mp4", "c.mp4"}), wait, take), kv::ProbePool::Ended::All);
    EXPECT_EQ(taken, (std::vector<std::size_t>{0, 1}));
}

TEST(ProbePool, AProbesFailureReachesTakeAndWhatItRaisesLeavesTheRun) {
    Script s;
    s.answers = {{"a.mp4", "00:00:01.000"}, {"c.mp4", "00:00:01.000"}};
    FakeSlots slots(s, 2);
    FakeWait wait;
    int taken = 0;
    EXPECT_THROW(kv::ProbePool(slots).Run(Files({"a.mp4", "raise.mp4", "c.mp4", "hang.mp4"}), wait,
                                          [&](std::size_t, kv::ProbeResult& r) {
                                              if (r.failure) std::rethrow_exception(r.failure);
                                              ++taken;
                                              return true;
                                          }),
                 kv::Error);
    EXPECT_EQ(taken, 1);
    EXPECT_EQ(s.running.load(), 0);
    EXPECT_EQ(wait.endedCount, 1);
}

TEST(ProbePool, SlotsFollowTheProcessorsFromOneToEight) {
    EXPECT_EQ(kv::ProbeSlotCount(0), 1);
    EXPECT_EQ(kv::ProbeSlotCount(2), 2);
    EXPECT_EQ(kv::ProbeSlotCount(64), 8);
}

// The add commands with a pool: only the names Korvello takes are probed,
// subfolders breadth first when chosen, in the listing's order.
class PoolHost : public kv::IAddHost {
public:
    kvtest::FakeFileSystem fs;
    std::vector<std::string> told, folders;
    std::deque<std::string> folderAnswers;
    bool Busy() const override { return false; }
    std::optional<std::string> AskForFile() override { return std::nullopt; }
    std::string AskForFolder(const std::string&) override {
        auto a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    void Tell(const std::string& text) override { told.push_back(text); }
    void ShowFile(const std::string&) override {}
    void ShowFolder(const std::string& f) override { folders.push_back(f); }
    std::optional<kv::CheckedPath> Check(const std::string& raw) const override { return kv::CheckPath(raw, fs); }
    void ScheduleHandedOver() override {}
};

class Names : public kv::IJobSink {
public:
    std::vector<std::string> rows;
    std::vector<std::string> places;  // each row's place in the tree, once placed
    std::int64_t Append(const kv::CheckedPath& p, const std::string&, int) override {
        rows.push_back(p.Text());
        places.emplace_back("-");
        return static_cast<std::int64_t>(rows.size());
    }
    void PlaceInTree(std::int64_t id, const std::string& place) override {
        places.at(static_cast<std::size_t>(id - 1)) = place;
    }
};

class PoolAdd : public ::testing::Test {
protected:
    Script s;
    FakeSlots slots{s, 3};
    FakeWait wait;
    PoolHost host;
    Names jobs;
    std::map<std::string, std::vector<kv::FoundEntry>> tree{
        {"C:\\v\\", {{"b.mkv", 0x20}, {"notes.txt", 0x20}, {"Day 1", 0x10}, {"a.MOV", 0x20}, {"song.mp3", 0x20}}},
        {"C:\\v\\Day 1\\", {{"c.m4a", 0x20}, {"hang.webm", 0x20}}},
    };
    kv::TFindFile finder{nullptr, [this](const std::string& folder, const std::string&) {
                             auto it = tree.find(folder);
                             if (it == tree.end()) return std::vector<kv::FoundEntry>{};
                             for (const auto& e : it->second)
                                 (e.attributes & 0x10 ? host.fs.folders : host.fs.files).insert(folder + e.name);
                             return it->second;
                         }};
    kv::HandOverQueue kept;
    kv::IProbe& unused = slots.Slot(0);
    kv::AddCommands add{host, unused, jobs, finder, kept};

    void SetUp() override {
        host.fs.folders.insert("C:\\v");
        for (const char* n : {"b.mkv", "a.MOV", "c.m4a", "song.mp3", "notes.txt"}) s.answers[n] = "00:00:02.000";
        s.answers["hang.webm"] = "00:00:02.000";
        add.UsePool(&slots, &wait);
    }
};

TEST_F(PoolAdd, AFolderGivesItsVideoAndAudioFilesInOrderAndSubfoldersWhenChosen) {
    s.answers.erase("hang.webm");
    host.folderAnswers = {"C:\\v", "C:\\v"};
    add.AddFolderCommand();
    EXPECT_EQ(jobs.rows, (std::vector<std::string>{"C:\\v\\b.mkv", "C:\\v\\a.MOV"}))
        << "neither the text file nor the MP3 is probed, nor the subfolder";
    EXPECT_TRUE(host.told.empty());
    EXPECT_EQ(jobs.places, (std::vector<std::string>{"-", "-"})) << "without subfolders no place in a tree";
    jobs.rows.clear();
    jobs.places.clear();
    add.SetAddSubfolders(true);
    tree["C:\\v\\Day 1\\"][1].name = "d.webm";
    s.answers["d.webm"] = "00:00:02.000";
    add.AddFolderCommand();
    EXPECT_EQ(jobs.rows, (std::vector<std::string>{"C:\\v\\b.mkv", "C:\\v\\a.MOV", "C:\\v\\Day 1\\c.m4a",
                                                   "C:\\v\\Day 1\\d.webm"}));
    EXPECT_EQ(jobs.places, (std::vector<std::string>{"v", "v", "v\\Day 1", "v\\Day 1"})) << "each keeps its place";
    EXPECT_EQ(host.folders.back(), "C:\\v");
}

TEST_F(PoolAdd, TheUsersStopEndsADropAndNamesOnlyWhatFailedBeforeIt) {
    add.SetAddSubfolders(true);
    wait.stopAfterWaits = 1;
    s.delayMs["b.mkv"] = 30;
    host.fs.files.insert("C:\\w\\e.mp4");
    s.answers["e.mp4"] = "00:00:02.000";
    ASSERT_TRUE(add.AddDropped({"C:\\x\\gone.mp4", "C:\\v", "C:\\w\\e.mp4"}));
    EXPECT_LT(jobs.rows.size(), 4u) << "the hanging file and what follows it are never added";
    for (const auto& r : jobs.rows) EXPECT_NE(r, "C:\\w\\e.mp4") << "the drop's later paths are dropped too";
    ASSERT_EQ(host.told.size(), 1u);
    EXPECT_NE(host.told[0].find("gone.mp4"), std::string::npos);
    EXPECT_EQ(s.running.load(), 0);
}

}  // namespace
