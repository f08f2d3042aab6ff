// Sequences of what happens around hand-overs, against a model of what the
// user must see: hand-overs with and without "/convert" (some files readable,
// some not, some gone, some no MP4), hand-overs a full queue refuses (the
// sender says "not added"), hand-overs whose sender gave up before the window
// answered, the user's own rows added or removed, runs
// starting and ending, the convert button. The window's glue is the few lines
// the window has: the request on arrival, the hand-over's quick check, the
// run of a request once it is due and the window idle.
//   - every path a hand-over took becomes a row or is named in a message;
//   - nothing a refused hand-over carried is ever added, nor one its sender
//     gave up waiting for (it told its user the files were not added);
//   - a request's run starts only rows its files made, until the button is pressed.
#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/handover.h"
#include "app/runner_text.h"
#include "components/FindFile.h"
#include "convert/add_commands.h"
#include "convert/auto_convert.h"
#include "convert/conversion_run.h"
#include "convert/duration_probe.h"
#include "convert/job_list.h"
#include "fuzz_util.h"
#include "support/checked.h"

namespace {

class Host : public kv::IAddHost {
public:
    Host(kv::AutoConvert& autoConvert, const kv::JobList& jobs) : auto_(autoConvert), jobs_(jobs) {}
    bool busy = false;
    std::set<std::string> added;  // the paths that became rows
    kvtest::FakeFileSystem fs;
    std::vector<std::string> told;
    int scheduled = 0;
    std::map<std::int64_t, std::uint64_t> requestOf;  // row id -> its request (0: none)

    bool Busy() const override { return busy; }
    std::optional<std::string> AskForFile() override { return std::nullopt; }
    std::string AskForFolder(const std::string&) override { return {}; }
    void Tell(const std::string& text) override { told.push_back(text); }
    void ShowFile(const std::string&) override {}
    void ShowFolder(const std::string&) override {}
    std::optional<kv::CheckedPath> Check(const std::string& raw) const override { return kv::CheckPath(raw, fs); }
    void ScheduleHandedOver() override { ++scheduled; }
    void RowAdded(std::uint64_t request, std::int64_t jobId) override {
        requestOf[jobId] = request;
        if (const kv::Job* row = jobs_.Find(jobId)) added.insert(row->input.Text());
        auto_.RowAdded(request, jobId);
    }

private:
    kv::AutoConvert& auto_;
    const kv::JobList& jobs_;
};

class Probe : public kv::IProbe {
public:
    std::set<std::string> readable;
    std::optional<std::string> Answer(const kv::CheckedPath& p) override {
        if (readable.count(p.Text())) return std::string("00:00:30.000");
        return std::nullopt;
    }
};

struct Transcoder : kv::ITranscoder {
    bool exited = false;
    bool Exited() override { return exited; }
    std::uint32_t ExitCode() override { return 0; }
    std::optional<std::string> ErrorOutput() override {
        return std::string(
            "video:0kB audio:1kB subtitle:0kB other streams:0kB global headers:0kB muxing overhead: 1%\n");
    }
    void Terminate() noexcept override { exited = true; }
};

struct Port : kv::TimerPort {
    bool Arm(std::uint32_t) override { return true; }
    void Disarm() noexcept override {}
};

class Platform : public kv::IRunPlatform {
public:
    std::vector<std::int64_t> started;
    std::map<std::int64_t, Transcoder*> running;
    std::unique_ptr<kv::ITranscoder> StartTranscoder(const std::string&, const std::string&, std::int64_t id) override {
        auto t = std::make_unique<Transcoder>();
        running[id] = t.get();
        started.push_back(id);
        return t;
    }
    kv::OutputSize MeasureOutput(const std::string&) override { return {true, true, 1000}; }
    std::string PartialOutputPath(const std::string& f, std::int64_t id) override {
        return f + "." + std::to_string(id) + ".korvello-part";
    }
    kv::Commit CommitOutput(const std::string&, const std::string&, bool) override { return kv::Commit::Done; }
    void DiscardOutput(const std::string&) noexcept override {}
    std::unique_ptr<kv::TimerPort> NewTimerPort() override { return std::make_unique<Port>(); }
    void RunFinished() override {}
    void ShowProgress(const kv::RunProgress&) override {}
    std::string WorkDir() const override { return "C:\\Out"; }
    std::string FfmpegPath() const override { return "C:\\K\\ffmpeg.exe"; }
    std::uint64_t NowMs() const override { return now; }
    std::uint64_t now = 1;
};

class World {
public:
    kv::AutoConvert autoConvert;
    kv::JobList jobs;
    Host host{autoConvert, jobs};
    Probe probe;
    kv::HandOverQueue kept;
    kv::TFindFile finder{nullptr, [](const std::string&, const std::string&) { return std::vector<kv::FoundEntry>{}; }};
    kv::AddCommands add{host, probe, jobs, finder, kept};
    Platform platform;
    kv::RunState state;
    kv::TComponent owner{nullptr};
    kv::ConversionRun run{state, jobs, platform, &owner};

    std::set<std::string> taken, refused;  // paths of hand-overs the window took or refused
    std::set<std::int64_t> userRows;
    std::vector<std::int64_t> requestRows;  // the rows of the request whose run goes on
    bool requestRun = false, buttonSince = false;
    int next = 0;

