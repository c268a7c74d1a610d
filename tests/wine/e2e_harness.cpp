#include "e2e_harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

const std::string PausePrompt = "\r\nPress Enter to close this window.\r\n";
const std::string FailureMessage =
    "Unable to start Windows PowerShell. Run Install-Yorn-UI.cmd from the extracted package.\r\n";
const std::string ArrivedFromPowerShell7 = "YORN_BESIDE=kept\n";
static const wchar_t ScratchRoot[] = L"C:\\yorn-e2e";

std::wstring WindowsDirectory() {
  wchar_t buffer[MAX_PATH];
  return std::wstring(buffer, GetWindowsDirectoryW(buffer, MAX_PATH));
}

std::wstring PowerShellPath() {
  return WindowsDirectory() + L"\\System32\\WindowsPowerShell\\v1.0\\powershell.exe";
}

namespace {
std::wstring PowerShellAway() { return PowerShellPath() + L".away"; }
} // namespace

PowerShellAbsent::PowerShellAbsent() {
  EXPECT_TRUE(MoveFileW(PowerShellPath().c_str(), PowerShellAway().c_str()));
}
PowerShellAbsent::~PowerShellAbsent() {
  MoveFileW(PowerShellAway().c_str(), PowerShellPath().c_str());
}

VariableSet::VariableSet(const wchar_t *name, const wchar_t *value) : Name(name) {
  wchar_t buffer[32767];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 32767);
  Existed = length > 0 && length < 32767;
  Saved.assign(buffer, Existed ? length : 0);
  SetEnvironmentVariableW(name, value);
}
VariableSet::~VariableSet() { SetEnvironmentVariableW(Name, Existed ? Saved.c_str() : nullptr); }

std::wstring FileNamedBy(const char *variable) {
  const char *unix = getenv(variable);
  std::wstring path = L"Z:";
  for (const char *c = unix == nullptr ? "" : unix; *c != 0; ++c) {
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  }
  return path;
}

std::wstring MakePackage(const std::wstring &name) {
  CreateDirectoryW(ScratchRoot, nullptr);
  const std::wstring folder = std::wstring(ScratchRoot) + L"\\" + name + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const auto &[variable, file] : {std::pair{"LAUNCHER_EXE", L"Install-Yorn-UI.exe"},
                                       std::pair{"COMMAND_SCRIPT", L"Install-Yorn-UI.cmd"}}) {
    if (getenv(variable) != nullptr) {
      EXPECT_TRUE(CopyFileW(FileNamedBy(variable).c_str(), (folder + file).c_str(), FALSE))
          << "cannot copy " << variable;
    }
  }
  return folder;
}

std::wstring ExpectedChildLine(const std::wstring &folder, const wchar_t *script,
                               const std::wstring &rest) {
  return L"\"" + PowerShellPath() + L"\" -NoLogo -NoProfile -ExecutionPolicy Bypass -File \"" +
         folder + script + L"\" " + rest;
}

