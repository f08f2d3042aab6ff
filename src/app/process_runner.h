#pragma once
// Starting and ending external programs, and the small path utilities around them.
#include <windows.h>

#include <string>

#include "win/handle.h"

namespace kv {

// Starts "program, one blank, params" in a new console with the given show state,
// in the program's own folder. False when the command line is too long or the
// process cannot be created. The process is recorded as started by this program.
bool ShellExec(const std::string& program, const std::string& params, int visibility);

// As ShellExec, and hands back the process handle (for following a transcoder).
bool ShellExec(const std::string& program, const std::string& params, int visibility, win::UniqueHandle& process);

// As ShellExec, hidden, with the program's standard output and error going to
// `output` (an inheritable file handle).
bool ShellExecToFile(const std::string& program, const std::string& params, HANDLE output, win::UniqueHandle& process);

// As ShellExec, then waits for the process to end while painting goes on.
bool ShellExecWait(const std::string& program, const std::string& params, int visibility);

// As ShellExecWait with a time limit: a process that outlives it is ended.
// Gives false when the process could not be started or had to be ended;
// `timedOut`, when given, tells the second case from the first.
bool ShellExecWaitLimited(const std::string& program, const std::string& params, int visibility, DWORD timeoutMs,
                          bool* timedOut = nullptr);

// As ShellExecWaitLimited, hidden and without a console, with the program's
// standard output and error written to `outputFile` (created or replaced).
// The command line is UTF-16 throughout, so any file name reaches the program.
bool RunToFileLimited(const std::string& program, const std::string& params, const std::string& outputFile,
                      DWORD timeoutMs, bool* timedOut = nullptr);

// Waits until the process has ended (or the wait fails), dispatching only paint
// messages: the window repaints but input stays queued until afterwards.
// Gives false when the time limit passed first.
bool WaitForProcess(HANDLE process, DWORD timeoutMs = INFINITE);

// The program found in the current folder or along Path, or empty.
std::string LocateProgram(const std::string& exeName);

// Ends the running processes with this executable name that this program
// started itself; other programs' processes of the same name are left alone.
// Gives the result of the last termination request, false when none matched.
bool EndProcessesByName(const std::string& exeFileName);

// Ends every running process of this user whose program is the file at
// `programPath` (its full, long path), whoever started it: a transcoder left by
// an earlier copy holds the tool files. True when one was ended.
bool EndProcessesOfProgram(const std::string& programPath);

// The short (8.3) form of a path; the path itself where the system has none.
std::string ShortName(const std::string& path);

}  // namespace kv
