#pragma once
// The jobs: what the user added, each with its own state. The list view's rows
// and the hidden stores only show them; nothing the program decides is read
// back from a control, which any program on the desktop can rewrite.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/checked_path.h"
#include "convert/add_commands.h"
#include "convert/job_rules.h"
#include "convert/transcoder_log.h"

namespace kv {

struct Job {
    std::int64_t id = 0;  // for life: a job keeps it when jobs above it go
    CheckedPath input;
    std::string name;  // as the row shows it
    int duration = 0;  // the stored duration: whole seconds plus one
    JobState state = JobState::Pending;
    std::optional<std::int64_t> percent;  // while running, once its output was measured
    bool measuring = false;               // while running, its sound's loudness is measured
    std::string output;                   // the MP3 it writes, once started
    Failure failure = Failure::None;
    std::string subfolder;  // its place below the output folder: the added folder's name and the path below it
};

// The cells a job's row shows.
std::string ProgressText(const Job& job);   // "Pending", "Measuring", "42% Done", "Done", "Failed", "Skipped"
std::string ConvertedText(const Job& job);  // "MP3" once done

// Whatever shows the jobs; told of every change, in the list's order.
class IJobView {
public:
    virtual ~IJobView() = default;
    virtual void Added(const Job& job) = 0;  // at the end
    virtual void Changed(int index, const Job& job) = 0;
    virtual void Removed(int index) = 0;
};

class JobList : public IJobSink {
public:
    explicit JobList(IJobView* view = nullptr) : view_(view) {}

    std::int64_t Append(const CheckedPath& path, const std::string& displayName, int duration) override;
    void PlaceInTree(std::int64_t id, const std::string& subfolder) override;
    // False when no job has this id.
    bool Remove(std::int64_t id);

    [[nodiscard]] int Count() const noexcept { return static_cast<int>(jobs_.size()); }
    // By place in the list, as the rows show them; index must be below Count().
    [[nodiscard]] const Job& At(int index) const { return jobs_.at(static_cast<std::size_t>(index)); }
    [[nodiscard]] const Job* Find(std::int64_t id) const;
    [[nodiscard]] int IndexOf(std::int64_t id) const;  // -1 when the job is gone
    // The first job still to do; nothing when none is.
    [[nodiscard]] const Job* FirstPending() const;
    [[nodiscard]] int CountIn(JobState state) const;
    // The id the next appended job gets: jobs from it on were appended after this call.
    [[nodiscard]] std::int64_t NextId() const noexcept { return nextId_; }

    // Changes of one job; each is shown at once. False when the job is gone.
    bool SetState(std::int64_t id, JobState state);
    bool Start(std::int64_t id, const std::string& output);
    bool SetPercent(std::int64_t id, std::int64_t percent);  // it converts: measuring has ended
    bool SetMeasuring(std::int64_t id);                      // until its next percent or state
    bool Finish(std::int64_t id, Failure failure);           // Done for Failure::None, else Failed

    // The cells of the row at `index`, as shown; empty past the end.
    [[nodiscard]] std::string Progress(int index) const;
    [[nodiscard]] std::string Converted(int index) const;
    [[nodiscard]] std::string Path(int index) const;
    [[nodiscard]] Failure FailureAt(int index) const;

private:
    template <class Change>
    bool Update(std::int64_t id, Change change);

    IJobView* view_;
    std::vector<Job> jobs_;
    std::int64_t nextId_ = 1;
};

}  // namespace kv
