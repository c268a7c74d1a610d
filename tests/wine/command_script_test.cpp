// End-to-end tests of Install-Yorn-UI.cmd under Wine's cmd.exe: the fallback
// must pick the same script, hand PowerShell the same arguments and pass the
// exit code on as the launcher does; the argument cases run both and compare.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2e_harness.h"

namespace {

const wchar_t Install[] = L"Install-Yorn-UI.ps1";
const wchar_t Optimize[] = L"Optimize-Yorn-UI.ps1";

std::wstring CommandInterpreter() { return WindowsDirectory() + L"\\system32\\cmd.exe"; }

// cmd.exe /c drops the first and the last quote of a line that holds more
// than two, so the script's quoted path survives and the tail follows it
// exactly as typed.
std::wstring ScriptLine(const std::wstring &folder, const std::wstring &tail) {
  return L"cmd.exe /d /c \"\"" + folder + L"Install-Yorn-UI.cmd\" " + tail + L"\"";
}

Outcome RunScript(const std::wstring &folder, const std::wstring &tail, DWORD childExitCode = 0,
                  Input standardInput = Input::Enter) {
  return LaunchAndRecord(CommandInterpreter(), ScriptLine(folder, tail), childExitCode,
                         standardInput);
}

// The arguments PowerShell sees for `script` in `folder`, before the tail's.
std::vector<std::wstring> FixedArguments(const std::wstring &powerShell, const std::wstring &folder,
                                         const wchar_t *script) {
  return {powerShell, L"-NoLogo", L"-NoProfile",  L"-ExecutionPolicy",
          L"Bypass",  L"-File",   folder + script};
}

std::vector<std::string> Narrowed(const std::vector<std::wstring> &texts) {
  std::vector<std::string> narrowed;
  for (const std::wstring &text : texts) {
    narrowed.push_back(Narrow(text));
  }
  return narrowed;
}

struct TailRow {
  const wchar_t *Tail; // what follows the script's name on the command line
  const wchar_t *Script;
  std::vector<std::wstring> Arguments; // what the script receives
};

const TailRow Tails[] = {
    {L"", Install, {}},
    {L"   ", Install, {}},
    {L"--optimize", Optimize, {}},
    {L"--optimize   ", Optimize, {}},
    {L"--optimize 144", Optimize, {L"-FPS", L"144"}},
    {L"   --optimize   \"60\"  ", Optimize, {L"-FPS", L"60"}},
    {L"--optimize -FPS 60 -Verbose", Optimize, {L"-FPS", L"60", L"-Verbose"}},
    {L"--optimize -1", Optimize, {L"-FPS", L"-1"}},
    {L"--optimize \"a b\" c", Optimize, {L"-FPS", L"a b", L"c"}},
    {L"--optimize \"-Verbose\"", Optimize, {L"-FPS", L"-Verbose"}},
    {L"--optimize\t60", Install, {L"--optimize", L"60"}},
    {L"--Optimize 60", Install, {L"--Optimize", L"60"}},
    {L"\"--optimize\" 60", Install, {L"--optimize", L"60"}},
    {L"--optimizer 60", Install, {L"--optimizer", L"60"}},
    {L"-X --optimize 1", Install, {L"-X", L"--optimize", L"1"}},
    {L"a\t\"b c\" \"\" \"d & e | f > g\" h!i  ",
     Install,
     {L"a", L"b c", L"", L"d & e | f > g", L"h!i"}},
    {L"--optimize \"C:\\Program Files\\x\" -Y",
     Optimize,
     {L"-FPS", L"C:\\Program Files\\x", L"-Y"}},
    {L"caf\u00e9 \u6d4b\u8bd5", Install, {L"caf\u00e9", L"\u6d4b\u8bd5"}},
};

TEST(CommandScript, PassesTheArgumentsOnAsTheLauncherDoes) {
  const std::wstring folder = MakePackage(L"script");
  for (const TailRow &row : Tails) {
    SCOPED_TRACE(Narrow(row.Tail));
    const bool pauses = row.Arguments.empty();
    std::vector<std::wstring> expected = FixedArguments(PowerShellPath(), folder, row.Script);
    expected.insert(expected.end(), row.Arguments.begin(), row.Arguments.end());

    const Outcome outcome = RunScript(folder, row.Tail, 3);
    ASSERT_TRUE(outcome.ChildRan);
    EXPECT_EQ(Narrowed(outcome.ChildArguments), Narrowed(expected));
    EXPECT_EQ(Narrow(outcome.ChildDirectory), Narrow(WithoutTrailingBackslash(folder)));
    EXPECT_EQ(outcome.ExitCode, 3u);
    EXPECT_EQ(outcome.ErrorOutput, "");
    EXPECT_EQ(outcome.Output, pauses ? PausePrompt : "");
    // The pause takes the whole line that Enter ends, and only then.
    EXPECT_EQ(outcome.InputRead, pauses ? 2 : 0);

    const Outcome launcher =
        LaunchAndRecord(folder + L"Install-Yorn-UI.exe", std::wstring(L"l.exe ") + row.Tail, 3);
    EXPECT_EQ(Narrowed(launcher.ChildArguments), Narrowed(outcome.ChildArguments));
    EXPECT_EQ(launcher.Output, outcome.Output);
  }
}

TEST(CommandScript, RunsInAFolderWithSpacesAndPunctuation) {
  const std::wstring folder = MakePackage(L"Yorn & UI (x86) \u00e9t\u00e9!");
  const Outcome outcome = RunScript(folder, L"--optimize 90 \"x y\"");
  ASSERT_TRUE(outcome.ChildRan);
  EXPECT_EQ(Narrow(outcome.ChildDirectory), Narrow(WithoutTrailingBackslash(folder)));
  std::vector<std::wstring> expected = FixedArguments(PowerShellPath(), folder, Optimize);
  expected.insert(expected.end(), {L"-FPS", L"90", L"x y"});
  EXPECT_EQ(Narrowed(outcome.ChildArguments), Narrowed(expected));
}

TEST(CommandScript, PassesTheExitCodeOn) {
  const std::wstring folder = MakePackage(L"script");
  for (const DWORD code :
       {0u, 5u, 255u, 256u, 0x7FFFFFFFu, 0x80000000u, 0xC0000005u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(code);
    for (const wchar_t *tail : {L"x", L"--optimize"}) {
      SCOPED_TRACE(Narrow(tail));
      const Outcome outcome = RunScript(folder, tail, code);
      EXPECT_TRUE(outcome.ChildRan);
      EXPECT_EQ(outcome.ExitCode, code);
    }
  }
}

TEST(CommandScript, EndsWhenThePauseFindsNoInput) {
  const std::wstring folder = MakePackage(L"script");
  for (const Input input : {Input::EmptyFile, Input::ClosedPipe}) {
    SCOPED_TRACE(static_cast<int>(input));
    const Outcome outcome = RunScript(folder, L"--optimize", 4, input);
    EXPECT_EQ(outcome.ExitCode, 4u);
    EXPECT_EQ(outcome.Output, PausePrompt);
  }
}

std::wstring PathVariable() {
  wchar_t buffer[32767];
  const DWORD length = GetEnvironmentVariableW(L"PATH", buffer, 32767);
  return std::wstring(buffer, length < 32767 ? length : 0);
}

// Metacharacters in the tail: cmd.exe has parsed the line once before the
// script sees %*, and the script must not parse it again. Quoted, they must
// reach PowerShell as they are; what cmd.exe changed first (a caret taken, a
// variable expanded) reaches it as %* holds it. Nothing else may run: the
// only output is the child's, and no redirection makes a file in the folder
// the script starts in or in the package folder it runs PowerShell from.
TEST(CommandScript, RunsNothingFromTheArguments) {
  const std::wstring folder = MakePackage(L"script");
  const std::wstring package = WithoutTrailingBackslash(folder);
  const std::wstring scratch = package.substr(0, package.find_last_of(L'\\'));
  // From here on the scratch folder holds the harness's folder of cases.
  RunScript(folder, L"x");
  const struct {
    const wchar_t *Tail;
    std::vector<std::wstring> Arguments;
  } rows[] = {
      {L"\"a & b\"", {L"a & b"}},
      {L"\"a|b\" \"a>b\" \"a<b\"", {L"a|b", L"a>b", L"a<b"}},
      {L"\"x^&echo INJECTED\"", {L"x^&echo INJECTED"}},
      {L"!x!", {L"!x!"}},
      {L"a \"b & c\" !d! \"e|f\" g", {L"a", L"b & c", L"!d!", L"e|f", L"g"}},
      // cmd.exe takes the caret while it parses its own line.
      {L"a^b", {L"ab"}},
      // cmd.exe expands a variable in its own line.
      {L"%PATH%", {PathVariable()}},
      // Wine's cmd.exe expands percent signs once more as it substitutes
      // %*, so a lone one goes; Windows' keeps it (docs/command-script.md).
      {L"100%", {L"100"}},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(Narrow(row.Tail));
    const std::vector<std::wstring> scratchBefore = NamesIn(scratch);
    const std::vector<std::wstring> packageBefore = NamesIn(folder);
    std::vector<std::wstring> expected = FixedArguments(PowerShellPath(), folder, Install);
    expected.insert(expected.end(), row.Arguments.begin(), row.Arguments.end());

    const Outcome outcome = LaunchAndRecord(CommandInterpreter(), ScriptLine(folder, row.Tail), 3,
                                            Input::Enter, L"child");
    ASSERT_TRUE(outcome.ChildRan);
    EXPECT_EQ(Narrowed(outcome.ChildArguments), Narrowed(expected));
    EXPECT_EQ(outcome.ExitCode, 3u);
    EXPECT_EQ(outcome.Output, "child");
    EXPECT_EQ(outcome.ErrorOutput, "");
    EXPECT_EQ(Narrowed(NamesIn(scratch)), Narrowed(scratchBefore));
    EXPECT_EQ(Narrowed(NamesIn(folder)), Narrowed(packageBefore));
    // cmd.exe starts in the case's own folder.
    EXPECT_EQ(Narrowed(outcome.StrayFiles), std::vector<std::string>{});
  }
}

// A variable of that name would otherwise stand in for the real exit code.
TEST(CommandScript, IgnoresAnErrorlevelVariable) {
  const std::wstring folder = MakePackage(L"script");
  const VariableSet errorlevel(L"ERRORLEVEL", L"7");
  EXPECT_EQ(RunScript(folder, L"x", 5).ExitCode, 5u);
}

// SystemRoot names the folder that the launcher asks Windows for, so it is
// tried before WINDIR. (Wine puts its own SystemRoot into every process, so
// the WINDIR fallback cannot be shown here.)
TEST(CommandScript, FindsWindowsPowerShellThroughSystemRoot) {
  const std::wstring folder = MakePackage(L"script");
  const VariableSet windir(L"WINDIR", L"C:\\nowhere");
  const Outcome outcome = RunScript(folder, L"x");
  ASSERT_TRUE(outcome.ChildRan);
  ASSERT_FALSE(outcome.ChildArguments.empty());
  EXPECT_EQ(Narrow(outcome.ChildArguments[0]), Narrow(PowerShellPath()));
}

// Windows PowerShell, and pwsh.exe below, build their own module path when
// PSModulePath is absent.
TEST(CommandScript, LeavesOutOnlyTheModulePath) {
  const FromPowerShell7 console;
  const Outcome outcome = RunScript(MakePackage(L"script"), L"x");
  ASSERT_TRUE(outcome.ChildRan);
  EXPECT_EQ(Narrow(outcome.ChildVariables), ArrivedFromPowerShell7);
}

TEST(CommandScript, FallsBackToPwshOnThePath) {
  const std::wstring folder = MakePackage(L"script");
  const std::wstring bin = L"C:\\yorn-e2e\\pwsh bin";
  const std::wstring pwsh = bin + L"\\pwsh.exe";
  CreateDirectoryW(bin.c_str(), nullptr);
  ASSERT_TRUE(CopyFileW(PowerShellPath().c_str(), pwsh.c_str(), FALSE));
  {
    const PowerShellAbsent absent;
    const VariableSet path(L"PATH", (bin + L";" + PathVariable()).c_str());
    const FromPowerShell7 console;
    const Outcome outcome = RunScript(folder, L"--optimize 60 \"a b\"", 6);
    EXPECT_TRUE(outcome.ChildRan);
    EXPECT_EQ(Narrow(outcome.ChildVariables), ArrivedFromPowerShell7);
    std::vector<std::wstring> expected = FixedArguments(pwsh, folder, Optimize);
    expected.insert(expected.end(), {L"-FPS", L"60", L"a b"});
    EXPECT_EQ(Narrowed(outcome.ChildArguments), Narrowed(expected));
    EXPECT_EQ(Narrow(outcome.ChildDirectory), Narrow(WithoutTrailingBackslash(folder)));
    EXPECT_EQ(outcome.ExitCode, 6u);
    EXPECT_EQ(outcome.ErrorOutput, "");
  }
  DeleteFileW(pwsh.c_str());
  RemoveDirectoryW(bin.c_str());
}

TEST(CommandScript, SaysSoWhenNoPowerShellIsFound) {
  const std::wstring folder = MakePackage(L"script");
  const PowerShellAbsent absent;
  const struct {
    const wchar_t *Tail;
    bool Pauses;
  } rows[] = {{L"", true}, {L"--optimize", true}, {L"--optimize 60", false}};
  for (const auto &row : rows) {
    SCOPED_TRACE(Narrow(row.Tail));
    const Outcome outcome = RunScript(folder, row.Tail, 0);
    EXPECT_FALSE(outcome.ChildRan);
    EXPECT_EQ(outcome.ExitCode, 1u);
    // One plain line naming both programs it looked for.
    EXPECT_NE(outcome.ErrorOutput.find("Windows PowerShell"), std::string::npos);
    EXPECT_NE(outcome.ErrorOutput.find("pwsh.exe"), std::string::npos);
    EXPECT_EQ(outcome.ErrorOutput.find("\r\n"), outcome.ErrorOutput.size() - 2);
    EXPECT_EQ(outcome.Output, row.Pauses ? PausePrompt : "");
    EXPECT_EQ(outcome.InputRead, row.Pauses ? 2 : 0);
  }
}

} // namespace
