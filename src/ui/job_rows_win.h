#pragma once
// The jobs as the window shows them: a row of the list view per job, and its
// path and stored duration in the two hidden stores, always at the same index.
// Written from the job list only; what another program writes here changes
// nothing the program does.
#include <windows.h>

#include <string>

#include "convert/job_list.h"

namespace kv::ui {

class JobRows final : public IJobView {
public:
    JobRows(HWND listView, HWND pathsStore, HWND durationsStore)
        : list_(listView), paths_(pathsStore), durations_(durationsStore) {}

    // kind ("MP4", "MKV" ...) | display name | progress | converted | "X"; the path and the duration.
    void Added(const Job& job) override;
    void Changed(int index, const Job& job) override;
    // Durations, paths, then the row.
    void Removed(int index) override;

    [[nodiscard]] int Selected() const;  // -1 when no row is selected
    [[nodiscard]] std::string Cell(int index, int column) const;
    [[nodiscard]] HWND ListView() const noexcept { return list_; }

private:
    void SetCell(int index, int column, const std::string& text);

    HWND list_, paths_, durations_;
};

}  // namespace kv::ui
