#pragma once
// Commands about processes, files, the registry, the keyboard and timing.
#include <windows.h>

#include <string>
#include <vector>

namespace kvdrive {

int CountInstances();
int Priorities(const std::wstring& exe);
int CountProcesses(const std::wstring& exe);
int Attributes(const std::wstring& path);
// Ends the program's own processes of that file name with that exit code.
int KillChild(const std::wstring& exe, DWORD code = 9);
int AnswerBox(double seconds);
int Handles();
int RegistryAccess(const std::wstring& subKey, const std::wstring& how);
int ListFiles(const std::wstring& pattern);
int LockFile(const std::wstring& path, double seconds);
int Close();
int Keys(const std::vector<std::wstring>& names);
int WaitExit(double seconds);
int ControlText(const std::wstring& name);
int WindowRect();
int Memory();
int LaunchTime(const std::wstring& exe, const std::wstring& cls, int runs, const std::wstring& how);
int TimeRun(int runs, std::vector<std::wstring> argv);
int WriteFiles(const std::wstring& dir, const std::vector<std::wstring>& sources);
int HoldDesktop(double seconds);

}  // namespace kvdrive
