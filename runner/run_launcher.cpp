// The executable's entry point: the whole run, top to bottom. Every platform
// call of the launcher is made here.
#include "kernel32.h"
#include "launch_plan.h"

namespace {

// Zero-initialised: the child gets the platform's default window and
// standard-handle behaviour, which shares this console and its streams.
STARTUPINFOW StartupInformation;
PROCESS_INFORMATION ProcessInformation;
DWORD ExitStatus;
char ScratchByte;
DWORD ByteCount;

// Plain ASCII bytes for WriteFile, so that they reach a file or a pipe as
// they are; no terminating NUL is written.
const char StartFailureMessage[] =
    "Unable to start Windows PowerShell. Run Install-Yorn-UI.cmd from the extracted package.\r\n";
const char PausePrompt[] = "\r\nPress Enter to close this window.\r\n";

constexpr DWORD ModuleCapacity = TextBufferUnits;
// Far below the buffer's size, so that the PowerShell suffix always fits.
constexpr DWORD WindowsDirectoryCapacity = 32000;

} // namespace

extern "C" [[noreturn]] void RunLauncher() {
  // A length equal to the capacity means the path was cut, 0 a failure.
  DWORD length = GetModuleFileNameW(nullptr, ModuleDirectory, ModuleCapacity);
  ExitStatus = 1;
  if (length == 0 || length >= ModuleCapacity) {
    ExitProcess(1);
  }
  DeriveModuleDirectory(length);

  // A directory that does not fit is reported as the size it needs.
  length = GetWindowsDirectoryW(PowerShellPath, WindowsDirectoryCapacity);
  if (length == 0 || length >= WindowsDirectoryCapacity) {
    ExitProcess(1);
  }
  DerivePowerShellPath(length);

  const LaunchRequest request = ScanCommandLine(GetCommandLineW());
  AssembleChildCommandLine(request);

  // PowerShell 7 puts its own module folders first in PSModulePath and takes
  // them out again only for a powershell.exe that it starts itself; through
  // the launcher, Windows PowerShell would find 7's copies of its own modules
  // first and fail to load them. Without the variable it builds its own
  // default. Nothing else of the environment changes.
  SetEnvironmentVariableW(u"PSModulePath", nullptr);

  // The full application name keeps the platform from searching for the
  // executable. Inherited handles let redirected standard streams reach the
  // child; the empty environment pointer passes ours on. An empty directory
  // is passed as "", never as a missing one.
  StartupInformation.cb = sizeof StartupInformation;
  if (CreateProcessW(PowerShellPath, ChildCommandLine, nullptr, nullptr, 1, 0, nullptr,
                     ModuleDirectory, &StartupInformation, &ProcessInformation) != 0) {
    WaitForSingleObject(ProcessInformation.hProcess, INFINITE);
    GetExitCodeProcess(ProcessInformation.hProcess, &ExitStatus);
    CloseHandle(ProcessInformation.hThread);
    CloseHandle(ProcessInformation.hProcess);
  } else {
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), StartFailureMessage, sizeof StartFailureMessage - 1,
              &ByteCount, nullptr);
  }

  // Nothing after the name (or the switch) means a double-click: keep the
  // window open, message included, until Enter or the end of the input.
  if (TailIsEmpty(request)) {
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), PausePrompt, sizeof PausePrompt - 1, &ByteCount,
              nullptr);
    ReadFile(GetStdHandle(STD_INPUT_HANDLE), &ScratchByte, 1, &ByteCount, nullptr);
  }
  ExitProcess(ExitStatus);
}
