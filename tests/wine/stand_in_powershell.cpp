// Stands in for Windows PowerShell in the end-to-end tests. It records what
// it was given and exits with the code it is told:
//   STAND_IN_RECORD     file to write, UTF-16 units separated by NUL: the raw
//                       command line, the current directory, a NAME=VALUE
//                       line for each variable named in STAND_IN_VARIABLES
//                       (names separated by spaces) that the stand-in has,
//                       then each argument as CommandLineToArgvW splits the
//                       line; it is written as STAND_IN_RECORD.partial
//                       first and renamed once whole, so that a reader never
//                       takes a record cut short for the whole;
//   STAND_IN_VARIABLES  the variables to report, as above;
//   STAND_IN_EVENT      handle value of an event to set: it is set only when
//                       the handle was inherited all the way down;
//   STAND_IN_EXIT_CODE  exit code, decimal or 0x-prefixed hex (default 0);
//   STAND_IN_SAY        text written to standard output, to show that the
//                       child shares the launcher's streams;
//   STAND_IN_BROKER     a folder shared with tests/powershell/broker.sh: when
//                       set, real PowerShell on the Linux side runs instead,
//                       and its output and exit code become the stand-in's;
//   STAND_IN_CTRL_C     when set, Ctrl+C does not end the stand-in: it
//                       handles the event, as PowerShell does, and ends its
//                       wait for the broker with STAND_IN_EXIT_CODE.
// A Linux program started from here would not be waited for (Wine returns
// from CreateProcessW at once, with no process handle), so the request goes
// through files: PID.request holds the current directory, then the
// arguments as the C runtime splits the command line (as Windows
// PowerShell's own entry point receives them), UTF-8, each ended by NUL.
// The broker answers with PID.stdout, PID.stderr and, last, PID.status.
#include <windows.h>

#include <shellapi.h>

#include <cstdlib>
#include <cwchar>
#include <string>

// The C runtime's split must not expand wildcards, as PowerShell's does not.
extern "C" {
int _dowildcard = 0;
}

namespace {

std::wstring Variable(const wchar_t *name) {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}

std::string Utf8(const wchar_t *text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
  return bytes; // ends in its NUL
}

std::string ReadAndDelete(const std::wstring &path) {
  std::string bytes;
  HANDLE file =
      CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    bytes.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    bytes.resize(read);
    CloseHandle(file);
  }
  DeleteFileW(path.c_str());
  return bytes;
}

void WriteAll(DWORD stream, const std::string &bytes) {
  DWORD written = 0;
  WriteFile(GetStdHandle(stream), bytes.data(), static_cast<DWORD>(bytes.size()), &written,
            nullptr);
}

// Set when Ctrl+C reached a stand-in that STAND_IN_CTRL_C told to take it.
volatile LONG Interrupted = 0;

BOOL WINAPI TakeCtrlC(DWORD) {
  InterlockedExchange(&Interrupted, 1);
  return TRUE;
}

UINT ExitCodeAsked() {
  return static_cast<UINT>(std::wcstoul(Variable(L"STAND_IN_EXIT_CODE").c_str(), nullptr, 0));
}

// Hands the arguments to the broker and ends as the PowerShell it ran did;
// 0xB10C when no answer comes within 25 s (the tests give a launch 30 s).
[[noreturn]] void RunThroughBroker(const std::wstring &folder, int count, wchar_t **arguments) {
  wchar_t directory[MAX_PATH * 4];
  GetCurrentDirectoryW(MAX_PATH * 4, directory);
  std::string request = Utf8(directory);
  for (int i = 0; i < count; ++i) {
    request += Utf8(arguments[i]);
  }
  const std::wstring stem = folder + L"\\" + std::to_wstring(GetCurrentProcessId());
  const std::wstring partial = stem + L".partial";
  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, request.data(), static_cast<DWORD>(request.size()), &written, nullptr);
  CloseHandle(file);
  MoveFileW(partial.c_str(), (stem + L".request").c_str());

  const std::wstring status = stem + L".status";
  for (int waited = 0; GetFileAttributesW(status.c_str()) == INVALID_FILE_ATTRIBUTES; ++waited) {
    if (Interrupted != 0) {
      ExitProcess(ExitCodeAsked());
    }
    if (waited == 2500) {
      WriteAll(STD_ERROR_HANDLE, "stand-in: no answer from the PowerShell broker\r\n");
      ExitProcess(0xB10C);
    }
    Sleep(10);
  }
  WriteAll(STD_OUTPUT_HANDLE, ReadAndDelete(stem + L".stdout"));
  WriteAll(STD_ERROR_HANDLE, ReadAndDelete(stem + L".stderr"));
  ExitProcess(static_cast<UINT>(std::strtoul(ReadAndDelete(status).c_str(), nullptr, 10)));
}

} // namespace

int wmain(int argc, wchar_t **argv) {
  const wchar_t *raw = GetCommandLineW();
  std::wstring record(raw);
  record += L'\0';
  wchar_t directory[MAX_PATH * 4];
  record.append(directory, GetCurrentDirectoryW(MAX_PATH * 4, directory));
  record += L'\0';
  const std::wstring names = Variable(L"STAND_IN_VARIABLES") + L' ';
  for (size_t start = 0, end; (end = names.find(L' ', start)) != std::wstring::npos;
       start = end + 1) {
    const std::wstring name = names.substr(start, end - start);
    // The size asked of an empty buffer is 0 only for a variable not there.
    if (!name.empty() && GetEnvironmentVariableW(name.c_str(), nullptr, 0) != 0) {
      record += name + L'=' + Variable(name.c_str()) + L'\n';
    }
  }
  record += L'\0';
  int count = 0;
  wchar_t **arguments = CommandLineToArgvW(raw, &count);
  for (int i = 0; i < count; ++i) {
    record += arguments[i];
    record += L'\0';
  }

  const std::wstring path = Variable(L"STAND_IN_RECORD");
  if (!path.empty()) {
    const std::wstring partial = path + L".partial";
    HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const DWORD size = static_cast<DWORD>(record.size() * sizeof(wchar_t));
    const bool whole = WriteFile(file, record.data(), size, &written, nullptr) && written == size;
    CloseHandle(file);
    if (whole) {
      MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
  }

  const auto event = std::wcstoull(Variable(L"STAND_IN_EVENT").c_str(), nullptr, 0);
  if (event != 0) {
    SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(event)));
  }

  const std::wstring broker = Variable(L"STAND_IN_BROKER");
  if (!broker.empty()) {
    if (!Variable(L"STAND_IN_CTRL_C").empty()) {
      SetConsoleCtrlHandler(TakeCtrlC, TRUE);
    }
    RunThroughBroker(broker, argc, argv);
  }

  const std::wstring say = Variable(L"STAND_IN_SAY");
  if (!say.empty()) {
    const std::string bytes(say.begin(), say.end());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
  }

  ExitProcess(ExitCodeAsked());
}
