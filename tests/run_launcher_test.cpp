#include <gtest/gtest.h>

#include <string>

#include "fake_kernel32.h"

namespace {

// Every path that starts the child removes PSModulePath first.
const std::string Start = "GetModuleFileNameW GetWindowsDirectoryW GetCommandLineW "
                          "SetEnvironmentVariableW(PSModulePath, null) CreateProcessW";
const std::string ChildRan =
    Start + " WaitForSingleObject GetExitCodeProcess CloseHandle CloseHandle";
const std::string StartFailed = Start + " GetStdHandle WriteFile";
const std::string Pause = " GetStdHandle WriteFile GetStdHandle ReadFile";

const std::string FailureMessage =
    "Unable to start Windows PowerShell. Run Install-Yorn-UI.cmd from the extracted package.\r\n";
const std::string Prompt = "\r\nPress Enter to close this window.\r\n";

struct RunRow {
  const char *Name;
  Kernel32Script Script;
  std::string Calls; // without the final ExitProcess
  DWORD ExitCode;
  std::string ErrorOutput;
  std::string Output;
};

Kernel32Script With(void (*change)(Kernel32Script &)) {
  Kernel32Script script;
  change(script);
  return script;
}

const RunRow Runs[] = {
    {"no arguments, script exits 0", With([](Kernel32Script &) {}), ChildRan + Pause, 0, "",
     Prompt},
    {"arguments, script exits 5", With([](Kernel32Script &s) {
       s.CommandLine = u"l.exe -Silent";
       s.ChildExitCode = 5;
     }),
     ChildRan, 5, "", ""},
    {"switch alone pauses", With([](Kernel32Script &s) {
       s.CommandLine = u"\"C:\\Yorn UI\\l.exe\" --optimize   ";
       s.ChildExitCode = 7;
     }),
     ChildRan + Pause, 7, "", Prompt},
    {"full 32-bit exit codes", With([](Kernel32Script &s) {
       s.CommandLine = u"l.exe x";
       s.ChildExitCode = 0xC0000005;
     }),
     ChildRan, 0xC0000005, "", ""},
    {"all bits set", With([](Kernel32Script &s) {
       s.CommandLine = u"l.exe x";
       s.ChildExitCode = 0xFFFFFFFF;
     }),
     ChildRan, 0xFFFFFFFF, "", ""},
    {"no exit code stored", With([](Kernel32Script &s) {
       s.CommandLine = u"l.exe x";
       s.ChildStoresExitCode = false;
     }),
     ChildRan, 1, "", ""},
    {"start fails without arguments", With([](Kernel32Script &s) { s.CreateProcessResult = 0; }),
     StartFailed + Pause, 1, FailureMessage, Prompt},
    {"start fails with arguments", With([](Kernel32Script &s) {
       s.CreateProcessResult = 0;
       s.CommandLine = u"l.exe --optimize 60";
     }),
     StartFailed, 1, FailureMessage, ""},
    {"own path query fails", With([](Kernel32Script &s) { s.ModuleLength = 0; }),
     "GetModuleFileNameW", 1, "", ""},
    {"own path cut at the capacity", With([](Kernel32Script &s) {
       s.ModulePath = u"D:\\" + std::u16string(32765, u'p');
       s.ModuleLength = 32768;
     }),
     "GetModuleFileNameW", 1, "", ""},
    {"own path of 32767 units", With([](Kernel32Script &s) {
       s.ModulePath = u"D:\\" + std::u16string(32764, u'p');
       s.CommandLine = u"l.exe x";
     }),
     ChildRan, 0, "", ""},
    {"Windows directory query fails", With([](Kernel32Script &s) { s.WindowsLength = 0; }),
     "GetModuleFileNameW GetWindowsDirectoryW", 1, "", ""},
    {"Windows directory needs 32000 units",
     With([](Kernel32Script &s) { s.WindowsLength = 32000; }),
     "GetModuleFileNameW GetWindowsDirectoryW", 1, "", ""},
    {"Windows directory needs far more", With([](Kernel32Script &s) { s.WindowsLength = 70000; }),
     "GetModuleFileNameW GetWindowsDirectoryW", 1, "", ""},
    {"Windows directory of 31999 units", With([](Kernel32Script &s) {
       s.WindowsDirectory = u"C:\\" + std::u16string(31996, u'w');
       s.CommandLine = u"l.exe x";
     }),
     ChildRan, 0, "", ""},
};

// Concatenates the bytes written to one standard handle.
std::string WrittenTo(const Kernel32Record &record, DWORD stdHandle) {
  std::string bytes;
  for (uint32_t i = 0; i < record.CallCount; ++i) {
    const Kernel32Call &call = record.Calls[i];
    if (call.Function == Kernel32Function::WriteFile &&
        call.Argument[0] == StdHandleBase + (0u - stdHandle)) {
      bytes.append(call.Bytes, call.ByteCount);
    }
  }
  return bytes;
}

TEST(RunLauncher, FollowsTheLaunchSequence) {
  for (const RunRow &row : Runs) {
    SCOPED_TRACE(row.Name);
    const Kernel32Record &record = RunLauncherWith(row.Script);
    EXPECT_EQ(CallSequence(record), row.Calls + " ExitProcess");
    EXPECT_EQ(record.ExitCode, row.ExitCode);
    EXPECT_EQ(WrittenTo(record, STD_ERROR_HANDLE), row.ErrorOutput);
    EXPECT_EQ(WrittenTo(record, STD_OUTPUT_HANDLE), row.Output);
  }
}

// Finds the n-th call of a function.
const Kernel32Call &Nth(const Kernel32Record &record, Kernel32Function function, int n = 0) {
  for (uint32_t i = 0; i < record.CallCount; ++i) {
    if (record.Calls[i].Function == function && n-- == 0) {
      return record.Calls[i];
    }
  }
  static const Kernel32Call none{};
  ADD_FAILURE() << "call not made";
  return none;
}

TEST(RunLauncher, StartsPowerShellAsTold) {
  Kernel32Script script;
  script.CommandLine = u"\"D:\\Pkg\\Install-Yorn-UI.exe\" --optimize 144";
  const Kernel32Record &record = RunLauncherWith(script);

  const Kernel32Call &module = Nth(record, Kernel32Function::GetModuleFileNameW);
  EXPECT_EQ(module.Argument[0], 0u); // the running executable
  EXPECT_EQ(module.Argument[2], 32768u);
  EXPECT_EQ(Nth(record, Kernel32Function::GetWindowsDirectoryW).Argument[1], 32000u);

  EXPECT_EQ(std::u16string(record.ApplicationName),
            u"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe");
  EXPECT_EQ(std::u16string(record.CommandLine),
            u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo "
            u"-NoProfile -ExecutionPolicy Bypass -File \"D:\\Pkg\\Optimize-Yorn-UI.ps1\" -FPS 144");
  EXPECT_TRUE(record.CommandLineIsChildCommandLine); // writable storage, not a constant
  const Kernel32Call &create = Nth(record, Kernel32Function::CreateProcessW);
  EXPECT_EQ(create.Argument[0], 0u); // no process security attributes
  EXPECT_EQ(create.Argument[1], 0u); // no thread security attributes
  EXPECT_EQ(create.Argument[2], 1u); // handles inherited
  EXPECT_EQ(create.Argument[3], 0u); // no creation flags: the same console
  EXPECT_EQ(create.Argument[4], 0u); // our environment, less PSModulePath
  EXPECT_TRUE(record.CurrentDirectoryGiven);
  EXPECT_EQ(std::u16string(record.CurrentDirectory), u"D:\\Pkg\\");
  EXPECT_EQ(record.StartupInfoSize, sizeof(STARTUPINFOW));
  EXPECT_EQ(record.StartupInfoSize, 104u); // the size Windows x64 expects
  EXPECT_TRUE(record.StartupInfoRestIsZero);

  const Kernel32Call &wait = Nth(record, Kernel32Function::WaitForSingleObject);
  EXPECT_EQ(wait.Argument[0], ChildProcessHandle);
  EXPECT_EQ(wait.Argument[1], INFINITE);
  EXPECT_EQ(Nth(record, Kernel32Function::GetExitCodeProcess).Argument[0], ChildProcessHandle);
  EXPECT_EQ(Nth(record, Kernel32Function::CloseHandle, 0).Argument[0], ChildThreadHandle);
  EXPECT_EQ(Nth(record, Kernel32Function::CloseHandle, 1).Argument[0], ChildProcessHandle);
}

TEST(RunLauncher, PausesOnTheStandardHandles) {
  Kernel32Script script;
  script.CreateProcessResult = 0;
  const Kernel32Record &record = RunLauncherWith(script);
  EXPECT_EQ(Nth(record, Kernel32Function::GetStdHandle, 0).Argument[0], STD_ERROR_HANDLE);
  EXPECT_EQ(Nth(record, Kernel32Function::GetStdHandle, 1).Argument[0], STD_OUTPUT_HANDLE);
  EXPECT_EQ(Nth(record, Kernel32Function::GetStdHandle, 2).Argument[0], STD_INPUT_HANDLE);
  for (int n = 0; n < 2; ++n) {
    const Kernel32Call &write = Nth(record, Kernel32Function::WriteFile, n);
    EXPECT_NE(write.Argument[2], 0u); // a byte count to fill in
    EXPECT_EQ(write.Argument[3], 0u); // not overlapped
  }
  const Kernel32Call &read = Nth(record, Kernel32Function::ReadFile);
  EXPECT_EQ(read.Argument[0], StdHandleBase + 10);
  EXPECT_EQ(read.Argument[1], 1u);
  EXPECT_NE(read.Argument[2], 0u);
  EXPECT_EQ(read.Argument[3], 0u);
}

TEST(RunLauncher, PassesAnEmptyDirectoryAsAnEmptyString) {
  Kernel32Script script;
  script.ModulePath = u"Install-Yorn-UI.exe";
  script.CommandLine = u"l.exe x";
  const Kernel32Record &record = RunLauncherWith(script);
  EXPECT_TRUE(record.CurrentDirectoryGiven);
  EXPECT_EQ(std::u16string(record.CurrentDirectory), u"");
  EXPECT_NE(std::u16string(record.CommandLine).find(u" -File \"Install-Yorn-UI.ps1\" x"),
            std::u16string::npos);
}

} // namespace
