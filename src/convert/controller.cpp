#include "convert/controller.h"

#include <algorithm>

#include "app/runner_text.h"
#include "convert/job_rules.h"
#include "win/error.h"

namespace kv {

namespace {

constexpr char kWorkDirValue[] = "WorkDir";
constexpr char kAppDirValue[] = "AppDir";
constexpr std::uint32_t kHandOverRetryMs = 250;

// A special folder + "\Korvello\"; empty when the shell could not name the
// folder, so that nothing lands in "\Korvello\" at the root of a drive.
std::string KorvelloFolderIn(const std::string& special) {
    if (special.empty()) return {};
    return CollapseDoubleBackslashes(special + "\\Korvello\\");
}

}  // namespace

class Controller::Host final : public IAddHost, public IRunOwner {
public:
    explicit Host(Controller& c) : c_(c) {}

    [[nodiscard]] bool Busy() const override { return c_.Busy(); }
    std::optional<std::string> AskForFile() override { return c_.desktop_.AskForFile(); }
    std::string AskForFolder(const std::string& initial) override { return c_.desktop_.AskForFolder(initial); }
    void Tell(const std::string& text) override { c_.desktop_.Tell(text); }
    void ShowFile(const std::string& path) override { c_.view_.ShowFile(path); }
    void ShowFolder(const std::string& folder) override { c_.view_.ShowFolder(folder); }
    [[nodiscard]] std::optional<CheckedPath> Check(const std::string& raw) const override {
        return CheckPath(raw, c_.disk_.Lookup());
    }
    void ScheduleHandedOver() override { c_.desktop_.ScheduleHandedOver(); }
    void RowAdded(std::uint64_t request, std::int64_t jobId) override { c_.autoConvert_.RowAdded(request, jobId); }