    // A sender that gave up before the window answered: it told its user the
    // files were not added, and the block arrives after its limit.
    void LateHandOver(const std::vector<std::string>& paths, bool convert) {
        const std::uint64_t tag = kv::HandOverTagFor(convert, static_cast<std::uint32_t>(platform.now));
        platform.now += 30000;
        const auto kind = kv::HandOverKindOf(tag);
        if (kind && kv::StillWanted(*kind, static_cast<std::uint32_t>(platform.now)))
            HandOver(paths, convert);
        else
            for (const auto& p : paths) refused.insert(p);
    }
    // What the window does with a hand-over.
    void HandOver(const std::vector<std::string>& paths, bool convert) {
        const std::uint64_t request = convert ? autoConvert.Request(platform.now) : 0;
        if (!convert) autoConvert.Arrived(platform.now);
        const bool took = !kv::PlausiblePaths(paths).empty() && add.HandOver(paths, request);
        for (const auto& p : paths) (took ? taken : refused).insert(p);
    }
    // A batch of new files: readable, unreadable, gone, no MP4, or no path at all.
    std::vector<std::string> NewFiles(std::uint8_t kinds, int count) {
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i) {
            const int kind = (kinds >> (2 * (i % 4))) & 3;
            std::string p = "C:\\in\\f" + std::to_string(next++) + (kind == 2 ? ".txt" : ".mp4");
            if (kind != 3 || i % 2) host.fs.files.insert(p);
            if (kind == 0) probe.readable.insert(p);
            if (kind == 3 && i % 2 == 0 && i % 4 == 0) p = "relative\\" + p.substr(3);
            out.push_back(p);
        }
        return out;
    }
    bool Idle() const { return !state.Busy && !add.CommandActive() && add.HandedOverCount() == 0; }
    void Tick(std::uint64_t ms) {
        platform.now += ms;
        if (const auto rows = autoConvert.TakeIfDue(platform.now, Idle())) {
            if (state.Busy) return;
            requestRun = true;
            buttonSince = false;
            requestRows = *rows;
            run.ConvertRows(*rows);
            if (!state.Busy) requestRun = false;
        }
    }
    void Press() {
        buttonSince = true;
        run.Convert();
    }
    void FinishOne() {
        if (platform.running.empty()) return;
        const auto [id, t] = *platform.running.begin();
        t->exited = true;
        platform.running.erase(platform.running.begin());
        run.OnJobExited(id);
        if (!state.Busy) requestRun = false;
    }
    void CheckStarts(std::size_t from) {
        for (std::size_t i = from; i < platform.started.size(); ++i) {
            if (!requestRun || buttonSince) continue;
            const std::int64_t id = platform.started[i];
            kvfuzz::Require(std::find(requestRows.begin(), requestRows.end(), id) != requestRows.end(),
                            "a request's run starts only its own rows");
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    World w;
    size = std::min<std::size_t>(size, 160);  // 80 steps: longer sequences find nothing new, only slower
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint8_t op = data[i] % 9, arg = data[i + 1];
        const std::size_t startsBefore = w.platform.started.size();
        w.host.busy = w.state.Busy;
        switch (op) {
        case 0:
        case 1:
            w.HandOver(w.NewFiles(arg, 1 + arg % 4), op == 1);
            break;
        case 2:  // a file of the user's own, dropped on the idle window
            if (!w.state.Busy && !w.add.CommandActive()) {
                const std::vector<std::string> files = w.NewFiles(0, 1);
                const int before = w.jobs.Count();
                w.add.AddDropped(files);
                if (w.jobs.Count() > before) w.userRows.insert(w.jobs.At(before).id);
            }
            break;
        case 3:
            w.add.AddHandedOver();
            break;
        case 4:
            w.Tick(arg * 20u);
            break;
        case 5:
            w.FinishOne();
            break;
        case 6:
            if (arg % 4 == 0) w.Press();
            break;
        case 8:
            w.LateHandOver(w.NewFiles(arg, 1 + arg % 3), arg % 2);
            break;
        case 7:  // the user removes a pending row
            for (int r = 0; r < w.jobs.Count(); ++r)
                if (w.jobs.At(r).state == kv::JobState::Pending && r % 3 == arg % 3) {
                    w.jobs.Remove(w.jobs.At(r).id);
                    break;
                }
            break;
        }
        w.CheckStarts(startsBefore);
    }
    // Everything settles: the run ends, what was kept is added, the last request is taken.
    for (int guard = 0; guard < 10000 && (w.state.Busy || !w.kept.Empty() || w.autoConvert.Pending()); ++guard) {
        const std::size_t startsBefore = w.platform.started.size();
        w.host.busy = w.state.Busy;
        w.FinishOne();
        w.host.busy = w.state.Busy;
        w.add.AddHandedOver();
        w.Tick(kv::AutoConvert::kSettleMs);
        w.CheckStarts(startsBefore);
    }
    std::string allTold;
    for (const auto& t : w.host.told) allTold += t + "\n";
    for (const auto& p : w.taken) {
        const bool named = allTold.find("\"" + kv::FileNamePart(p) + "\"") != std::string::npos;
        kvfuzz::Require(w.host.added.count(p) || named, "every path taken becomes a row or is named", p);
    }
    for (const auto& p : w.refused) kvfuzz::Require(!w.host.added.count(p), "nothing refused is added", p);
    return 0;
}
