#pragma once
// The job list: the visible list with its five columns and the two hidden lists
// of paths and durations, always holding one entry per row at the same index.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "convert/add_commands.h"
#include "convert/conversion_run.h"

namespace kv {

class JobList final : public IJobTable, public IJobSink {
public:
    JobList(HWND listView, HWND pathsList, HWND durationsList);

    // Appends to all three lists: path, duration, then the row
    // "MP4" | display name | "Pending" | "" | "X". Gives the row's id.
    std::int64_t Append(const CheckedPath& path, const std::string& displayName, int duration) override;
    // Removes one index from all three: durations, paths, then the row.
    void Remove(int index);

    [[nodiscard]] int Count() const override;
    [[nodiscard]] int Selected() const;  // -1 when no row is selected
    [[nodiscard]] std::string Progress(int index) const override;
    void SetProgress(int index, const std::string& text) override;
    [[nodiscard]] std::string Converted(int index) const;
    void SetConverted(int index, const std::string& text) override;
    // The row's input, as it was added: never read back from the hidden
    // store, which any program on the desktop can rewrite.
    [[nodiscard]] std::optional<CheckedPath> Input(int index) const override;
    [[nodiscard]] std::string Path(int index) const;
    [[nodiscard]] std::string Duration(int index) const override;
    [[nodiscard]] std::string Cell(int index, int column) const;

    // Rows keep an id for life, so a run can follow its own row when rows above it go.
    [[nodiscard]] std::int64_t IdAt(int index) const override;
    [[nodiscard]] int IndexOf(std::int64_t id) const override;  // -1 when the row is gone
    void SetFailure(int index, Failure failure) override;
    // Why the row failed; Failure::None for a row that has not.
    [[nodiscard]] Failure FailureAt(int index) const;

    [[nodiscard]] HWND ListView() const noexcept { return list_; }

private:
    HWND list_, paths_, durations_;
    std::int64_t nextId_ = 1;
    std::map<std::int64_t, Failure> failures_;
    std::map<std::int64_t, CheckedPath> inputs_;
};

}  // namespace kv
