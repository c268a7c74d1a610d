#include "fake_kernel32.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>

#include "launch_plan.h"

extern "C" [[noreturn]] void RunLauncher();

namespace {

Kernel32Script Script;
Kernel32Record *Record;

Kernel32Call &Log(Kernel32Function function, std::initializer_list<uint64_t> arguments = {}) {
  static Kernel32Call overflow;
  if (Record->CallCount == sizeof Record->Calls / sizeof Record->Calls[0]) {
    return overflow;
  }
  Kernel32Call &call = Record->Calls[Record->CallCount++];
  call.Function = function;
  std::copy(arguments.begin(), arguments.end(), call.Argument);
  return call;
}

uint64_t Number(const void *pointer) { return reinterpret_cast<uintptr_t>(pointer); }

// Writes text into a buffer of `capacity` units the way the platform does:
// cut to fit, always NUL-terminated.
DWORD WriteText(WCHAR *buffer, DWORD capacity, const std::u16string &text, int64_t length) {
  const size_t units = std::min<size_t>(text.size(), capacity - 1);
  text.copy(buffer, units);
  buffer[units] = 0;
  return length < 0 ? static_cast<DWORD>(text.size()) : static_cast<DWORD>(length);
}

void CopyText(char16_t *to, const WCHAR *from) {
  size_t i = 0;
  for (; from[i] != 0 && i < 32767; ++i) {
    to[i] = from[i];
  }
  to[i] = 0;
}

} // namespace

extern "C" {

DWORD WINAPI GetModuleFileNameW(HMODULE hModule, WCHAR *lpFilename, DWORD nSize) {
  Log(Kernel32Function::GetModuleFileNameW, {Number(hModule), Number(lpFilename), nSize});
  return WriteText(lpFilename, nSize, Script.ModulePath, Script.ModuleLength);
}

DWORD WINAPI GetWindowsDirectoryW(WCHAR *lpBuffer, DWORD uSize) {
  Log(Kernel32Function::GetWindowsDirectoryW, {Number(lpBuffer), uSize});
  return WriteText(lpBuffer, uSize, Script.WindowsDirectory, Script.WindowsLength);
}

WCHAR *WINAPI GetCommandLineW() {
  Log(Kernel32Function::GetCommandLineW);
  return Script.CommandLine.data();
}

BOOL WINAPI SetEnvironmentVariableW(const WCHAR *lpName, const WCHAR *lpValue) {
  Kernel32Call &call =
      Log(Kernel32Function::SetEnvironmentVariableW, {Number(lpName), Number(lpValue)});
  while (call.ByteCount < sizeof call.Bytes && lpName[call.ByteCount] != 0) {
    call.Bytes[call.ByteCount] = static_cast<char>(lpName[call.ByteCount]);
    ++call.ByteCount;
  }
  return 1;
}

BOOL WINAPI CreateProcessW(const WCHAR *lpApplicationName, WCHAR *lpCommandLine,
                           SECURITY_ATTRIBUTES *lpProcessAttributes,
                           SECURITY_ATTRIBUTES *lpThreadAttributes, BOOL bInheritHandles,
                           DWORD dwCreationFlags, void *lpEnvironment,
                           const WCHAR *lpCurrentDirectory, STARTUPINFOW *lpStartupInfo,
                           PROCESS_INFORMATION *lpProcessInformation) {
  Log(Kernel32Function::CreateProcessW,
      {Number(lpProcessAttributes), Number(lpThreadAttributes),
       static_cast<uint64_t>(bInheritHandles), dwCreationFlags, Number(lpEnvironment)});
  CopyText(Record->ApplicationName, lpApplicationName);
  CopyText(Record->CommandLine, lpCommandLine);
  Record->CommandLineIsChildCommandLine = lpCommandLine == ChildCommandLine;
  Record->CurrentDirectoryGiven = lpCurrentDirectory != nullptr;
  if (lpCurrentDirectory != nullptr) {
    CopyText(Record->CurrentDirectory, lpCurrentDirectory);
  }
  Record->StartupInfoSize = lpStartupInfo->cb;
  STARTUPINFOW zero{};
  zero.cb = lpStartupInfo->cb;
  Record->StartupInfoRestIsZero = std::memcmp(&zero, lpStartupInfo, sizeof zero) == 0;
  if (Script.CreateProcessResult != 0) {
    lpProcessInformation->hProcess = reinterpret_cast<HANDLE>(ChildProcessHandle);
    lpProcessInformation->hThread = reinterpret_cast<HANDLE>(ChildThreadHandle);
  }
  return Script.CreateProcessResult;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  Log(Kernel32Function::WaitForSingleObject, {Number(hHandle), dwMilliseconds});
  return 0;
}

BOOL WINAPI GetExitCodeProcess(HANDLE hProcess, DWORD *lpExitCode) {
  Log(Kernel32Function::GetExitCodeProcess, {Number(hProcess)});
  if (!Script.ChildStoresExitCode) {
    return 0;
  }
  *lpExitCode = Script.ChildExitCode;
  return 1;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
  Log(Kernel32Function::CloseHandle, {Number(hObject)});
  return 1;
}

HANDLE WINAPI GetStdHandle(DWORD nStdHandle) {
  Log(Kernel32Function::GetStdHandle, {nStdHandle});
  return reinterpret_cast<HANDLE>(StdHandleBase + (0u - nStdHandle));
}

BOOL WINAPI WriteFile(HANDLE hFile, const void *lpBuffer, DWORD nNumberOfBytesToWrite,
                      DWORD *lpNumberOfBytesWritten, OVERLAPPED *lpOverlapped) {
  Kernel32Call &call =
      Log(Kernel32Function::WriteFile, {Number(hFile), nNumberOfBytesToWrite,
                                        Number(lpNumberOfBytesWritten), Number(lpOverlapped)});
  call.ByteCount = std::min<DWORD>(nNumberOfBytesToWrite, sizeof call.Bytes);
  std::memcpy(call.Bytes, lpBuffer, call.ByteCount);
  *lpNumberOfBytesWritten = nNumberOfBytesToWrite;
  return 1;
}

BOOL WINAPI ReadFile(HANDLE hFile, void *lpBuffer, DWORD nNumberOfBytesToRead,
                     DWORD *lpNumberOfBytesRead, OVERLAPPED *lpOverlapped) {
  Log(Kernel32Function::ReadFile,
      {Number(hFile), nNumberOfBytesToRead, Number(lpNumberOfBytesRead), Number(lpOverlapped)});
  static_cast<char *>(lpBuffer)[0] = '\r';
  *lpNumberOfBytesRead = 1;
  return 1;
}

[[noreturn]] void WINAPI ExitProcess(unsigned uExitCode) {
  Log(Kernel32Function::ExitProcess, {uExitCode});
  Record->ExitCode = uExitCode;
  _exit(0);
}

} // extern "C"

