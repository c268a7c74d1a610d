// libFuzzer target for the launch planning: the raw command line, the
// launcher's own path and the Windows directory go through the same calls, in
// the same order, as in the runner, and every result is held against a plain
// model of the launcher's rules written here with std::u16string.
//
// Input layout, every unit little-endian UTF-16 (an odd last byte is dropped):
//   unit 0          O, the own path's length in units
//   unit 1          W, the Windows directory's length in units
//   next O units    the own path
//   next W units    the Windows directory
//   the rest        the raw command line
// A length beyond the units left takes what is left; a missing one is 0. Any
// unit may appear anywhere: NUL, tab, quotes and unpaired surrogates included.
// write_seeds.cpp writes this layout too.
#include "launch_plan.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace {

using Units = std::u16string_view;

// The runner refuses any longer own path (the platform has cut it) and any
// longer Windows directory (so that the PowerShell suffix always fits).
constexpr size_t OwnPathMax = 32767;
constexpr size_t WindowsDirectoryMax = 31999;
// 32767 units with the NUL is the largest command line a process accepts.
constexpr size_t ChildUnitsMax = 32766;

void Require(bool holds, const char *broken) {
  if (!holds) {
    std::fprintf(stderr, "launch_plan_fuzz: %s\n", broken);
    std::abort();
  }
}

// Exactly the units and one NUL, so that ASan reports any read past the NUL
// that has no embedded NUL before it.
std::unique_ptr<char16_t[]> ExactCopy(Units text) {
  std::unique_ptr<char16_t[]> copy(new char16_t[text.size() + 1]);
  std::copy(text.begin(), text.end(), copy.get());
  copy[text.size()] = 0;
  return copy;
}

// What a NUL-terminated reader of the text sees.
Units UpToNul(Units text) { return text.substr(0, text.find(u'\0')); }

struct ScanModel {
  bool Optimize;
  size_t TailStart;
};

// line ends at the raw line's first NUL.
ScanModel ModelScan(Units line) {
  size_t at = 0;
  if (!line.empty() && line[0] == u'"') {
    const size_t close = line.find(u'"', 1);
    at = close == Units::npos ? line.size() : close + 1;
  } else {
    at = std::min(line.find(u' '), line.size());
  }
  at = std::min(line.find_first_not_of(u' ', at), line.size());
  const Units argument = line.substr(at);
  const size_t switchUnits = 10;
  if (argument.substr(0, switchUnits) != u"--optimize" ||
      (argument.size() > switchUnits && argument[switchUnits] != u' ')) {
    return {false, at};
  }
  return {true, std::min(line.find_first_not_of(u' ', at + switchUnits), line.size())};
}

