// The launcher and the command script with real PowerShell in the loop: the
// stand-in hands the arguments that the C runtime splits from its command
// line to pwsh on the Linux side (tests/powershell/broker.sh runs this), so
// that the scripts really run and their parameters really bind, and the
// output, exit code and pause seen here are PowerShell's own. Two pairs of
// scripts: the package's default pair, and a pair that reports what it was
// bound (tests/powershell/binding-pair); and an install script that loads a
// module (tests/powershell/module-script). pwsh on Linux ends with 8 bits of
// its exit code; the launcher's 32 bits are proven against the stand-in.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

enum class Pair { Default, Binding, Module };
// Every row runs the launcher; rows marked Both run the command script too.
enum class Via { Launcher, Both };

struct ReplayRow {
  Pair Scripts;
  Via Programs;
  const wchar_t *Tail;  // what follows the program's name
  DWORD ScriptExitCode; // what the binding pair is told to exit with
  std::string Output;   // the script's, {folder} standing for its Linux path
  std::string ErrorOutput;
  DWORD ExitCode;
};

// What the default scripts print around the lines that tell what they got.
std::string Installed(const std::string &lines) {
  return "Yorn UI install, package folder: {folder}\n" + lines +
         "This is the default install script: nothing was changed.\n";
}
std::string Optimized(const std::string &lines) {
  return "Yorn UI optimisation, package folder: {folder}\n" + lines +
         "This is the default optimisation script: nothing was changed.\n";
}
// PowerShell's refusal of an -FPS below the default script's range.
std::string BelowRange(const std::string &value) {
  return "Optimize-Yorn-UI.ps1: Cannot validate argument on parameter 'FPS'. The " + value +
         " argument is less than the minimum allowed range of 30. Supply an argument that is "
         "greater than or equal to 30 and then try the command again.\n";
}

