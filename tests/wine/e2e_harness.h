// What the Windows-side end-to-end tests share: package folders under a
// scratch root, and one run of a program with exact command line, bound
// standard streams and the stand-in PowerShell's record read back.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

extern const std::string PausePrompt;
extern const std::string FailureMessage;

std::wstring WindowsDirectory();
// Where the launcher expects Windows PowerShell, and the stand-in lies.
std::wstring PowerShellPath();

// Moves the stand-in away for the life of the object.
struct PowerShellAbsent {
  PowerShellAbsent();
  ~PowerShellAbsent();
  PowerShellAbsent(const PowerShellAbsent &) = delete;
  PowerShellAbsent &operator=(const PowerShellAbsent &) = delete;
};

// The file whose Linux path CTest put in an environment variable, as Wine
// sees it: / is drive Z:.
std::wstring FileNamedBy(const char *variable);

// A package folder under the scratch root, holding copies of the launcher
// (LAUNCHER_EXE) and the command script (COMMAND_SCRIPT) where CTest names
// them; returned with its trailing backslash.
std::wstring MakePackage(const std::wstring &name);

// The line the launcher gives PowerShell for a script in `folder`; `rest` is
// what follows the closing quote and space of the script path.
std::wstring ExpectedChildLine(const std::wstring &folder, const wchar_t *script,
                               const std::wstring &rest);

// Sets an environment variable, inherited by what the test starts, for the
// life of the object; nullptr removes it.
struct VariableSet {
  VariableSet(const wchar_t *name, const wchar_t *value);
  ~VariableSet();
  VariableSet(const VariableSet &) = delete;
  VariableSet &operator=(const VariableSet &) = delete;
  const wchar_t *Name;
  bool Existed = false;
  std::wstring Saved;
};

// The environment that a PowerShell 7 console gives what it starts: its own
// module folders first in PSModulePath, and another variable beside it. The
// stand-in reports both when it has them; only the other may arrive.
struct FromPowerShell7 {
  VariableSet ModulePath{L"PSModulePath",
                         L"C:\\Users\\u\\Documents\\PowerShell\\Modules;"
                         L"C:\\Program Files\\PowerShell\\7\\Modules;"
                         L"C:\\Windows\\system32\\WindowsPowerShell\\v1.0\\Modules"};
  VariableSet Beside{L"YORN_BESIDE", L"kept"};
  VariableSet Reported{L"STAND_IN_VARIABLES", L"PSModulePath YORN_BESIDE"};
};
extern const std::string ArrivedFromPowerShell7; // what the stand-in reports

enum class Input { Enter, EmptyFile, ClosedPipe, NoHandle };

struct Outcome {
  DWORD ExitCode = 0;
  std::string Output;
  std::string ErrorOutput;
  LONGLONG InputRead = -1; // bytes taken from a file on standard input
  // True once the stand-in's whole record is there; when false, its message
  // tells a child that never ran from one that ran but left no record.
  testing::AssertionResult ChildRan = testing::AssertionFailure() << "the child never ran";
  std::wstring ChildCommandLine;
  std::wstring ChildDirectory;
  bool ChildInherited = false; // the child set an event through a handle it inherited
  // A NAME=VALUE line for each variable named in STAND_IN_VARIABLES that
  // reached the child.
  std::wstring ChildVariables;
  std::vector<std::wstring> ChildArguments;
  // Files that appeared in the case's folder, the started program's current
  // directory, besides the streams and the record.
  std::vector<std::wstring> StrayFiles;
};

// Starts `program` with exactly `commandLine`, in a folder of its own for the
// case, standard output and error bound to files there and standard input as
// `standardInput` says; the stand-in PowerShell is told to exit with
// `childExitCode` and to write `childSays` to its standard output. A start
// that Wine itself refuses is tried again, a few times at most, and counted.
Outcome LaunchAndRecord(const std::wstring &program, const std::wstring &commandLine,
                        DWORD childExitCode = 0, Input standardInput = Input::Enter,
                        const std::wstring &childSays = L"");

// The whole file, or nothing when it cannot be opened.
std::string ReadWhole(const std::wstring &path);
std::string Narrow(const std::wstring &text);
std::wstring WithoutTrailingBackslash(std::wstring path);

// The names of the files and folders directly in `folder` (no "." or ".."),
// sorted, to show that a run created nothing there.
std::vector<std::wstring> NamesIn(const std::wstring &folder);
