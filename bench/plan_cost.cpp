// Runs the launcher's planning once for a command line whose tail holds N
// units, with the paths the platform would supply, and prints the child's
// command-line length. Under callgrind, the instructions of PlanLaunch for a
// long tail less those for an empty one give the cost per unit of tail.
//   plan_cost N
#include "launch_plan.h"

#include <cstdio>
#include <cstdlib>

namespace {

const char16_t ModulePath[] = u"D:\\Pkg\\Install-Yorn-UI.exe";
const char16_t WindowsDirectory[] = u"C:\\Windows";
const char16_t ProgramName[] = u"\"D:\\Pkg\\Install-Yorn-UI.exe\" ";
constexpr uint32_t ProgramNameUnits = sizeof ProgramName / sizeof ProgramName[0] - 1;

char16_t RawCommandLine[TextBufferUnits];

uint32_t Copy(char16_t *target, const char16_t *text) {
  uint32_t length = 0;
  while (text[length] != 0) {
    target[length] = text[length];
    ++length;
  }
  target[length] = 0;
  return length;
}

} // namespace

// What RunLauncher does between its platform calls, with the platform's
// answers copied in. Kept out of line so that callgrind can count it alone.
extern "C" __attribute__((noinline)) void PlanLaunch(const char16_t *raw) {
  DeriveModuleDirectory(Copy(ModuleDirectory, ModulePath));
  DerivePowerShellPath(Copy(PowerShellPath, WindowsDirectory));
  AssembleChildCommandLine(ScanCommandLine(raw));
}

int main(int argc, char **argv) {
  const unsigned long units = argc == 2 ? std::strtoul(argv[1], nullptr, 10) : 0;
  if (argc != 2 || units > CommandLineUnitLimit - ProgramNameUnits) {
    std::fprintf(stderr, "usage: plan_cost N (0 to %u units of tail)\n",
                 CommandLineUnitLimit - ProgramNameUnits);
    return 2;
  }
  const uint32_t end = Copy(RawCommandLine, ProgramName) + static_cast<uint32_t>(units);
  for (uint32_t i = ProgramNameUnits; i < end; ++i) {
    RawCommandLine[i] = u'x';
  }
  RawCommandLine[end] = 0;
  PlanLaunch(RawCommandLine);
  std::printf("%u\n", ChildCommandLength);
  return 0;
}
