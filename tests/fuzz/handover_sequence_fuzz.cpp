// Sequences of what happens around hand-overs, against a model of what the
// user must see: hand-overs with and without "/convert" (some files readable,
// some not, some gone, some no MP4), hand-overs a full queue refuses (the
// sender says "not added"), hand-overs whose sender gave up before the window
// answered, the user's own rows added or removed, runs
// starting and ending, the convert button, a window busy with a message box,
// driven through the controller as the window drives it.
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
#include "convert/controller.h"
#include "fuzz_util.h"
#include "support/checked.h"
#include "support/fake_reader.h"

namespace {

class View : public kv::IFormView, public kv::IJobView {
public:
    std::set<std::string> added;  // the paths that became rows
    void ShowFile(const std::string&) override {}
    void ShowFolder(const std::string&) override {}
    void ShowOutputFolder(const std::string&, const std::string&) override {}
    void ShowChoices(const kv::ConversionChoices&) override {}
    void RunEnded(const kv::RunCounts&, bool) override {}
    void Added(const kv::Job& job) override { added.insert(job.input.Text()); }
    void Changed(int, const kv::Job&) override {}
    void Removed(int) override {}
};

class Desktop : public kv::IDesktop {
public:
    std::vector<std::string> told;
    bool free = true;
    std::uint64_t now = 1;
    std::optional<std::string> AskForFile() override { return std::nullopt; }
    std::string AskForFolder(const std::string&) override { return {}; }
    void Tell(const std::string& text) override { told.push_back(text); }
    void ShellOpen(const std::string&) override {}
    void ScheduleHandedOver(std::uint32_t) override {}
    bool polling = false;  // a "/convert" request waits for its run
    void PollAutoConvert(bool on) override { polling = on; }
    bool WindowFree() const override { return free; }
    bool Closing() const override { return false; }
    bool MenuOpen() const override { return false; }
    std::uint64_t NowMs() const override { return now; }
};

class Settings : public kv::ISettingsStore {
public:
    kv::StoredValue Read(std::string_view) const override { return {}; }
    std::optional<std::string> ReadText(std::string_view) const override { return std::nullopt; }
    void WriteString(std::string_view, const std::string&) override {}
    void WriteDword(std::string_view, std::uint32_t) override {}
};

class Disk : public kv::IFolderSystem {
public:
    kvtest::FakeFileSystem fs;
    bool DirectoryExists(const std::string&) const override { return true; }
    bool CreateDir(const std::string&) override { return true; }
    const kv::IPathLookup& Lookup() const override { return fs; }
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
    void ShowProgress(const kv::RunProgress&) override {}
    std::uint64_t NowMs() const override { return 1; }
};

class World {
public:
    View view;
    Desktop desktop;
    Settings settings;
    Disk disk;
    Platform platform;
    // Readable files answer with a duration; every other file leaves no answer.
    std::set<std::string> readable;
    kvtest::FakeReader reader;
    kv::TFindFile finder{nullptr, [](const std::string&, const std::string&) { return std::vector<kv::FoundEntry>{}; }};
    kv::TComponent owner{nullptr};
    kv::Controller c{{view, &view, desktop, settings, disk, platform, reader, finder, &owner}};

    std::set<std::string> taken, refused;  // paths of hand-overs the window took or refused
    std::set<std::string> waiting;         // the paths of the request still waiting for its run
    std::set<std::string> requestPaths;    // those of the request whose run goes on
    bool requestRun = false, buttonSince = false;
    int next = 0;

