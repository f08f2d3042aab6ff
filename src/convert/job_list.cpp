#include "convert/job_list.h"

#include <algorithm>

#include "app/texts.h"
#include "convert/job_rules.h"

namespace kv {

std::string ProgressText(const Job& job) {
    switch (job.state) {
    case JobState::Pending:
        return Tr(TextId::PendingState);
    case JobState::Running:
        if (job.measuring) return Tr(TextId::MeasuringState);
        // Until its first measure a running row still reads as it did.
        return job.percent ? PercentText(*job.percent) : Tr(TextId::PendingState);
    case JobState::Done:
        return Tr(TextId::DoneState);
    case JobState::Failed:
        return Tr(TextId::FailedState);
    case JobState::Skipped:
        return Tr(TextId::SkippedState);
    }
    return {};
}

std::string ConvertedText(const Job& job) {
    return job.state == JobState::Done ? std::string(kConvertedMark) : std::string();
}

std::int64_t JobList::Append(const CheckedPath& path, const std::string& displayName, int duration) {
    jobs_.push_back(Job{nextId_++, path, displayName, duration});
    if (view_) view_->Added(jobs_.back());
    return jobs_.back().id;
}

void JobList::PlaceInTree(std::int64_t id, const std::string& subfolder) {
    for (Job& job : jobs_)
        if (job.id == id) job.subfolder = subfolder;
}

bool JobList::Remove(std::int64_t id) {
    const int index = IndexOf(id);
    if (index < 0) return false;
    jobs_.erase(jobs_.begin() + index);
    if (view_) view_->Removed(index);
    return true;
}

const Job* JobList::Find(std::int64_t id) const {
    const int index = IndexOf(id);
    return index < 0 ? nullptr : &jobs_[static_cast<std::size_t>(index)];
}

int JobList::IndexOf(std::int64_t id) const {
    for (std::size_t i = 0; i < jobs_.size(); ++i)
        if (jobs_[i].id == id) return static_cast<int>(i);
    return -1;
}

const Job* JobList::FirstPending() const {
    for (const Job& job : jobs_)
        if (job.state == JobState::Pending) return &job;
    return nullptr;
}

int JobList::CountIn(JobState state) const {
    int n = 0;
    for (const Job& job : jobs_) n += job.state == state ? 1 : 0;
    return n;
}

template <class Change>
bool JobList::Update(std::int64_t id, Change change) {
    const int index = IndexOf(id);
    if (index < 0) return false;
    Job& job = jobs_[static_cast<std::size_t>(index)];
    change(job);
    if (view_) view_->Changed(index, job);
    return true;
}

bool JobList::SetState(std::int64_t id, JobState state) {
    return Update(id, [state](Job& job) {
        job.state = state;
        job.percent.reset();
        job.measuring = false;
        if (state != JobState::Failed) job.failure = Failure::None;
    });
}

bool JobList::Start(std::int64_t id, const std::string& output) {
    return Update(id, [&output](Job& job) {
        job.state = JobState::Running;
        job.percent.reset();
        job.measuring = false;
        job.output = output;
    });
}

bool JobList::SetPercent(std::int64_t id, std::int64_t percent) {
    return Update(id, [percent](Job& job) {
        job.percent = percent;
        job.measuring = false;
    });
}

bool JobList::SetMeasuring(std::int64_t id) {
    return Update(id, [](Job& job) {
        job.percent.reset();
        job.measuring = true;
    });
}

bool JobList::Finish(std::int64_t id, Failure failure) {
    return Update(id, [failure](Job& job) {
        job.state = failure == Failure::None ? JobState::Done : JobState::Failed;
        job.percent.reset();
        job.measuring = false;
        job.failure = failure;
    });
}

std::string JobList::Progress(int index) const {
    return index >= 0 && index < Count() ? ProgressText(At(index)) : std::string();
}

std::string JobList::Converted(int index) const {
    return index >= 0 && index < Count() ? ConvertedText(At(index)) : std::string();
}

std::string JobList::Path(int index) const {
    return index >= 0 && index < Count() ? At(index).input.Text() : std::string();
}

Failure JobList::FailureAt(int index) const {
    return index >= 0 && index < Count() ? At(index).failure : Failure::None;
}

}  // namespace kv
