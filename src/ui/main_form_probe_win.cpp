// The duration probe, as the window and its tests reach it.
#include "app/settings_win.h"
#include "convert/job_rules.h"
#include "ui/main_form_win.h"

namespace kv {

std::optional<std::string> TfrmMain::ProbeAnswer(const std::string& path) {
    const auto checked = CheckPath(path, FileSystemLookup::Instance());
    if (!checked) return std::nullopt;  // the border check refuses it as the add commands would
    return probe_->Answer(*checked);
}

int TfrmMain::ProbeDuration(const std::string& firstLine) { return StoredDuration(firstLine); }

}  // namespace kv
