#include <gtest/gtest.h>

#include <string>

#include "launch_plan.h"

namespace {

const std::u16string PowerShellExe = u"\\System32\\WindowsPowerShell\\v1.0\\powershell.exe";
const std::u16string Options = u"\" -NoLogo -NoProfile -ExecutionPolicy Bypass -File \"";

void Fill(char16_t *buffer, const std::u16string &text) {
  text.copy(buffer, text.size());
  buffer[text.size()] = 0;
}

// Runs the planning steps in the launcher's order and returns the child's line.
std::u16string Plan(const std::u16string &modulePath, const std::u16string &windowsDirectory,
                    const std::u16string &raw) {
  Fill(ModuleDirectory, modulePath);
  DeriveModuleDirectory(static_cast<uint32_t>(modulePath.size()));
  Fill(PowerShellPath, windowsDirectory);
  DerivePowerShellPath(static_cast<uint32_t>(windowsDirectory.size()));
  AssembleChildCommandLine(ScanCommandLine(raw.c_str()));
  EXPECT_LE(ChildCommandLength, CommandLineUnitLimit);
  EXPECT_EQ(ChildCommandLine[ChildCommandLength], 0);
  return std::u16string(ChildCommandLine, ChildCommandLength);
}

struct LineRow {
  const char16_t *ModulePath;
  const char16_t *WindowsDirectory;
  const char16_t *Raw;
  const char16_t *Expected;
};

const LineRow Lines[] = {
    {u"D:\\Pkg\\Install-Yorn-UI.exe", u"C:\\Windows", u"l.exe --optimize 144",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"D:\\Pkg\\Optimize-Yorn-UI.ps1\" -FPS 144"},
    {u"D:\\Pkg\\Install-Yorn-UI.exe", u"C:\\Windows", u"l.exe",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"D:\\Pkg\\Install-Yorn-UI.ps1\" "},
    {u"D:\\Pkg\\Install-Yorn-UI.exe", u"C:\\Windows", u"l.exe --optimize",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"D:\\Pkg\\Optimize-Yorn-UI.ps1\" "},
    {u"D:\\Pkg\\Install-Yorn-UI.exe", u"C:\\Windows", u"l.exe 144",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"D:\\Pkg\\Install-Yorn-UI.ps1\" 144"},
    {u"D:\\Pkg\\Install-Yorn-UI.exe", u"C:\\Windows", u"l.exe --optimize -FPS 60 \"a b\"",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"D:\\Pkg\\Optimize-Yorn-UI.ps1\" -FPS 60 \"a b\""},
    // No backslash in the own path: the bare script name between the quotes.
    {u"Install-Yorn-UI.exe", u"C:\\Windows", u"l.exe x",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"Install-Yorn-UI.ps1\" x"},
    // A forward slash does not separate.
    {u"D:/Pkg/Install-Yorn-UI.exe", u"C:\\Windows", u"l.exe x",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"Install-Yorn-UI.ps1\" x"},
    // The only backslash is the last unit: the whole path is the directory.
    {u"D:\\Pkg\\", u"C:\\Windows", u"l.exe x",
     u"\"C:\\Windows\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"D:\\Pkg\\Install-Yorn-UI.ps1\" x"},
    {u"\\", u"C:\\", u"l.exe x",
     u"\"C:\\\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"\\Install-Yorn-UI.ps1\" x"},
    {u"\\\\?\\D:\\Yorn UI \x00E9\\Install-Yorn-UI.exe", u"W:\\Win Dir", u"\"D:\\x\" --optimize 5",
     u"\"W:\\Win Dir\\System32\\WindowsPowerShell\\v1.0\\powershell.exe\" -NoLogo -NoProfile "
     u"-ExecutionPolicy Bypass -File \"\\\\?\\D:\\Yorn UI \x00E9\\Optimize-Yorn-UI.ps1\" -FPS 5"},
};

TEST(AssembleChildCommandLine, ComposesTheLineUnitForUnit) {
  for (const LineRow &row : Lines) {
    SCOPED_TRACE(testing::PrintToString(std::u16string(row.Raw)));
    EXPECT_EQ(Plan(row.ModulePath, row.WindowsDirectory, row.Raw), row.Expected);
  }
}

TEST(AssembleChildCommandLine, StartsAfreshOnEveryCall) {
  Plan(u"D:\\Pkg\\l.exe", u"C:\\Windows", u"l.exe one");
  const std::u16string second = Plan(u"D:\\Pkg\\l.exe", u"C:\\Windows", u"l.exe two");
  EXPECT_EQ(second.substr(second.size() - 5), u"\" two");
  EXPECT_EQ(second.find(u"one"), std::u16string::npos);
}

TEST(DerivePowerShellPath, LongestAcceptedDirectoryFits) {
  const std::u16string directory(31999, u'w');
  Fill(PowerShellPath, directory);
  DerivePowerShellPath(31999);
  EXPECT_EQ(std::u16string(PowerShellPath), directory + PowerShellExe);
}

struct AppendRow {
  uint32_t StartLength;
  const char16_t *Text;
  uint32_t EndLength;
};

const AppendRow Appends[] = {
    {0, u"", 0},
    {17, u"", 17},
    {0, u"abc", 3},
    {CommandLineUnitLimit - 6, u"0123456789", CommandLineUnitLimit},
    {CommandLineUnitLimit - 1, u"0123456789", CommandLineUnitLimit},
    {CommandLineUnitLimit - 1, u"x", CommandLineUnitLimit},
    {CommandLineUnitLimit, u"0123456789", CommandLineUnitLimit},
    {CommandLineUnitLimit, u"", CommandLineUnitLimit},
};

TEST(AppendChildText, StaysWithinTheLimitAndKeepsTheNul) {
  for (const AppendRow &row : Appends) {
    SCOPED_TRACE(testing::Message() << row.StartLength << " + " << std::u16string(row.Text).size());
    for (char16_t &unit : ChildCommandLine) {
      unit = u'#';
    }
    ChildCommandLength = row.StartLength;
    AppendChildText(row.Text);
    const uint32_t copied = row.EndLength - row.StartLength;
    EXPECT_EQ(ChildCommandLength, row.EndLength);
    EXPECT_EQ(std::u16string(ChildCommandLine + row.StartLength, copied),
              std::u16string(row.Text).substr(0, copied));
    EXPECT_EQ(ChildCommandLine[row.EndLength], 0);
    // Nothing after the NUL is touched.
    EXPECT_EQ(ChildCommandLine[row.EndLength + 1], u'#');
  }
}

TEST(AssembleChildCommandLine, CutsALongTailAtTheLimit) {
  const std::u16string head = Plan(u"D:\\Pkg\\l.exe", u"C:\\Windows", u"l.exe");
  const std::u16string tail(40000, u't');
  const std::u16string line = Plan(u"D:\\Pkg\\l.exe", u"C:\\Windows", u"l.exe " + tail);
  ASSERT_EQ(line.size(), CommandLineUnitLimit);
  EXPECT_EQ(line, head + tail.substr(0, CommandLineUnitLimit - head.size()));
}

TEST(AssembleChildCommandLine, LongPathsCutTheScriptNameAndDropTheTail) {
  // The module directory leaves room for ten units of the script name only.
  const std::u16string windows = u"C:\\W";
  const std::u16string before = u"\"" + windows + PowerShellExe + Options;
  const std::u16string directory =
      u"D:\\" + std::u16string(CommandLineUnitLimit - 10 - before.size() - 4, u'd') + u"\\";
  const std::u16string line = Plan(directory + u"l.exe", windows, u"l.exe --optimize 144");
  ASSERT_EQ(line.size(), CommandLineUnitLimit);
  EXPECT_EQ(line, before + directory + std::u16string(u"Optimize-Yorn-UI.ps1").substr(0, 10));
}

} // namespace