    [[nodiscard]] std::string WorkDir() const override { return c_.folders_.WorkDir; }
    [[nodiscard]] std::string FfmpegPath() const override { return c_.ffmpegPath_; }
    [[nodiscard]] ConversionChoices Choices() const override { return c_.choices_; }
    // Paths handed over during the run are added now.
    void RunFinished(const RunCounts& counts) override {
        c_.desktop_.ScheduleHandedOver();
        c_.view_.RunEnded(counts, c_.choices_.notifyWhenDone);
    }

private:
    Controller& c_;
};

Controller::Controller(const ControllerPorts& ports)
    : view_(ports.view),
      desktop_(ports.desktop),
      settings_(ports.settings),
      disk_(ports.folders),
      host_(std::make_unique<Host>(*this)),
      jobs_(ports.rows),
      probe_(ports.probe, folders_.TempDir, mediaInfoPath_),
      adder_(*host_, probe_, jobs_, ports.finder, kept_),
      run_(jobs_, ports.run, *host_, ports.timerOwner) {}

Controller::~Controller() = default;

// The stored output folder is used when it is a usable folder, made if
// missing; otherwise Documents\Korvello is, for this start only: the setting
// stays as the user left it. A blank, relative or unholdable name would send
// the MP3s to a drive's root or the transcoder's folder.
void Controller::Start(const SpecialFolders& special) {
    folders_.TempDir = special.temp;
    adder_.SetLastFolder("");
    const std::string defaultWorkDir = KorvelloFolderIn(special.documents);
    folders_.WorkDir = defaultWorkDir;
    folders_.AppDir = KorvelloFolderIn(special.appData);
    GuardedStep([this] {  // settings may be unwritable; the program still runs
        if (settings_.Read(kWorkDirValue).type == StoredValue::Type::Missing && !folders_.WorkDir.empty())
            settings_.WriteString(kWorkDirValue, folders_.WorkDir);
        if (!folders_.AppDir.empty()) settings_.WriteString(kAppDirValue, folders_.AppDir);
    });
    for (const std::string* dir : {&folders_.WorkDir, &folders_.AppDir})
        if (!dir->empty() && !disk_.DirectoryExists(*dir)) disk_.CreateDir(*dir);

    const std::string stored = settings_.ReadText(kWorkDirValue).value_or("");
    const bool wellFormed = IsUsableFolderSetting(stored);
    if (wellFormed && !disk_.DirectoryExists(stored)) disk_.CreateDir(stored);
    if (wellFormed && disk_.DirectoryExists(stored)) folders_.WorkDir = stored;
    ShowPlace();
}

void Controller::SetTools(const std::string& ffmpegPath, const std::string& mediaInfoPath) {
    ffmpegPath_ = ffmpegPath;
    mediaInfoPath_ = mediaInfoPath;
}

// Anything unreadable, of another type or out of range is the default.
void Controller::LoadChoices(int logicalProcessors) {
    maxFilesAtOnce_ = kv::MaxFilesAtOnce(logicalProcessors);
    choices_ = ChoicesFrom(settings_.Read(kQualityValue), settings_.Read(kFilesAtOnceValue),
                           settings_.Read(kWhenExistsValue), maxFilesAtOnce_);
    ReadLaterChoices(choices_, settings_.Read(kAddSubfoldersValue), settings_.Read(kSplitChaptersValue),
                     settings_.Read(kCoverFromVideoValue), settings_.Read(kOutputPlaceValue),
                     settings_.Read(kKeepDatesValue), settings_.Read(kNotifyWhenDoneValue),
                     settings_.Read(kPriorityValue));
    ReadLoudnessChoices(choices_, settings_.Read(kLoudnessValue), settings_.Read(kLoudnessTargetValue));
    ReadLanguageChoice(choices_, settings_.Read(kLanguageValue));
    adder_.SetAddSubfolders(choices_.addSubfolders);
    view_.ShowChoices(choices_);
    ShowPlace();
}

// Saved at once; more files at once may start now, every other choice waits
// for the next file.
void Controller::Choose(const ConversionChoices& choices) {
    choices_ = choices;
    adder_.SetAddSubfolders(choices_.addSubfolders);
    SaveChoices();
    view_.ShowChoices(choices_);
    ShowPlace();
    run_.ChoicesChanged();
}

void Controller::SaveChoices() {
    GuardedStep([this] {
        settings_.WriteString(kQualityValue, std::string(QualityText(choices_.quality)));
        settings_.WriteDword(kFilesAtOnceValue, static_cast<std::uint32_t>(choices_.filesAtOnce));
        settings_.WriteString(kWhenExistsValue, std::string(WhenExistsText(choices_.whenExists)));
        settings_.WriteDword(kAddSubfoldersValue, choices_.addSubfolders ? 1 : 0);
        settings_.WriteDword(kSplitChaptersValue, choices_.splitChapters ? 1 : 0);
        settings_.WriteDword(kCoverFromVideoValue, choices_.coverFromVideo ? 1 : 0);
        settings_.WriteString(kOutputPlaceValue, choices_.beside ? "beside" : "folder");
        settings_.WriteDword(kKeepDatesValue, choices_.keepDates ? 1 : 0);
        settings_.WriteDword(kNotifyWhenDoneValue, choices_.notifyWhenDone ? 1 : 0);
        settings_.WriteString(kPriorityValue, choices_.normalPriority ? "normal" : "below-normal");
        settings_.WriteString(kLoudnessValue, std::string(LoudnessText(choices_.loudness)));
        settings_.WriteString(kLoudnessTargetValue, std::to_string(choices_.loudnessTarget));
        settings_.WriteString(kLanguageValue, choices_.language);
    });
}

void Controller::AddFile() { adder_.AddFileCommand(); }
void Controller::AddFolder() { adder_.AddFolderCommand(); }

void Controller::AddDropped(const std::vector<std::string>& paths) {
    (void)adder_.AddDropped(paths);  // a drop past the queue's bound is dropped
}

// Every arrival postpones a waiting run: the files of one selection come one
// by one. A hand-over refused for want of room neither makes nor postpones a run.
bool Controller::HandOver(const std::vector<std::string>& paths, bool convert) {
    if (paths.empty()) return true;
    const std::size_t waiting = adder_.HandedOverCount();
    if (paths.size() > kMaxHandOverEntries - std::min(waiting, kMaxHandOverEntries)) return false;
    const std::uint64_t now = desktop_.NowMs();
    std::uint64_t request = 0;
    if (convert)
        request = autoConvert_.Request(now);
    else
        autoConvert_.Arrived(now);
    const bool kept = adder_.HandOver(paths, request);
    if (autoConvert_.Pending()) desktop_.PollAutoConvert(true);
    return kept;
}

// A message box or picker of the window disables it; the paths wait for it
// to close rather than adding rows and messages behind it.
void Controller::AddHandedOver() {
    if (adder_.HandedOverCount() == 0 || desktop_.Closing()) return;
    if (!desktop_.WindowFree()) {
        desktop_.ScheduleHandedOver(kHandOverRetryMs);
        return;
    }
    adder_.AddHandedOver();
}

// The user's own run, command, dialog or menu comes first: a menu may be
// choosing the quality for these very files.
bool Controller::IdleForAutoConvert() const {
    return !desktop_.Closing() && desktop_.WindowFree() && !desktop_.MenuOpen() && !Busy() && !adder_.CommandActive() &&
           adder_.HandedOverCount() == 0;
}

void Controller::AutoConvertTick() {
    if (const auto rows = autoConvert_.TakeIfDue(desktop_.NowMs(), IdleForAutoConvert())) run_.ConvertRows(*rows);
    if (!autoConvert_.Pending()) desktop_.PollAutoConvert(false);
}

// A folder the border check refuses could never take an MP3; an unwritable
// setting leaves everything as it was.
void Controller::ChooseOutputFolder() {
    if (Busy()) return;
    const std::string folder = desktop_.AskForFolder(adder_.LastFolder());
    if (folder.empty()) return;
    const auto checked = CheckPath(folder, disk_.Lookup());
    if (!checked || !checked->IsFolder()) return;
    GuardedStep([&] {
        settings_.WriteString(kWorkDirValue, folder);
        folders_.WorkDir = folder;
    });
    // Choosing a folder is choosing the folder as the place.
    if (choices_.beside) {
        choices_.beside = false;
        SaveChoices();
        view_.ShowChoices(choices_);
    }
    ShowPlace();
}

// The output folder's box names the place: the folder, or the words for beside.
void Controller::ShowPlace() {
    std::string stored = settings_.ReadText(kWorkDirValue).value_or("");
    if (stored.empty()) stored = folders_.WorkDir;
    view_.ShowOutputFolder(stored, choices_.beside ? std::string(kBesideText) : folders_.WorkDir);
}

void Controller::Convert() { run_.Convert(); }

// Any row, at any time; a running row's transcoder is ended at the next tick.
void Controller::RemoveRow(int index) {
    if (index >= 0 && index < jobs_.Count()) jobs_.Remove(jobs_.At(index).id);
}

// Why a row failed may be asked at any time, also while the run goes on;
// the rest waits for the run's end.
void Controller::ClickRow(int index, int x, const std::array<int, 4>& widths) {
    if (index < 0 || index >= jobs_.Count()) return;
    const Job& job = jobs_.At(index);
    const ListClick click = ListClickRule(x, widths, job.state);
    if (click == ListClick::ShowFailure) {
        desktop_.Tell(FailureMessage(job.input.Text(), job.failure));
        return;
    }
    if (Busy()) return;
    switch (click) {
    case ListClick::RemovePending:
        jobs_.Remove(job.id);
        break;
    case ListClick::OpenOutputFolder:
        // Its MP3 may be beside its source or in a subfolder: the folder it is in opens.
        desktop_.ShellOpen(TrimText((job.output.empty() ? folders_.WorkDir : FolderPart(job.output)) + "\\"));
        break;
    case ListClick::OpenInputFile:
        desktop_.ShellOpen(job.input.Text());
        break;
    case ListClick::None:
    case ListClick::ShowFailure:
        break;
    }
}

}  // namespace kv
