#pragma once
// Fakes of the conversion run's world: the real job list, transcoders that end
// when the test says so, output files of a chosen size, timers fired by hand
// and choices the test sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/job_rules.h"
#include "support/checked.h"
#include "win/error.h"
#include "win/utf8.h"

namespace kvtest {

using kv::ConversionRun;
using kv::OutputSize;

class Jobs : public kv::JobList {
public:
    void Add(const std::string& path, const std::string& duration = "61") {
        Append(kvtest::Checked(path), kv::DisplayName(path), std::stoi(duration));
    }
    void RemoveAt(int i) { Remove(At(i).id); }
    void MarkDone(int i) { SetState(At(i).id, kv::JobState::Done); }
};

// The line the transcoder ends a run with once it has read its input to the end.
inline const std::string kSummary =
    "video:0kB audio:940kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 0.031%\r\n";

// What the test sees of one transcoder start; outlives the transcoder object.
struct Process {
    std::string args;
    std::int64_t jobId = 0;
    bool exited = false;
    std::uint32_t code = 0;
    bool terminated = false;
    bool released = false;
    std::optional<std::string> log = kSummary;  // its error output; nothing: not captured
    std::optional<double> reached;              // how far it says it has come while it runs
};

class FakeTranscoder : public kv::ITranscoder {
public:
    explicit FakeTranscoder(std::shared_ptr<Process> p) : p_(std::move(p)) {}
    ~FakeTranscoder() override { p_->released = true; }
    bool Exited() override { return p_->exited; }
    std::uint32_t ExitCode() override { return p_->code; }
    std::optional<std::string> ErrorOutput() override { return p_->log; }
    std::optional<double> ReachedSoFar() override { return p_->reached; }
    void Terminate() noexcept override {
        p_->terminated = true;
        p_->exited = true;
        p_->code = 1;
    }

private:
    std::shared_ptr<Process> p_;
};

class FakePlatform;

class FakePort : public kv::TimerPort {
public:
    explicit FakePort(std::vector<FakePort*>& live) : live_(live) { live_.push_back(this); }
    ~FakePort() override { std::erase(live_, this); }
    bool Arm(std::uint32_t ms) override {
        interval = ms;
        return !refuse;
    }
    void Disarm() noexcept override {}
    void Fire() { Deliver(); }
    std::uint32_t interval = 0;
    bool refuse = false;

private:
    std::vector<FakePort*>& live_;
};

class FakePlatform : public kv::IRunPlatform, public kv::IRunOwner {
public:
    std::vector<std::shared_ptr<Process>> starts;
    std::vector<bool> refuseStart;  // by start attempt; missing entries start fine
    std::map<std::string, OutputSize> files;
    std::vector<std::string> committed, discarded;  // final paths given their name; partial paths deleted
    std::vector<kv::Commit> commitAnswers;          // in turn; then Done
    std::vector<FakePort*> ports;
    bool refuseTimers = false;
    int finished = 0;

