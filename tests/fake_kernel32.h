// A fake KERNEL32 for host tests: the launcher links against these functions
// instead of Windows' own. Each run of RunLauncher happens in a child process
// (its storage is static and it never returns); the fake records every call
// into memory shared with the test, and ExitProcess ends the child.
#pragma once

#include <string>

#include "kernel32.h"

enum class Kernel32Function {
  GetModuleFileNameW,
  GetWindowsDirectoryW,
  GetCommandLineW,
  SetEnvironmentVariableW,
  CreateProcessW,
  WaitForSingleObject,
  GetExitCodeProcess,
  CloseHandle,
  GetStdHandle,
  WriteFile,
  ReadFile,
  ExitProcess,
};

// What the fake platform answers. A length of -1 means the written text's own
// length.
struct Kernel32Script {
  std::u16string ModulePath = u"D:\\Pkg\\Install-Yorn-UI.exe";
  int64_t ModuleLength = -1;
  std::u16string WindowsDirectory = u"C:\\Windows";
  int64_t WindowsLength = -1;
  std::u16string CommandLine = u"Install-Yorn-UI.exe";
  BOOL CreateProcessResult = 1;
  bool ChildStoresExitCode = true;
  DWORD ChildExitCode = 0;
};

constexpr uintptr_t ChildProcessHandle = 0x1111;
constexpr uintptr_t ChildThreadHandle = 0x2222;
// GetStdHandle(n) answers 0x5000 + (-n): 0x500A for input, 0x500B for
// output, 0x500C for error.
constexpr uintptr_t StdHandleBase = 0x5000;

struct Kernel32Call {
  Kernel32Function Function;
  uint64_t Argument[6]; // the scalar arguments, in order, pointers as numbers
  uint32_t ByteCount;   // bytes given to WriteFile, or of a variable's name
  char Bytes[128];
};

// Everything a run did, as seen from the platform's side.
struct Kernel32Record {
  uint32_t CallCount;
  Kernel32Call Calls[32];
  // CreateProcessW's texts, copied when it was called.
  char16_t ApplicationName[32768];
  char16_t CommandLine[32768];
  char16_t CurrentDirectory[32768];
  bool CurrentDirectoryGiven;
  bool CommandLineIsChildCommandLine;
  DWORD StartupInfoSize;
  bool StartupInfoRestIsZero;
  DWORD ExitCode;
};

// Runs RunLauncher once against the script in a child process and returns
// what it did. Fails the current test if the child did not end through
// ExitProcess.
const Kernel32Record &RunLauncherWith(const Kernel32Script &script);

// "GetModuleFileNameW GetWindowsDirectoryW ..." for comparing sequences;
// SetEnvironmentVariableW shows its arguments: "(PSModulePath, null)".
std::string CallSequence(const Kernel32Record &record);
