// End-to-end tests of Install-Yorn-UI.exe under Wine, run from the Windows
// side so that raw command lines and 32-bit exit codes survive exactly. A
// stand-in powershell.exe in the prefix records what it was given.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const std::string Prompt = "\r\nPress Enter to close this window.\r\n";
const std::string FailureMessage =
    "Unable to start Windows PowerShell. Run Install-Yorn-UI.cmd from the extracted package.\r\n";
const wchar_t ScratchRoot[] = L"C:\\yorn-e2e";

std::wstring WindowsDirectory() {
  wchar_t buffer[MAX_PATH];
  return std::wstring(buffer, GetWindowsDirectoryW(buffer, MAX_PATH));
}

std::wstring PowerShellPath() {
  return WindowsDirectory() + L"\\System32\\WindowsPowerShell\\v1.0\\powershell.exe";
}

// CTest names the launcher by its Linux path; Wine maps / to drive Z:.
std::wstring BuiltLauncher() {
  const char *unix = getenv("LAUNCHER_EXE");
  std::wstring path = L"Z:";
  for (const char *c = unix == nullptr ? "" : unix; *c != 0; ++c) {
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(*c);
  }
  return path;
}

// A package folder under the scratch root holding a copy of the launcher;
// returns the folder with its trailing backslash.
std::wstring MakePackage(const std::wstring &name) {
  CreateDirectoryW(ScratchRoot, nullptr);
  const std::wstring folder = std::wstring(ScratchRoot) + L"\\" + name + L"\\";
  CreateDirectoryW(folder.c_str(), nullptr);
  EXPECT_TRUE(CopyFileW(BuiltLauncher().c_str(), (folder + L"Install-Yorn-UI.exe").c_str(), FALSE))
      << "cannot copy the launcher from LAUNCHER_EXE";
  return folder;
}

std::wstring ExpectedChildLine(const std::wstring &folder, const wchar_t *script,
                               const std::wstring &rest) {
  return L"\"" + PowerShellPath() + L"\" -NoLogo -NoProfile -ExecutionPolicy Bypass -File \"" +
         folder + script + L"\" " + rest;
}

enum class Input { Enter, EmptyFile, ClosedPipe, NoHandle };

struct Outcome {
  DWORD ExitCode = 0;
  std::string Output;
  std::string ErrorOutput;
  LONGLONG InputRead = -1; // bytes taken from a file on standard input
  bool ChildRan = false;
  std::wstring ChildCommandLine;
  std::wstring ChildDirectory;
  bool ChildInherited = false; // the child set an event through a handle it inherited
  std::vector<std::wstring> ChildArguments;
};