// memcmp rather than std::u16string_view's ==, whose unit-by-unit loop would
// take most of the time of an input of some 100000 units.
void RequireSameUnits(Units actual, Units expected, const char *broken) {
  if (actual.size() == expected.size() &&
      std::memcmp(actual.data(), expected.data(), actual.size() * sizeof(char16_t)) == 0) {
    return;
  }
  const size_t common = std::min(actual.size(), expected.size());
  const size_t first = static_cast<size_t>(
      std::mismatch(actual.begin(), actual.begin() + common, expected.begin()).first -
      actual.begin());
  std::fprintf(stderr, "launch_plan_fuzz: %zu units, expected %zu; first difference at %zu\n",
               actual.size(), expected.size(), first);
  Require(false, broken);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::u16string input(size / 2, u'\0');
  for (size_t i = 0; i < input.size(); ++i) {
    input[i] = static_cast<char16_t>(data[2 * i] | data[2 * i + 1] << 8);
  }
  Units rest = input;
  const auto take = [&rest](size_t count) {
    const Units piece = rest.substr(0, count);
    rest.remove_prefix(piece.size());
    return piece;
  };
  const Units header = take(2);
  const Units own = take(header.size() > 0 ? header[0] : 0);
  const Units windows = take(header.size() > 1 ? header[1] : 0);
  const std::unique_ptr<char16_t[]> rawCopy = ExactCopy(rest);
  const std::unique_ptr<char16_t[]> ownCopy = ExactCopy(own);
  const std::unique_ptr<char16_t[]> windowsCopy = ExactCopy(windows);

  // The scan needs no path, so every input checks it.
  const char16_t *raw = rawCopy.get();
  const Units line = UpToNul(rest);
  const LaunchRequest request = ScanCommandLine(raw);
  Require(request.Tail >= raw && request.Tail <= raw + line.size(),
          "the tail is not a suffix of the raw line");
  const ScanModel scan = ModelScan(line);
  Require((request.Mode == LaunchMode::Optimize) == scan.Optimize,
          "the mode breaks the switch rule");
  Require(request.Tail == raw + scan.TailStart, "the tail starts at the wrong unit");

  // Held against the product's own request, so that these two rules are
  // checked apart from the scan.
  const Units tail = line.substr(static_cast<size_t>(request.Tail - raw));
  const bool optimize = request.Mode == LaunchMode::Optimize;
  const bool fpsPrefix =
      optimize && !tail.empty() &&
      (tail[0] != u'-' || (tail.size() > 1 && u'0' <= tail[1] && tail[1] <= u'9'));
  Require(TailIsEmpty(request) == tail.empty(), "TailIsEmpty breaks its rule");
  Require(TailTakesFpsPrefix(request) == fpsPrefix, "TailTakesFpsPrefix breaks its rule");

  const bool ownAccepted = !own.empty() && own.size() <= OwnPathMax;
  const bool windowsAccepted = !windows.empty() && windows.size() <= WindowsDirectoryMax;
  const size_t lastBackslash = own.rfind(u'\\');
  const size_t directoryEnd = lastBackslash == Units::npos ? 0 : lastBackslash + 1;
  if (ownAccepted) {
    // A unit that is not NUL just past the path, where a stale NUL from an
    // earlier input could hide a missing terminator.
    std::copy(own.begin(), own.end(), ModuleDirectory);
    ModuleDirectory[own.size()] = u'#';
    DeriveModuleDirectory(static_cast<uint32_t>(own.size()));
    RequireSameUnits(Units(ModuleDirectory, directoryEnd), own.substr(0, directoryEnd),
                     "ModuleDirectory is not the own path up to its last backslash");
    Require(ModuleDirectory[directoryEnd] == 0,
            "ModuleDirectory does not end after the last backslash");
  }

  const std::u16string powerShell =
      std::u16string(windows) + u"\\System32\\WindowsPowerShell\\v1.0\\powershell.exe";
  if (windowsAccepted) {
    std::copy(windows.begin(), windows.end(), PowerShellPath);
    PowerShellPath[powerShell.size()] = u'#';
    DerivePowerShellPath(static_cast<uint32_t>(windows.size()));
    RequireSameUnits(Units(PowerShellPath, powerShell.size()), powerShell,
                     "PowerShellPath is not the Windows directory and the PowerShell suffix");
    Require(PowerShellPath[powerShell.size()] == 0, "PowerShellPath does not end after the suffix");
  }
  if (!ownAccepted || !windowsAccepted) {
    return 0; // the runner stops before it builds a child
  }

  // Nothing is escaped: every piece goes in as its NUL-terminated text.
  std::u16string child = u"\"";
  child += UpToNul(powerShell);
  child += u"\" -NoLogo -NoProfile -ExecutionPolicy Bypass -File \"";
  child += UpToNul(own.substr(0, directoryEnd));
  child += optimize ? u"Optimize-Yorn-UI.ps1" : u"Install-Yorn-UI.ps1";
  child += u"\" ";
  child += fpsPrefix ? u"-FPS " : u"";
  child += tail;
  child.resize(std::min(child.size(), ChildUnitsMax));

  ChildCommandLength = 12345;
  ChildCommandLine[child.size()] = u'#';
  AssembleChildCommandLine(request);
  Require(ChildCommandLength <= ChildUnitsMax, "the child's command line is too long");
  Require(ChildCommandLine[ChildCommandLength] == 0,
          "the child's command line has no NUL at its length");
  RequireSameUnits(Units(ChildCommandLine, ChildCommandLength), child,
                   "the child's command line is not its pieces in order, cut at 32766 units");
  return 0;
}
