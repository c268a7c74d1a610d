#include "launch_plan.h"

char16_t ModuleDirectory[TextBufferUnits];
char16_t PowerShellPath[TextBufferUnits];
char16_t ChildCommandLine[TextBufferUnits];
uint32_t ChildCommandLength;

namespace {

const char16_t PowerShellSuffix[] = u"\\System32\\WindowsPowerShell\\v1.0\\powershell.exe";
const char16_t PowerShellOptions[] = u"\" -NoLogo -NoProfile -ExecutionPolicy Bypass -File \"";
const char16_t InstallScriptName[] = u"Install-Yorn-UI.ps1";
const char16_t OptimizeScriptName[] = u"Optimize-Yorn-UI.ps1";

} // namespace

// The directory keeps its trailing backslash so that a script name can follow
// it directly; only a backslash separates, never a forward slash. A path with
// no backslash leaves the empty directory.
void DeriveModuleDirectory(uint32_t length) {
  uint32_t end = length;
  while (end > 0 && ModuleDirectory[end - 1] != u'\\') {
    --end;
  }
  ModuleDirectory[end] = 0;
}

// The caller accepts at most 31999 units of Windows directory, so the suffix
// and its NUL always fit. The backslash is written even after "C:\".
void DerivePowerShellPath(uint32_t length) {
  const char16_t *suffix = PowerShellSuffix;
  while (*suffix != 0) {
    PowerShellPath[length++] = *suffix++;
  }
  PowerShellPath[length] = 0;
}

// The only code that writes into ChildCommandLine. Text beyond
// CommandLineUnitLimit is dropped without a report, and the NUL always stands
// at ChildCommandLength.
void AppendChildText(const char16_t *text) {
  uint32_t length = ChildCommandLength;
  while (length < CommandLineUnitLimit && *text != 0) {
    ChildCommandLine[length++] = *text++;
  }
  ChildCommandLength = length;
  ChildCommandLine[length] = 0;
}

// "<PowerShellPath>" -NoLogo -NoProfile -ExecutionPolicy Bypass -File
// "<ModuleDirectory><script>" [-FPS ]<tail>
// Nothing is escaped or re-quoted: the tail reaches the script exactly as the
// user typed it.
void AssembleChildCommandLine(LaunchRequest request) {
  ChildCommandLength = 0;
  AppendChildText(u"\"");
  AppendChildText(PowerShellPath);
  AppendChildText(PowerShellOptions);
  AppendChildText(ModuleDirectory);
  AppendChildText(request.Mode == LaunchMode::Optimize ? OptimizeScriptName : InstallScriptName);
  AppendChildText(u"\" ");
  if (TailTakesFpsPrefix(request)) {
    AppendChildText(u"-FPS ");
  }
  AppendChildText(request.Tail);
}
