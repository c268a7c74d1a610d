// Stands in for Windows PowerShell in the end-to-end tests. It records what
// it was given and exits with the code it is told:
//   STAND_IN_RECORD     file to write, UTF-16 units separated by NUL: the raw
//                       command line, the current directory, then each
//                       argument as CommandLineToArgvW splits the line; it
//                       is written as STAND_IN_RECORD.partial first and
//                       renamed once whole, so that a reader never takes a
//                       record cut short for the whole;
//   STAND_IN_EVENT      handle value of an event to set: it is set only when
//                       the handle was inherited all the way down;
//   STAND_IN_EXIT_CODE  exit code, decimal or 0x-prefixed hex (default 0);
//   STAND_IN_SAY        text written to standard output, to show that the
//                       child shares the launcher's streams.
#include <windows.h>

#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

std::wstring Variable(const wchar_t *name) {
  wchar_t value[4096];
  const DWORD length = GetEnvironmentVariableW(name, value, 4096);
  return length > 0 && length < 4096 ? std::wstring(value, length) : std::wstring();
}

} // namespace

int wmain() {
  const wchar_t *raw = GetCommandLineW();
  std::wstring record(raw);
  record += L'\0';
  wchar_t directory[MAX_PATH * 4];
  record.append(directory, GetCurrentDirectoryW(MAX_PATH * 4, directory));
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

  const std::wstring say = Variable(L"STAND_IN_SAY");
  if (!say.empty()) {
    const std::string bytes(say.begin(), say.end());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()),
              &written, nullptr);
  }

  const std::wstring code = Variable(L"STAND_IN_EXIT_CODE");
  ExitProcess(static_cast<UINT>(std::wcstoul(code.c_str(), nullptr, 0)));
}