    std::unique_ptr<kv::ITranscoder> StartTranscoder(const std::string& program, const std::string& args,
                                                     std::int64_t jobId) override {
        const size_t attempt = attempts_++;
        EXPECT_EQ(program, "C:\\Tools\\ffmpeg.exe");
        if (attempt < refuseStart.size() && refuseStart[attempt]) return nullptr;
        auto p = std::make_shared<Process>();
        p->args = args;
        p->jobId = jobId;
        starts.push_back(p);
        return std::make_unique<FakeTranscoder>(p);
    }
    bool measureFails = false;  // the volume of the output went away
    OutputSize MeasureOutput(const std::string& path) override {
        if (measureFails) throw kv::Error("The device is not ready.");
        const auto it = files.find(path);
        return it == files.end() ? OutputSize{} : it->second;
    }
    int partialFailures = 0;  // the next starts that cannot name their temporary file
    std::string PartialOutputPath(const std::string& finalPath, std::int64_t) override {
        if (partialFailures > 0 && partialFailures--) throw kv::Error("The network name cannot be found.");
        return kv::PartialOutputPath(finalPath, "t");
    }
    kv::Commit CommitOutput(const std::string& partial, const std::string& finalPath, bool replace) override {
        commitReplace.push_back(replace);
        const kv::Commit answer = commitAnswers.empty() ? kv::Commit::Done : commitAnswers.front();
        if (!commitAnswers.empty()) commitAnswers.erase(commitAnswers.begin());
        if (answer != kv::Commit::Done) return answer;
        if (!replace && FileExists(finalPath)) return kv::Commit::Taken;
        std::erase_if(existing, [&](const std::string& e) { return Canon(e) == Canon(finalPath); });
        files[finalPath] = files[partial];
        files.erase(partial);
        existing.insert(finalPath);
        committed.push_back(finalPath);
        return answer;
    }
    void DiscardOutput(const std::string& partial) noexcept override {
        files.erase(partial);
        discarded.push_back(partial);
    }
    std::unique_ptr<kv::TimerPort> NewTimerPort() override {
        auto port = std::make_unique<FakePort>(ports);
        port->refuse = refuseTimers;
        return port;
    }
    kv::RunCounts lastCounts;
    void RunFinished(const kv::RunCounts& counts) override {
        ++finished;
        lastCounts = counts;
    }
    std::vector<kv::RunProgress> progress;
    void ShowProgress(const kv::RunProgress& p) override {
        if (progress.empty() || !(progress.back() == p)) progress.push_back(p);
    }
    std::string WorkDir() const override { return "C:\\Out"; }
    std::string FfmpegPath() const override { return "C:\\Tools\\ffmpeg.exe"; }
    std::uint64_t NowMs() const override { return now; }
    kv::ConversionChoices choices;
    kv::ConversionChoices Choices() const override { return choices; }
    std::set<std::string> existing;              // files there: from before the run, or committed
    std::map<std::string, std::string> aliases;  // a short (8.3) name and the long name it reaches
    std::vector<bool> commitReplace;             // what each commit was allowed
    // The name as a case-blind volume files it: an alias resolved, the case of
    // ASCII and of "É" folded.
    static std::string Fold(const std::string& path) {
        std::string p = kv::UpperAscii(path);
        for (std::size_t at; (at = p.find("\xC3\xA9")) != std::string::npos;) p.replace(at, 2, "\xC3\x89");
        return p;
    }
    std::string Canon(const std::string& path) const {
        for (const auto& [alias, full] : aliases)
            if (Fold(alias) == Fold(path)) return Fold(full);
        return Fold(path);
    }
    bool FileExists(const std::string& path) const override {
        return std::any_of(existing.begin(), existing.end(), [&](const auto& e) { return Canon(e) == Canon(path); });
    }
    std::optional<kv::FileId> IdentityOf(const std::string& path) const override {
        if (!FileExists(path)) return std::nullopt;
        return kv::FileId{7, 0, std::hash<std::string>{}(Canon(path))};
    }
    bool SameName(const std::string& a, const std::string& b) const override { return Fold(a) == Fold(b); }
    std::vector<std::string> madeFolders;
    bool refuseFolders = false;
    bool MakeFolder(const std::string& folder) override {
        madeFolders.push_back(folder);
        return !refuseFolders;
    }
    std::vector<std::pair<std::string, std::string>> datesCopied;  // from, to
    void CopyDates(const std::string& from, const std::string& to) override { datesCopied.emplace_back(from, to); }
    std::uint64_t now = 1000;

private:
    size_t attempts_ = 0;
};

// The line a job's transcoder gets: its MP3 written under the temporary name first.
inline std::string ArgsFor(const std::string& input, const std::string& finalPath) {
    return kv::FfmpegArgsFor(kvtest::Checked(input), kv::PartialOutputPath(finalPath, "t")).value();
}

// 61 stored seconds: the input lasts at least 60 s, so a complete MP3 holds at
// least 60 x 16000 x 0.9 bytes.
inline constexpr std::int64_t kComplete = 60 * 16000 * 9 / 10;

class RunTest : public ::testing::Test {
protected:
    Jobs jobs;
    FakePlatform platform;
    kv::TComponent owner{nullptr};
    ConversionRun run{jobs, platform, platform, &owner};

    // What the timer of the job last started carries: the size its MP3 should reach.
    std::int64_t Expected() const { return std::stoll(run.CurrentTimer()->Message()); }
    // The row of the job last started while it runs; -1 once it has ended.
    int CurrentRow() {
        if (platform.starts.empty()) return -1;
        const int row = jobs.IndexOf(Last()->jobId);
        return row >= 0 && jobs.At(row).state == kv::JobState::Running ? row : -1;
    }
    // The MP3 the job last started writes.
    std::string OutputPath() { return jobs.Find(Last()->jobId)->output; }

    std::shared_ptr<Process> Last() { return platform.starts.back(); }
    // The running transcoder writes `bytes` into the current output and ends with `code`.
    void End(std::uint32_t code, std::int64_t bytes, bool written = true) {
        if (written) platform.files[run.PartialPath()] = {true, true, bytes};
        Last()->exited = true;
        Last()->code = code;
        run.OnJobExited(Last()->jobId);
    }
    // The output a start writes until it is whole: the last quoted path of its line.
    static std::string PartialOf(const Process& p) {
        const auto close = p.args.rfind('"');
        const auto open = p.args.rfind('"', close - 1);
        return p.args.substr(open + 1, close - open - 1);
    }
    // That start's transcoder writes `bytes` and ends with `code`.
    void EndStart(std::size_t start, std::uint32_t code, std::int64_t bytes) {
        const auto& p = platform.starts.at(start);
        platform.files[PartialOf(*p)] = {true, true, bytes};
        p->exited = true;
        p->code = code;
        run.OnJobExited(p->jobId);
    }
    std::vector<std::string> Progress() const {
        std::vector<std::string> out;
        for (int i = 0; i < jobs.Count(); ++i) out.push_back(jobs.Progress(i));
        return out;
    }
};

}  // namespace kvtest