const ReplayRow Replays[] = {
    // The README's usage table, row by row, with the default pair.
    {Pair::Default, Via::Both, L"", 0, Installed("Arguments: none\n"), "", 0},
    {Pair::Default, Via::Both, L"a \"b c\"", 0, Installed("Arguments: [a] [b c]\n"), "", 0},
    {Pair::Default, Via::Both, L"--optimize", 0, Optimized("Frame rate: left as it is\n"), "", 0},
    {Pair::Default, Via::Both, L"--optimize 144", 0, Optimized("Frame rate: 144\n"), "", 0},
    {Pair::Default, Via::Both, L"--optimize -FPS 60 -Verbose x", 0,
     Optimized("Frame rate: 60\nOther arguments: [x]\n"), "", 0},
    // PowerShell refuses what the default pair does not take.
    {Pair::Default, Via::Both, L"--optimize 5", 0, "", BelowRange("5"), 1},
    {Pair::Default, Via::Launcher, L"--optimize -1", 0, "", BelowRange("-1"), 1},
    // Quoted, the value goes to -FPS; unquoted by the split, it reads as a name.
    {Pair::Default, Via::Launcher, L"--optimize \"-Verbose\"", 0, "",
     "Optimize-Yorn-UI.ps1: Missing an argument for parameter 'FPS'. Specify a parameter of type "
     "'System.Int32' and try again.\n",
     1},
    {Pair::Default, Via::Launcher, L"-X 1", 0, Installed("Arguments: [-X] [1]\n"), "", 0},
    {Pair::Default, Via::Launcher, L"-o x", 0, "",
     "Install-Yorn-UI.ps1: Parameter cannot be processed because the parameter name 'o' is "
     "ambiguous. Possible matches include: -OutVariable -OutBuffer.\n",
     1},
    // What a script receives (docs/package-authors.md), from the binding pair.
    {Pair::Binding, Via::Launcher, L"--optimize 144", 0, "Optimize-Yorn-UI.ps1\nFPS Int32 [144]\n",
     "", 0},
    {Pair::Binding, Via::Launcher, L"--optimize \"60\"", 0,
     "Optimize-Yorn-UI.ps1\nFPS Int32 [60]\n", "", 0},
    {Pair::Binding, Via::Launcher, L"--optimize -1", 0, "Optimize-Yorn-UI.ps1\nFPS Int32 [-1]\n",
     "", 0},
    {Pair::Binding, Via::Launcher, L"--optimize -FPS 60 -Verbose", 0,
     "Optimize-Yorn-UI.ps1\nFPS Int32 [60]\nVerbose SwitchParameter [True]\n", "", 0},
    {Pair::Binding, Via::Launcher, L"--optimize", 0, "Optimize-Yorn-UI.ps1\nnothing bound\n", "",
     0},
    {Pair::Binding, Via::Launcher, L"-X 1", 0,
     "Install-Yorn-UI.ps1\nRest String [-X]\nRest String [1]\n", "", 0},
    {Pair::Binding, Via::Launcher, L"-v x", 0,
     "Install-Yorn-UI.ps1\nVerbose SwitchParameter [True]\nRest String [x]\n", "", 0},
    {Pair::Binding, Via::Launcher, L"\"C:\\Games\\Yorn UI\\config.ini\" -Verbose", 0,
     "Install-Yorn-UI.ps1\nVerbose SwitchParameter [True]\n"
     "Rest String [C:\\Games\\Yorn UI\\config.ini]\n",
     "", 0},
    // A quoted path that ends in a backslash: the C runtime reads \" as a
    // quote inside the argument, which then runs on to the end of the line.
    {Pair::Binding, Via::Launcher, L"\"C:\\Program Files\\\" -Verbose", 0,
     "Install-Yorn-UI.ps1\nRest String [C:\\Program Files\" -Verbose]\n", "", 0},
    // Where the C runtime and CommandLineToArgvW part: "" inside quotes.
    {Pair::Binding, Via::Launcher, L"\"a b\"\"c d\" e", 0,
     "Install-Yorn-UI.ps1\nRest String [a b\"c d]\nRest String [e]\n", "", 0},
    {Pair::Binding, Via::Both, L"caf\u00e9 \u6d4b\u8bd5", 0,
     "Install-Yorn-UI.ps1\nRest String [caf\u00e9]\nRest String [\u6d4b\u8bd5]\n", "", 0},
    {Pair::Binding, Via::Launcher, L"--optimize -FPS:90 -Name:a", 0,
     "Optimize-Yorn-UI.ps1\nFPS Int32 [90]\nRest String [-Name]\nRest String [a]\n", "", 0},
    {Pair::Binding, Via::Both, L"x", 7, "Install-Yorn-UI.ps1\nRest String [x]\n", "", 7},
    // pwsh on Linux exits with the low 8 bits of 300; Windows keeps all 32.
    {Pair::Binding, Via::Both, L"x", 300, "Install-Yorn-UI.ps1\nRest String [x]\n", "", 300 % 256},
    // Without PSModulePath (broker.sh leaves it out, as the launcher does),
    // pwsh still loads a module's command, from its own folder.
    {Pair::Module, Via::Both, L"x", 0,
     "Get-FileHash E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855\n"
     "From PowerShell's own folder: True\n",
     "", 0},
};

// Where each pair's scripts are (a variable that names the folder), and
// which.
struct PairFiles {
  const char *Folder;
  std::vector<const wchar_t *> Scripts;
};
const PairFiles Pairs[] = {
    {"DEFAULT_SCRIPTS", {L"Install-Yorn-UI.ps1", L"Optimize-Yorn-UI.ps1"}},
    {"BINDING_SCRIPTS", {L"Install-Yorn-UI.ps1", L"Optimize-Yorn-UI.ps1", L"Show-Binding.ps1"}},
    {"MODULE_SCRIPTS", {L"Install-Yorn-UI.ps1"}},
};

// A package folder with the launcher, the command script and `pair`.
std::wstring PackageWith(const std::wstring &name, Pair pair) {
  const std::wstring folder = MakePackage(name);
  const PairFiles &files = Pairs[static_cast<int>(pair)];
  for (const wchar_t *script : files.Scripts) {
    EXPECT_TRUE(CopyFileW((FileNamedBy(files.Folder) + L"\\" + script).c_str(),
                          (folder + script).c_str(), FALSE))
        << Narrow(script);
  }
  return folder;
}

