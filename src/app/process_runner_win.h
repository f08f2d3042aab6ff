#pragma once
// Starting and ending external programs, and the small path utilities around
// them. Every program is started by Launch.
#include <windows.h>

#include <string>
#include <vector>

#include "win/handle.h"

namespace kv {

struct LaunchOptions {
    std::string program;
    // The parameters after "program, one blank": a line already built with the
    // quoting rules (runner_text.h), then each of `arguments`, quoted as the
    // C run-time reads it back.
    std::string parameters;
    std::vector<std::string> arguments;
    std::string folder;  // where it runs; empty: the program's own folder
    int show = SW_SHOWNORMAL;
    // A console of its own, or none at all: then no console host outlives the
    // child holding its output file, and none has to start. A batch file always
    // gets one: its interpreter needs it.
    bool console = true;
    // In a job object of its own, so that a time limit also ends its children
    // (a batch file's tool); the job ends them all when this process ends.
    bool inJob = false;
    // Ended with this process, however it ends (End task, a crash): in the
    // process-wide job that kills what it holds when its last handle closes.
    bool endWithUs = false;
    // Below normal priority, so that the desktop stays responsive while it works.
    bool belowNormal = false;
    bool wait = false;             // wait for its end, painting meanwhile
    DWORD timeLimitMs = INFINITE;  // with wait: a process that outlives it is ended
    HANDLE stop = nullptr;         // with wait: an event that ends the process as the time limit does
    // Its standard output and error: a handle of the caller's, or a file created
    // (or replaced) for it. Either is the one handle the child inherits.
    HANDLE output = nullptr;
    std::string outputFile;
};

struct LaunchResult {
    enum class Outcome : std::uint8_t {
        Started,     // running; `process` follows it
        Ended,       // waited for to its end
        TimedOut,    // outlived its time limit and was ended
        NotStarted,  // no such program, a line too long, an output file that cannot be made
    };
    Outcome outcome = Outcome::NotStarted;
    win::UniqueHandle process;  // when started and not waited for
    DWORD exitCode = 0;         // when waited for to its end
    [[nodiscard]] bool Ran() const noexcept { return outcome == Outcome::Started || outcome == Outcome::Ended; }
};

// The priority the tools (transcoders and probes) start at, as the user chose:
// below normal unless set otherwise. Read by whichever thread starts one.
void SetToolsBelowNormal(bool belowNormal) noexcept;
[[nodiscard]] bool ToolsBelowNormal() noexcept;

// Starts "program, one blank, parameters" (runner_text.h's BuildCommandLine).
// Not started when the line is too long or the process cannot be created. A
// program named without a folder, found in the current folder or along Path,
// runs in the folder where it was found. While waiting, only paint messages are
// dispatched: the window repaints, but input stays queued until afterwards.
LaunchResult Launch(const LaunchOptions& options);

// Ends the running processes with this executable name that this program
// started itself (its own children); other programs' processes of the same
// name are left alone.
// Gives the result of the last termination request, false when none matched.
bool EndProcessesByName(const std::string& exeFileName);

// Ends every running process of this user whose program is the file at
// `programPath` (its full, long path), whoever started it: a transcoder left by
// an earlier copy holds the tool files. True when one was ended.
bool EndProcessesOfProgram(const std::string& programPath);

// The short (8.3) form of a path; the path itself where the system has none.
std::string ShortName(const std::string& path);

}  // namespace kv
