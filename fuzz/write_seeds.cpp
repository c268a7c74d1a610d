// Writes the fuzzer's starting inputs, one file per edge case, into the
// directory given as the only argument, in the layout that
// launch_plan_fuzz.cpp reads: own path length, Windows directory length, own
// path, Windows directory, raw line, all little-endian UTF-16.
#include <cstdio>
#include <fstream>
#include <string>

using namespace std::string_literals;

namespace {

struct Seed {
  const char *Name;
  std::u16string Line;
  std::u16string Own = u"D:\\Pkg\\Install-Yorn-UI.exe";
  std::u16string Windows = u"C:\\Windows";
};

std::u16string Repeat(char16_t unit, size_t count) { return std::u16string(count, unit); }

bool Write(const std::string &directory, const Seed &seed) {
  const std::u16string units = std::u16string(1, static_cast<char16_t>(seed.Own.size())) +
                               static_cast<char16_t>(seed.Windows.size()) + seed.Own +
                               seed.Windows + seed.Line;
  std::ofstream file(directory + "/" + seed.Name, std::ios::binary);
  for (const char16_t unit : units) {
    file.put(static_cast<char>(unit & 0xFF)).put(static_cast<char>(unit >> 8));
  }
  return static_cast<bool>(file);
}

} // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_seeds DIRECTORY\n");
    return 2;
  }
  const std::u16string longTail = Repeat(u'x', 33000);
  // The longest own path and Windows directory the runner accepts.
  const std::u16string longOwn = u"D:\\" + Repeat(u'p', 32758) + u"\\l.exe";
  const std::u16string longWindows = u"C:\\" + Repeat(u'w', 31996);
  const Seed seeds[] = {
      {"empty-line", u""},
      {"name-alone", u"l.exe"},
      {"name-trailing-spaces", u"l.exe   "},
      {"unclosed-quote", u"\"C:\\Program Files\\x\\l.exe --optimize 60"},
      {"tab-before-switch", u"l.exe\t--optimize"},
      {"switch", u"l.exe --optimize"},
      {"switch-spaced-value", u"l.exe   --optimize   144"},
      {"switch-value-trailing-spaces", u"l.exe --optimize 144  "},
      {"switch-option", u"l.exe --optimize -FPS 60"},
      {"switch-negative", u"l.exe --optimize -1"},
      {"switch-negative-zero", u"l.exe --optimize -0"},
      {"switch-negative-nine", u"l.exe --optimize -9"},
      {"switch-dash-colon", u"l.exe --optimize -:"},
      {"switch-quoted-value", u"l.exe --optimize \"60\""},
      {"switch-lone-dash", u"l.exe --optimize -"},
      {"switch-tab-value", u"l.exe --optimize \t60"},
      {"switch-tab-joined", u"l.exe --optimize\t60"},
      {"switch-upper-case", u"l.exe --Optimize 60"},
      {"switch-longer", u"l.exe --optimizer"},
      {"switch-shorter", u"l.exe --opt"},
      {"bare-value", u"l.exe 60"},
      {"quoted-switch", u"l.exe \"--optimize\""},
      {"quoted-name-joined", u"\"C:\\Program Files\\x\\l.exe\"--optimize 60"},
      {"nul-inside-switch", u"l.exe --optimiz\0e 60"s},
      {"nul-after-dash", u"l.exe --optimize -\0"
                         u"1"s},
      {"surrogates", u"l.exe --optimize \xD800 \xDC00\xD83D"},
      {"own-no-backslash", u"l.exe --optimize 144", u"Install-Yorn-UI.exe"},
      {"own-trailing-backslash", u"l.exe --optimize 144", u"D:\\Pkg\\"},
      {"windows-root", u"l.exe --optimize 144", u"D:\\Pkg\\Install-Yorn-UI.exe", u"C:\\"},
      {"long-tail", u"l.exe " + longTail},
      {"long-tail-switch", u"l.exe --optimize " + longTail},
      {"longest-paths", u"l.exe --optimize 60", longOwn, longWindows},
  };
  for (const Seed &seed : seeds) {
    if (!Write(argv[1], seed)) {
      std::fprintf(stderr, "write_seeds: cannot write %s/%s\n", argv[1], seed.Name);
      return 1;
    }
  }
  return 0;
}
