#pragma once
// Temporary MP3s left by copies of the program that no longer run (a crash,
// End task, a log-off that did not wait): found where the last runs wrote and
// deleted at start. A file of a copy that still runs, or of a process this
// user cannot ask about, stays.
#include <cstdint>
#include <string>
#include <vector>

#include "convert/job_rules.h"

namespace kv {

// This process's tag for its temporary MP3s.
PartTag OwnPartTag(std::int64_t jobId);

// Whether the process of the tag still runs (the same process: its start time
// matches); also true when that cannot be told, and for another PC's file.
bool PartWriterRuns(const PartTag& tag);

// Deletes the temporary MP3s in `folder` whose writers no longer run; how many went.
int SweepStaleParts(const std::string& folder);
// The same for each folder, on a thread of its own: a folder on a share that
// is slow or offline must not hold up the window.
void SweepStalePartsLater(std::vector<std::string> folders);

// The folders where runs wrote, as the settings remember them, and one more to remember.
std::vector<std::string> RememberedPartFolders();
void RememberPartFolder(const std::string& folder);

}  // namespace kv
