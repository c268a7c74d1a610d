// End-to-end tests of Install-Yorn-UI.exe under Wine, run from the Windows
// side so that raw command lines and 32-bit exit codes survive exactly.
#include <gtest/gtest.h>

#include "e2e_harness.h"

namespace {

const std::string &Prompt = PausePrompt;

std::wstring Launcher(const std::wstring &folder) { return folder + L"Install-Yorn-UI.exe"; }

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
    const Outcome outcome = LaunchAndRecord(Launcher(folder), row.CommandLine, 3);
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
      LaunchAndRecord(Launcher(folder), L"\"" + folder + L"Install-Yorn-UI.exe\" --optimize 90 -X");
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

// Windows PowerShell builds its own module path when PSModulePath is absent.
TEST(Launcher, LeavesOutOnlyTheModulePath) {
  const FromPowerShell7 console;
  const Outcome outcome = LaunchAndRecord(Launcher(MakePackage(L"plain")), L"l.exe x");
  ASSERT_TRUE(outcome.ChildRan);
  EXPECT_EQ(Narrow(outcome.ChildVariables), ArrivedFromPowerShell7);
}

TEST(Launcher, PassesEveryExitCodeOnWhole) {
  const std::wstring folder = MakePackage(L"plain");
  for (const DWORD code : {0u, 5u, 255u, 256u, 0xC0000005u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    const Outcome outcome = LaunchAndRecord(Launcher(folder), L"l.exe x", code);
    EXPECT_TRUE(outcome.ChildRan);
    EXPECT_EQ(outcome.ExitCode, code);
  }
}

TEST(Launcher, SharesItsStreamsWithTheChild) {
  const Outcome outcome =
      LaunchAndRecord(Launcher(MakePackage(L"plain")), L"l.exe", 0, Input::Enter, L"child\r\n");
  EXPECT_EQ(outcome.Output, "child\r\n" + Prompt);
  EXPECT_TRUE(outcome.ChildInherited);
}

TEST(Launcher, EndsWhenThePauseFindsNoInput) {
  const std::wstring folder = MakePackage(L"plain");
  for (const Input input : {Input::EmptyFile, Input::ClosedPipe, Input::NoHandle}) {
    SCOPED_TRACE(static_cast<int>(input));
    const Outcome outcome = LaunchAndRecord(Launcher(folder), L"l.exe --optimize", 4, input);
    EXPECT_EQ(outcome.ExitCode, 4u);
    EXPECT_EQ(outcome.Output, Prompt);
  }
}

TEST(Launcher, CutsALongTailAtTheLimit) {
  const std::wstring folder = MakePackage(L"plain");
  // 32766 units is the longest command line a process can be given.
  const std::wstring tail(32766 - 6, L't');
  const Outcome outcome = LaunchAndRecord(Launcher(folder), L"l.exe " + tail);
  ASSERT_TRUE(outcome.ChildRan);
  const std::wstring expected = ExpectedChildLine(folder, Install, tail).substr(0, 32766);
  EXPECT_EQ(outcome.ChildCommandLine.size(), 32766u);
  EXPECT_TRUE(outcome.ChildCommandLine == expected);
}

TEST(Launcher, ReportsWhenPowerShellIsMissing) {
  const std::wstring folder = MakePackage(L"plain");
  const PowerShellAbsent absent;
  const struct {
    const wchar_t *CommandLine;
    bool Pauses;
  } rows[] = {{L"l.exe", true}, {L"l.exe --optimize", true}, {L"l.exe --optimize 60", false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(Narrow(row.CommandLine));
    const Outcome outcome = LaunchAndRecord(Launcher(folder), row.CommandLine, 0);
    EXPECT_FALSE(outcome.ChildRan);
    EXPECT_EQ(outcome.ExitCode, 1u);
    EXPECT_EQ(outcome.ErrorOutput, FailureMessage);
    EXPECT_EQ(outcome.Output, row.Pauses ? Prompt : "");
    EXPECT_EQ(outcome.InputRead, row.Pauses ? 1 : 0);
  }
}

} // namespace