void TellExitCode(const std::wstring &folder, DWORD code) {
  HANDLE file = CreateFileW((folder + L"exit-code.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const std::string text = std::to_string(code);
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

// A folder on C: as pwsh on the Linux side sees it: in the prefix's drive_c,
// without its trailing slash.
std::string LinuxPath(const std::wstring &folder) {
  const char *prefix = getenv("WINEPREFIX");
  std::string path = std::string(prefix == nullptr ? "" : prefix) + "/drive_c";
  for (const char c : Narrow(WithoutTrailingBackslash(folder).substr(2))) {
    path += c == '\\' ? '/' : c;
  }
  return path;
}

std::string WithFolder(std::string text, const std::string &folder) {
  const std::string mark = "{folder}";
  for (size_t at; (at = text.find(mark)) != std::string::npos;) {
    text.replace(at, mark.size(), folder);
  }
  return text;
}

std::wstring CommandScriptLine(const std::wstring &folder, const std::wstring &tail) {
  return L"cmd.exe /d /c \"\"" + folder + L"Install-Yorn-UI.cmd\" " + tail + L"\"";
}

TEST(RealPowerShell, RunsTheScriptsAsTheyBind) {
  const std::wstring folders[] = {PackageWith(L"real default", Pair::Default),
                                  PackageWith(L"real binding", Pair::Binding),
                                  PackageWith(L"real module", Pair::Module)};
  const std::wstring interpreter = WindowsDirectory() + L"\\system32\\cmd.exe";
  for (const ReplayRow &row : Replays) {
    SCOPED_TRACE(Narrow(row.Tail));
    const std::wstring &folder = folders[static_cast<int>(row.Scripts)];
    TellExitCode(folder, row.ScriptExitCode);
    const bool pauses = row.Tail[0] == 0 || std::wstring(row.Tail) == L"--optimize";
    const std::string output =
        WithFolder(row.Output, LinuxPath(folder)) + (pauses ? PausePrompt : "");

    for (const bool viaCommandScript : {false, true}) {
      if (viaCommandScript && row.Programs != Via::Both) {
        continue;
      }
      SCOPED_TRACE(viaCommandScript ? "Install-Yorn-UI.cmd" : "Install-Yorn-UI.exe");
      const Outcome outcome =
          viaCommandScript ? LaunchAndRecord(interpreter, CommandScriptLine(folder, row.Tail))
                           : LaunchAndRecord(folder + L"Install-Yorn-UI.exe",
                                             L"l.exe " + std::wstring(row.Tail));
      EXPECT_EQ(outcome.Output, output);
      EXPECT_EQ(outcome.ErrorOutput, row.ErrorOutput);
      EXPECT_EQ(outcome.ExitCode, row.ExitCode);
    }
  }
}

} // namespace

// What a user sees in two folders that go wrong in Windows PowerShell 5.1.
TEST(RealPowerShell, ShowsWhatAUserSees) {
  // Started from inside the zip: Explorer extracts the launcher alone.
  const std::wstring zip = MakePackage(L"real zip");
  const Outcome alone = LaunchAndRecord(zip + L"Install-Yorn-UI.exe", L"l.exe x");
  EXPECT_EQ(alone.ErrorOutput,
            "The argument '" + LinuxPath(zip) +
                "/Install-Yorn-UI.ps1' is not recognized as the name of a "
                "script file. Check the spelling of the name, or if a path "
                "was included, verify that the path is correct and try again.\n");
  EXPECT_EQ(alone.Output.rfind("\nUsage: pwsh[.exe] ", 0), 0u) << alone.Output;
  EXPECT_EQ(alone.ExitCode, 64u);

  // Brackets in the folder's name: PowerShell 7 takes the -File path
  // literally (5.1 reads it as a wildcard pattern, and finds no script).
  const std::wstring brackets = PackageWith(L"Yorn UI [1.0]", Pair::Default);
  const Outcome found = LaunchAndRecord(brackets + L"Install-Yorn-UI.exe", L"l.exe x");
  EXPECT_EQ(found.Output, WithFolder(Installed("Arguments: [x]\n"), LinuxPath(brackets)));
  EXPECT_EQ(found.ExitCode, 0u);
}

// The requests that stand-ins have left in `folder`.
std::vector<std::wstring> Requests(const std::wstring &folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*.request").c_str(), &found);
  for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found)) {
    names.push_back(folder + L"\\" + found.cFileName);
  }
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
  }
  return names;
}