    World() {
        reader.answer = [this](const std::string& batch) {
            const bool answers = std::any_of(readable.begin(), readable.end(), [&](const std::string& r) {
                return batch.find(r + "\"") != std::string::npos;
            });
            return std::string(answers ? "00:00:30.000\r\n" : "");
        };
        c.Start({"C:\\Temp\\", "C:\\Users\\u\\Documents", "C:\\Users\\u\\AppData\\Roaming"});
        c.SetTools("C:\\K\\ffmpeg.exe", "C:\\K\\mediainfo.exe");
    }
    // A sender that gave up before the window answered: it told its user the
    // files were not added, and the block arrives after its limit.
    void LateHandOver(const std::vector<std::string>& paths, bool convert) {
        const std::uint64_t tag = kv::HandOverTagFor(convert, static_cast<std::uint32_t>(desktop.now));
        desktop.now += 30000;
        const auto kind = kv::HandOverKindOf(tag);
        if (kind && kv::StillWanted(*kind, static_cast<std::uint32_t>(desktop.now)))
            HandOver(paths, convert);
        else
            for (const auto& p : paths) refused.insert(p);
    }
    // What the window does with a hand-over.
    void HandOver(const std::vector<std::string>& paths, bool convert) {
        if (convert && !desktop.polling) waiting.clear();  // a new request; else the waiting one takes them in
        const bool took = !kv::PlausiblePaths(paths).empty() && c.HandOver(paths, convert);
        for (const auto& p : paths) (took ? taken : refused).insert(p);
        if (took && convert) waiting.insert(paths.begin(), paths.end());
    }
    // A batch of new files: readable, unreadable, gone, no MP4, or no path at all.
    std::vector<std::string> NewFiles(std::uint8_t kinds, int count) {
        std::vector<std::string> out;
        for (int i = 0; i < count; ++i) {
            const int kind = (kinds >> (2 * (i % 4))) & 3;
            std::string p = "C:\\in\\f" + std::to_string(next++) + (kind == 2 ? ".txt" : ".mp4");
            if (kind != 3 || i % 2) disk.fs.files.insert(p);
            if (kind == 0) readable.insert(p);
            if (kind == 3 && i % 2 == 0 && i % 4 == 0) p = "relative\\" + p.substr(3);
            out.push_back(p);
        }
        return out;
    }
    // The poll of a waiting request; once it is taken, its run is the one that goes on.
    void Tick(std::uint64_t ms) {
        desktop.now += ms;
        const bool wasWaiting = desktop.polling;
        const std::size_t before = platform.started.size();
        c.AutoConvertTick();
        if (!wasWaiting || desktop.polling) return;
        if (platform.started.size() == before) return;  // it made no row, or the button's run goes on
        requestRun = true;
        buttonSince = false;
        requestPaths = waiting;
        if (!c.Busy()) requestRun = false;
    }
    void CheckStarts(std::size_t from) {
        for (std::size_t i = from; i < platform.started.size(); ++i) {
            if (!requestRun || buttonSince) continue;
            const kv::Job* row = c.Jobs().Find(platform.started[i]);
            kvfuzz::Require(row && requestPaths.count(row->input.Text()), "a request's run starts only its own rows");
        }
    }
    void Press() {
        buttonSince = true;
        c.Convert();
    }
    void FinishOne() {
        if (platform.running.empty()) return;
        const auto [id, t] = *platform.running.begin();
        t->exited = true;
        platform.running.erase(platform.running.begin());
        c.JobExited(id);
        if (!c.Busy()) requestRun = false;
    }
};

}  // namespace
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    World w;
    size = std::min<std::size_t>(size, 160);  // 80 steps: longer sequences find nothing new, only slower
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const std::uint8_t op = data[i] % 10, arg = data[i + 1];
        const std::size_t startsBefore = w.platform.started.size();
        switch (op) {
        case 0:
        case 1:
            w.HandOver(w.NewFiles(arg, 1 + arg % 4), op == 1);
            break;
        case 2:  // a file of the user's own, dropped on the window
            w.c.AddDropped(w.NewFiles(0, 1));
            break;
        case 3:
            w.c.AddHandedOver();
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
        case 7:  // the user removes a pending row
            for (int r = 0; r < w.c.Jobs().Count(); ++r)
                if (w.c.Jobs().At(r).state == kv::JobState::Pending && r % 3 == arg % 3) {
                    w.c.RemoveRow(r);
                    break;
                }
            break;
        case 8:
            w.LateHandOver(w.NewFiles(arg, 1 + arg % 3), arg % 2);
            break;
        case 9:  // a message box opens or closes
            w.desktop.free = arg % 2;
            break;
        }
        w.CheckStarts(startsBefore);
    }
    // Everything settles: the box closes, the run ends, what was kept is added, the last request is taken.
    w.desktop.free = true;
    for (int guard = 0; guard < 10000 && (w.c.Busy() || w.c.Adder().HandedOverCount() || w.desktop.polling); ++guard) {
        const std::size_t startsBefore = w.platform.started.size();
        w.FinishOne();
        w.c.AddHandedOver();
        w.Tick(kv::AutoConvert::kSettleMs);
        w.CheckStarts(startsBefore);
    }
    std::string allTold;
    for (const auto& t : w.desktop.told) allTold += t + "\n";
    for (const auto& p : w.taken) {
        const bool named = allTold.find("\"" + kv::FileNamePart(p) + "\"") != std::string::npos;
        kvfuzz::Require(w.view.added.count(p) || named, "every path taken becomes a row or is named", p);
    }
    for (const auto& p : w.refused) kvfuzz::Require(!w.view.added.count(p), "nothing refused is added", p);
    return 0;
}