HANDLE Inheritable(const std::wstring &path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     &inherit, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

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

// Starts the launcher in `folder` (a package folder, with its trailing
// backslash) with exactly `commandLine`, the stand-in told to exit with
// `childExitCode` and to write `childSays` to standard output.
Outcome LaunchAndRecord(const std::wstring &folder, const std::wstring &commandLine,
                        DWORD childExitCode = 0, Input standardInput = Input::Enter,
                        const std::wstring &childSays = L"") {
  const std::wstring scratch = std::wstring(ScratchRoot) + L"\\";
  const std::wstring record = scratch + L"record.bin";
  DeleteFileW(record.c_str());
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
  std::wstring writableLine = commandLine;
  const std::wstring launcher = folder + L"Install-Yorn-UI.exe";
  const BOOL started = CreateProcessW(launcher.c_str(), writableLine.data(), nullptr, nullptr, TRUE,
                                      0, nullptr, scratch.c_str(), &startup, &process);
  EXPECT_TRUE(started) << "the launcher did not start, error " << GetLastError();
  if (started) {
    if (WaitForSingleObject(process.hProcess, 30000) != WAIT_OBJECT_0) {
      ADD_FAILURE() << "the launcher did not end within 30 s";
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

  const std::string units = ReadWhole(record);
  outcome.ChildRan = !units.empty();
  std::wstring text(units.size() / sizeof(wchar_t), L'\0');
  memcpy(text.data(), units.data(), text.size() * sizeof(wchar_t));
  std::vector<std::wstring> fields;
  for (size_t start = 0, end; (end = text.find(L'\0', start)) != std::wstring::npos;
       start = end + 1) {
    fields.push_back(text.substr(start, end - start));
  }
  if (fields.size() >= 2) {
    outcome.ChildCommandLine = fields[0];
    outcome.ChildDirectory = fields[1];
    outcome.ChildArguments.assign(fields.begin() + 2, fields.end());
  }
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

struct LineRow {
  const wchar_t *CommandLine;
  const wchar_t *Script;
  const wchar_t *Rest; // what follows the script path's closing quote and space
};

const wchar_t Install[] = L"Install-Yorn-UI.ps1";
const wchar_t Optimize[] = L"Optimize-Yorn-UI.ps1";

const LineRow Lines[] = {
    {L"l.exe", Install, L""},
    {L"l.exe   ", Install, L""},
    {L"\"C:\\any where\\l.exe\" --optimize", Optimize, L""},
    {L"l.exe\t--optimize", Install, L""},
    {L"l.exe --optimize 144", Optimize, L"-FPS 144"},
    {L"l.exe   --optimize   \"60\"  ", Optimize, L"-FPS \"60\"  "},
    {L"l.exe --optimize -FPS 60 -Verbose", Optimize, L"-FPS 60 -Verbose"},
    {L"l.exe --optimize -1", Optimize, L"-FPS -1"},
    {L"l.exe --optimize \t60", Optimize, L"-FPS \t60"},
    {L"l.exe --optimize\t60", Install, L"--optimize\t60"},
    {L"l.exe --Optimize 60", Install, L"--Optimize 60"},
    {L"l.exe \"--optimize\" 60", Install, L"\"--optimize\" 60"},
    {L"\"l.exe\"--optimize 60", Optimize, L"-FPS 60"},
    {L"l.exe a\t\"b c\" \\\"d\\\" 'e f' \"\"  ", Install, L"a\t\"b c\" \\\"d\\\" 'e f' \"\"  "},
    {L"l.exe caf\u00e9 \u6d4b\u8bd5 \U0001F600", Install, L"caf\u00e9 \u6d4b\u8bd5 \U0001F600"},
};

TEST(Launcher, PassesTheCommandLineOnExactly) {
  const std::wstring folder = MakePackage(L"plain");
  for (const LineRow &row : Lines) {
    SCOPED_TRACE(Narrow(row.CommandLine));
    const bool pauses = row.Rest[0] == 0;
    const Outcome outcome = LaunchAndRecord(folder, row.CommandLine, 3);
    ASSERT_TRUE(outcome.ChildRan);
    EXPECT_EQ(Narrow(outcome.ChildCommandLine),
              Narrow(ExpectedChildLine(folder, row.Script, row.Rest)));
    EXPECT_EQ(outcome.ExitCode, 3u);
    EXPECT_EQ(outcome.ErrorOutput, "");
    EXPECT_EQ(outcome.Output, pauses ? Prompt : "");
    EXPECT_EQ(outcome.InputRead, pauses ? 1 : 0);
  }
}

TEST(Launcher, RunsInAFolderWithSpacesAndLetters) {
  const std::wstring folder = MakePackage(L"Yorn UI \u00e9t\u00e9 \u6d4b\u8bd5");
  const Outcome outcome =
      LaunchAndRecord(folder, L"\"" + folder + L"Install-Yorn-UI.exe\" --optimize 90 -X");
  ASSERT_TRUE(outcome.ChildRan);
  EXPECT_EQ(Narrow(outcome.ChildDirectory), Narrow(WithoutTrailingBackslash(folder)));
  const std::vector<std::wstring> expected = {PowerShellPath(),
                                              L"-NoLogo",
                                              L"-NoProfile",
                                              L"-ExecutionPolicy",
                                              L"Bypass",
                                              L"-File",
                                              folder + Optimize,
                                              L"-FPS",
                                              L"90",
                                              L"-X"};
  ASSERT_EQ(outcome.ChildArguments.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(Narrow(outcome.ChildArguments[i]), Narrow(expected[i])) << "argument " << i;
  }
}

TEST(Launcher, PassesEveryExitCodeOnWhole) {
  const std::wstring folder = MakePackage(L"plain");
  for (const DWORD code : {0u, 5u, 255u, 256u, 0xC0000005u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    const Outcome outcome = LaunchAndRecord(folder, L"l.exe x", code);
    EXPECT_TRUE(outcome.ChildRan);
    EXPECT_EQ(outcome.ExitCode, code);
  }
}

TEST(Launcher, SharesItsStreamsWithTheChild) {
  const Outcome outcome =
      LaunchAndRecord(MakePackage(L"plain"), L"l.exe", 0, Input::Enter, L"child\r\n");
  EXPECT_EQ(outcome.Output, "child\r\n" + Prompt);
  EXPECT_TRUE(outcome.ChildInherited);
}

TEST(Launcher, EndsWhenThePauseFindsNoInput) {
  const std::wstring folder = MakePackage(L"plain");
  for (const Input input : {Input::EmptyFile, Input::ClosedPipe, Input::NoHandle}) {
    SCOPED_TRACE(static_cast<int>(input));
    const Outcome outcome = LaunchAndRecord(folder, L"l.exe --optimize", 4, input);
    EXPECT_EQ(outcome.ExitCode, 4u);
    EXPECT_EQ(outcome.Output, Prompt);
  }
}

TEST(Launcher, CutsALongTailAtTheLimit) {
  const std::wstring folder = MakePackage(L"plain");
  // 32766 units is the longest command line a process can be given.
  const std::wstring tail(32766 - 6, L't');
  const Outcome outcome = LaunchAndRecord(folder, L"l.exe " + tail);
  ASSERT_TRUE(outcome.ChildRan);
  const std::wstring expected = ExpectedChildLine(folder, Install, tail).substr(0, 32766);
  EXPECT_EQ(outcome.ChildCommandLine.size(), 32766u);
  EXPECT_TRUE(outcome.ChildCommandLine == expected);
}

// Moves the stand-in away for the life of the object.
struct PowerShellAbsent {
  PowerShellAbsent() { EXPECT_TRUE(MoveFileW(PowerShellPath().c_str(), Away().c_str())); }
  ~PowerShellAbsent() { MoveFileW(Away().c_str(), PowerShellPath().c_str()); }
  PowerShellAbsent(const PowerShellAbsent &) = delete;
  PowerShellAbsent &operator=(const PowerShellAbsent &) = delete;
  static std::wstring Away() { return PowerShellPath() + L".away"; }
};

TEST(Launcher, ReportsWhenPowerShellIsMissing) {
  const std::wstring folder = MakePackage(L"plain");
  const PowerShellAbsent absent;
  const struct {
    const wchar_t *CommandLine;
    bool Pauses;
  } rows[] = {{L"l.exe", true}, {L"l.exe --optimize", true}, {L"l.exe --optimize 60", false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(Narrow(row.CommandLine));
    const Outcome outcome = LaunchAndRecord(folder, row.CommandLine, 0);
    EXPECT_FALSE(outcome.ChildRan);
    EXPECT_EQ(outcome.ExitCode, 1u);
    EXPECT_EQ(outcome.ErrorOutput, FailureMessage);
    EXPECT_EQ(outcome.Output, row.Pauses ? Prompt : "");
    EXPECT_EQ(outcome.InputRead, row.Pauses ? 1 : 0);
  }
}

} // namespace
