// The duration probe, as the window and its tests reach it.
#include "convert/job_rules.h"
#include "ui/main_form.h"

namespace kv {

std::optional<std::string> TfrmMain::ProbeAnswer(const std::string& path) { return probe_->Answer(path); }

int TfrmMain::ProbeDuration(const std::string& firstLine) { return StoredDuration(firstLine); }

}  // namespace kv