namespace {

HANDLE Inheritable(const std::wstring &path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

std::string ReadWhole(const std::wstring &path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return std::string();
  }
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

namespace {

std::vector<std::wstring> RemoveCaseFolder(const std::wstring &folder);

// Every case gets a folder of its own for its streams and the stand-in's
// record, so that nothing a case leaves behind (a file still held by a
// process on its way out, say) can reach the next one. Wine reuses process
// ids from run to run, so a folder of the same name that an interrupted run
// left behind is emptied first.
std::wstring CaseFolder() {
  static unsigned cases = 0;
  CreateDirectoryW(ScratchRoot, nullptr);
  const std::wstring casesRoot = std::wstring(ScratchRoot) + L"\\cases";
  CreateDirectoryW(casesRoot.c_str(), nullptr);
  const std::wstring folder = casesRoot + L"\\" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++cases) + L"\\";
  RemoveCaseFolder(folder);
  EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "cannot make the case folder";
  return folder;
}

// Empties and removes a case folder; returns the names of the files in it
// that neither the harness nor the stand-in made.
std::vector<std::wstring> RemoveCaseFolder(const std::wstring &folder) {
  std::vector<std::wstring> strays;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") {
        continue;
      }
      if (name != L"in.txt" && name != L"out.txt" && name != L"err.txt" &&
          name.rfind(L"record.bin", 0) != 0) {
        strays.push_back(name);
      }
      DeleteFileW((folder + name).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(folder.c_str());
  return strays;
}

// The harness's own starts, and those that Wine refused. Wine reports a new
// process that died before it was set up as ERROR_INTERNAL_ERROR; nothing
// the started program does can give that error, so only then is the start
// tried again.
struct StartCount {
  unsigned Starts = 0;
  unsigned Refused = 0;
};
StartCount Counted;

BOOL StartCounted(const std::wstring &program, const std::wstring &commandLine,
                  const std::wstring &directory, STARTUPINFOW &startup,
                  PROCESS_INFORMATION &process) {
  constexpr int Attempts = 3;
  BOOL started = FALSE;
  for (int attempt = 0; attempt < Attempts && !started; ++attempt) {
    ++Counted.Starts;
    std::wstring writable = commandLine;
    started = CreateProcessW(program.c_str(), writable.data(), nullptr, nullptr, TRUE, 0, nullptr,
                             directory.c_str(), &startup, &process);
    if (!started && GetLastError() != ERROR_INTERNAL_ERROR) {
      break;
    }
    if (!started) {
      ++Counted.Refused;
      printf("Wine refused to start %s (start %u of this program)\n", Narrow(commandLine).c_str(),
             Counted.Starts);
      SetLastError(ERROR_INTERNAL_ERROR);
    }
  }
  return started;
}

// Prints the counts when the test program ends, and adds them to the
// prefix's log, which "wine-prefix.sh starts" sums up for the whole run.
class StartReport : public testing::Environment {
public:
  void TearDown() override {
    if (Counted.Starts == 0) {
      return;
    }
    printf("Wine refused %u of %u starts; retried\n", Counted.Refused, Counted.Starts);
    const std::string line =
        std::to_string(Counted.Starts) + " " + std::to_string(Counted.Refused) + "\n";
    HANDLE log = CreateFileW((FileNamedBy("WINEPREFIX") + L"\\starts.log").c_str(),
                             FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(log, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(log);
  }
};
testing::Environment *const Report = testing::AddGlobalTestEnvironment(new StartReport);

} // namespace

Outcome LaunchAndRecord(const std::wstring &program, const std::wstring &commandLine,
                        DWORD childExitCode, Input standardInput, const std::wstring &childSays) {
  const std::wstring scratch = CaseFolder();
  const std::wstring record = scratch + L"record.bin";
  SetEnvironmentVariableW(L"STAND_IN_RECORD", record.c_str());
  SetEnvironmentVariableW(L"STAND_IN_EXIT_CODE", std::to_wstring(childExitCode).c_str());
  SetEnvironmentVariableW(L"STAND_IN_SAY", childSays.empty() ? nullptr : childSays.c_str());

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = Inheritable(scratch + L"out.txt", GENERIC_WRITE, CREATE_ALWAYS);
  startup.hStdError = Inheritable(scratch + L"err.txt", GENERIC_WRITE, CREATE_ALWAYS);
  // An inheritable event that is none of the standard handles: the child can
  // only set it when the launcher passed its handles on.
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  HANDLE marker = CreateEventW(&inheritable, TRUE, FALSE, nullptr);
  SetEnvironmentVariableW(L"STAND_IN_EVENT",
                          std::to_wstring(reinterpret_cast<uintptr_t>(marker)).c_str());
  HANDLE pipeWriter = nullptr;
  switch (standardInput) {
  case Input::Enter:
  case Input::EmptyFile: {
    HANDLE writer = CreateFileW((scratch + L"in.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(writer, "\r\n", standardInput == Input::Enter ? 2 : 0, &written, nullptr);
    CloseHandle(writer);
    startup.hStdInput = Inheritable(scratch + L"in.txt", GENERIC_READ, OPEN_EXISTING);
    break;
  }
  case Input::ClosedPipe: {
    CreatePipe(&startup.hStdInput, &pipeWriter, &inheritable, 0);
    SetHandleInformation(pipeWriter, HANDLE_FLAG_INHERIT, 0);
    CloseHandle(pipeWriter);
    break;
  }
  case Input::NoHandle:
    startup.hStdInput = nullptr;
    break;
  }

  Outcome outcome;
  PROCESS_INFORMATION process{};
  const BOOL started = StartCounted(program, commandLine, scratch, startup, process);
  EXPECT_TRUE(started) << "the program did not start, error " << GetLastError();
  if (started) {
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "the program did not end within 30 s";
      TerminateProcess(process.hProcess, 99);
      WaitForSingleObject(process.hProcess, INFINITE);
    }
    GetExitCodeProcess(process.hProcess, &outcome.ExitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (standardInput == Input::Enter || standardInput == Input::EmptyFile) {
    // The inherited handle shares its file position with ours.
    LARGE_INTEGER position{};
    SetFilePointerEx(startup.hStdInput, LARGE_INTEGER{}, &position, FILE_CURRENT);
    outcome.InputRead = position.QuadPart;
  }
  outcome.ChildInherited = WaitForSingleObject(marker, 0) == WAIT_OBJECT_0;
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError, marker}) {
    if (handle != nullptr) {
      CloseHandle(handle);
    }
  }
  outcome.Output = ReadWhole(scratch + L"out.txt");
  outcome.ErrorOutput = ReadWhole(scratch + L"err.txt");

  // The stand-in writes its record under another name and renames it once
  // it is whole, so a record is either all there or not there at all.
  const std::string units = ReadWhole(record);
  if (GetFileAttributesW(record.c_str()) != INVALID_FILE_ATTRIBUTES) {
    outcome.ChildRan = testing::AssertionSuccess() << "the child ran";
  } else if (GetFileAttributesW((record + L".partial").c_str()) != INVALID_FILE_ATTRIBUTES) {
    outcome.ChildRan = testing::AssertionFailure() << "the child ran but left no record";
  }
  std::wstring text(units.size() / sizeof(wchar_t), L'\0');
  memcpy(text.data(), units.data(), text.size() * sizeof(wchar_t));
  std::vector<std::wstring> fields;
  for (size_t start = 0, end; (end = text.find(L'\0', start)) != std::wstring::npos;
       start = end + 1) {
    fields.push_back(text.substr(start, end - start));
  }
  if (fields.size() >= 3) {
    outcome.ChildCommandLine = fields[0];
    outcome.ChildDirectory = fields[1];
    outcome.ChildVariables = fields[2];
    outcome.ChildArguments.assign(fields.begin() + 3, fields.end());
  }
  outcome.StrayFiles = RemoveCaseFolder(scratch);
  return outcome;
}

std::string Narrow(const std::wstring &text) {
  std::string bytes(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr,
                                                            0, nullptr, nullptr)),
                    '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), static_cast<int>(bytes.size()),
                      nullptr, nullptr);
  bytes.pop_back();
  return bytes;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
  if (path.size() > 3 && path.back() == L'\\') {
    path.pop_back();
  }
  return path;
}

std::vector<std::wstring> NamesIn(const std::wstring &folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((WithoutTrailingBackslash(folder) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(name);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}
