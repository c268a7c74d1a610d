// Times process starts from inside Windows, where a user pays for them.
//   bench_timer COMMANDS ROUNDS WARMUP TIMES RECORDS
// COMMANDS is a UTF-8 file, one command a line: name, application and the
// exact command line, separated by tabs. Each command is first started once
// with the stand-in PowerShell told to record its command line in
// RECORDS\<name>.rec and to exit with 7, and "name<TAB>exit code" goes to
// standard output, so that the caller can see every route reach PowerShell.
// Then come WARMUP untimed rounds and ROUNDS timed ones; a round starts
// every command once, beginning one command further on each round, so that
// none always goes first. TIMES gets "round<TAB>name<TAB>seconds" lines.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Command {
  std::string Name;
  std::wstring Application;
  std::wstring CommandLine;
};

std::wstring Widen(const std::string &text) {
  std::wstring wide(text.size(), L'\0');
  wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(),
                                                      static_cast<int>(text.size()), wide.data(),
                                                      static_cast<int>(wide.size()))));
  return wide;
}

std::vector<Command> ReadCommands(const wchar_t *path) {
  std::vector<Command> commands;
  FILE *file = _wfopen(path, L"rb");
  if (file == nullptr) {
    return commands;
  }
  char line[65536];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text(line);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
      text.pop_back();
    }
    const size_t first = text.find('\t');
    const size_t second = first == std::string::npos ? first : text.find('\t', first + 1);
    if (second != std::string::npos) {
      commands.push_back({text.substr(0, first), Widen(text.substr(first + 1, second - first - 1)),
                          Widen(text.substr(second + 1))});
    }
  }
  std::fclose(file);
  return commands;
}

HANDLE NulHandle(DWORD access) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(L"NUL", access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0,
                     nullptr);
}

// Starts the command with its standard handles on NUL and waits for it;
// returns the seconds from the start that succeeded to the end, and the exit
// code. Wine refuses a start now and then (error 1359 has been seen), so a
// refused start is tried again before it counts as a failure.
double Run(const Command &command, DWORD &exitCode) {
  static const HANDLE Input = NulHandle(GENERIC_READ);
  static const HANDLE Output = NulHandle(GENERIC_WRITE);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = Input;
  startup.hStdOutput = Output;
  startup.hStdError = Output;
  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  for (int attempt = 1;; ++attempt) {
    std::wstring writable = command.CommandLine;
    PROCESS_INFORMATION process{};
    QueryPerformanceCounter(&start);
    if (CreateProcessW(command.Application.c_str(), writable.data(), nullptr, nullptr, TRUE, 0,
                       nullptr, nullptr, &startup, &process) != 0) {
      WaitForSingleObject(process.hProcess, INFINITE);
      QueryPerformanceCounter(&end);
      GetExitCodeProcess(process.hProcess, &exitCode);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
      return static_cast<double>(end.QuadPart - start.QuadPart) /
             static_cast<double>(frequency.QuadPart);
    }
    const DWORD error = GetLastError();
    if (attempt == 5) {
      std::fprintf(stderr, "error: %s did not start, error %lu\n", command.Name.c_str(), error);
      std::exit(1);
    }
    std::fprintf(stderr, "note: %s did not start (error %lu); trying again\n", command.Name.c_str(),
                 error);
    Sleep(100);
  }
}

} // namespace

int wmain(int argc, wchar_t **argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: bench_timer COMMANDS ROUNDS WARMUP TIMES RECORDS\n");
    return 2;
  }
  const std::vector<Command> commands = ReadCommands(argv[1]);
  const long rounds = std::wcstol(argv[2], nullptr, 10);
  const long warmup = std::wcstol(argv[3], nullptr, 10);
  FILE *times = _wfopen(argv[4], L"w");
  if (commands.empty() || rounds < 2 || warmup < 0 || times == nullptr) {
    std::fprintf(stderr, "error: no commands, fewer than 2 rounds or no file for the times\n");
    return 2;
  }

  DWORD exitCode = 0;
  for (const Command &command : commands) {
    const std::wstring record = std::wstring(argv[5]) + L"\\" + Widen(command.Name) + L".rec";
    SetEnvironmentVariableW(L"STAND_IN_RECORD", record.c_str());
    SetEnvironmentVariableW(L"STAND_IN_EXIT_CODE", L"7");
    Run(command, exitCode);
    std::printf("%s\t%lu\n", command.Name.c_str(), exitCode);
  }
  // Without its variables the stand-in records nothing and exits with 0.
  SetEnvironmentVariableW(L"STAND_IN_RECORD", nullptr);
  SetEnvironmentVariableW(L"STAND_IN_EXIT_CODE", nullptr);

  const size_t count = commands.size();
  for (long round = -warmup; round < rounds; ++round) {
    for (size_t k = 0; k < count; ++k) {
      const Command &command = commands[(static_cast<size_t>(round + warmup) + k) % count];
      const double seconds = Run(command, exitCode);
      if (round >= 0) {
        std::fprintf(times, "%ld\t%s\t%.7f\n", round, command.Name.c_str(), seconds);
      }
    }
  }
  std::fclose(times);
  return 0;
}