const Kernel32Record &RunLauncherWith(const Kernel32Script &script) {
  if (Record == nullptr) {
    void *shared = mmap(nullptr, sizeof(Kernel32Record), PROT_READ | PROT_WRITE,
                        MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    EXPECT_NE(shared, MAP_FAILED);
    Record = static_cast<Kernel32Record *>(shared);
  }
  std::memset(Record, 0, sizeof *Record);
  Record->ExitCode = 0xDEADBEEF;
  const pid_t child = fork();
  if (child == 0) {
    Script = script;
    RunLauncher();
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the launcher did not end through ExitProcess";
  return *Record;
}

std::string CallSequence(const Kernel32Record &record) {
  static const char *const Names[] = {"GetModuleFileNameW", "GetWindowsDirectoryW",
                                      "GetCommandLineW",    "SetEnvironmentVariableW",
                                      "CreateProcessW",     "WaitForSingleObject",
                                      "GetExitCodeProcess", "CloseHandle",
                                      "GetStdHandle",       "WriteFile",
                                      "ReadFile",           "ExitProcess"};
  std::string sequence;
  for (uint32_t i = 0; i < record.CallCount; ++i) {
    const Kernel32Call &call = record.Calls[i];
    sequence += (i == 0 ? "" : " ");
    sequence += Names[static_cast<int>(call.Function)];
    if (call.Function == Kernel32Function::SetEnvironmentVariableW) {
      sequence += "(" + std::string(call.Bytes, call.ByteCount) + ", " +
                  (call.Argument[1] == 0 ? "null" : "a value") + ")";
    }
  }
  return sequence;
}