// Ctrl+C while the script runs: the launcher has no handler of its own, so
// it ends at once, as every console program without one does (Windows gives
// such a program 0xC000013A, STATUS_CONTROL_C_EXIT), without pausing and
// whatever code PowerShell, which handles the event itself, then ends with.
// The launcher's child handles Ctrl+C and exits with 5; a stand-in beside
// it in the same console that does not handle it shows what the system
// gives a program without a handler. Needs a console: ctrl-c-test.sh runs
// this once under a pseudo-terminal, and counts a skip as a failure.
TEST(CtrlC, EndsTheLauncherAsAProgramWithoutAHandler) {
  if (GetConsoleWindow() == nullptr) {
    GTEST_SKIP() << "no console; ctrl-c-test.sh runs this under a pseudo-terminal";
  }
  const std::wstring folder = MakePackage(L"ctrl-c");
  // A folder that nobody serves: the stand-ins wait there for an answer.
  const std::wstring waiting = L"C:\\yorn-e2e\\unanswered";
  CreateDirectoryW(waiting.c_str(), nullptr);
  for (const std::wstring &stale : Requests(waiting)) {
    DeleteFileW(stale.c_str());
  }
  SetEnvironmentVariableW(L"STAND_IN_BROKER", waiting.c_str());
  SetEnvironmentVariableW(L"STAND_IN_EXIT_CODE", L"5");
  PROCESS_INFORMATION launcher{};
  PROCESS_INFORMATION bystander{};
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  std::wstring launcherLine = L"l.exe x";
  std::wstring bystanderLine = L"powershell.exe -File x.ps1";
  SetEnvironmentVariableW(L"STAND_IN_CTRL_C", L"1");
  ASSERT_TRUE(CreateProcessW((folder + L"Install-Yorn-UI.exe").c_str(), launcherLine.data(),
                             nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &launcher));
  SetEnvironmentVariableW(L"STAND_IN_CTRL_C", nullptr);
  ASSERT_TRUE(CreateProcessW(PowerShellPath().c_str(), bystanderLine.data(), nullptr, nullptr,
                             FALSE, 0, nullptr, nullptr, &startup, &bystander));
  // Both stand-ins have asked and wait; the launcher waits for its own.
  for (int waited = 0; waited < 1000 && Requests(waiting).size() < 2; ++waited) {
    Sleep(10);
  }
  ASSERT_EQ(Requests(waiting).size(), 2u);

  SetConsoleCtrlHandler(nullptr, TRUE); // this test itself ignores the event
  EXPECT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  EXPECT_EQ(WaitForSingleObject(launcher.hProcess, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(WaitForSingleObject(bystander.hProcess, 10000), WAIT_OBJECT_0);
  DWORD launcherCode = 0;
  DWORD bystanderCode = 0;
  GetExitCodeProcess(launcher.hProcess, &launcherCode);
  GetExitCodeProcess(bystander.hProcess, &bystanderCode);
  EXPECT_EQ(launcherCode, bystanderCode);
  EXPECT_NE(launcherCode, 5u) << "the launcher waited for its child and passed its code on";
  printf("After Ctrl+C the launcher exits with 0x%lX, a program without a handler with 0x%lX\n",
         launcherCode, bystanderCode);
  for (const PROCESS_INFORMATION &process : {launcher, bystander}) {
    TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  for (const std::wstring &request : Requests(waiting)) {
    DeleteFileW(request.c_str());
  }
}
