#pragma once
// A running job of the conversion run: its transcoder, timer and files. Shared
// by the run's two source files only.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/media_plan.h"

namespace kv {

// One MP3 a job writes: the whole file's, or one chapter's.
struct JobOutput {
    std::string named;     // its name before any number was added
    std::string path;      // the name it takes
    std::string partial;   // where it is written until whole; empty once named or gone
    bool skipped = false;  // its name was taken meanwhile, and the user chose to skip
};

struct ConversionRun::Job {
    explicit Job(CheckedPath input) : source(std::move(input)) {}
    [[nodiscard]] const std::string& Input() const noexcept { return source.Text(); }

    std::int64_t id = 0;
    TAdvancedTimer* timer = nullptr;  // deleted when the job ends
    std::unique_ptr<ITranscoder> transcoder;
    CheckedPath source;
    std::string args;
    std::vector<JobOutput> outs;  // never empty
    ConversionChoices choices;
    OutputPlan plan;
    bool reading = false;       // the transcoder only reports what the file holds, or measures it
    bool checking = false;      // the transcoder measures the MP3 as written
    bool checked = false;       // the MP3 as written was measured once
    double readTo = -1;         // how far into the file a reading transcoder last said it was
    std::int64_t duration = 0;  // the stored duration
    std::int64_t expectedSize = 0;
    std::int64_t percent = 0;
    std::optional<Failure> verdict;  // once the transcoder has ended and its output was judged
    bool secondStartLeft = true;     // it may start its transcoder once more
    // The outputs' size when it last grew, and when that was.
    std::int64_t grownTo = -1;
    std::uint64_t grownAtMs = 0;

    [[nodiscard]] JobOutput& First() { return outs.front(); }
    [[nodiscard]] const JobOutput& First() const { return outs.front(); }
};

}  // namespace kv
