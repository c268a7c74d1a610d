#include <gtest/gtest.h>

#include <string>

#include "launch_plan.h"

namespace {

struct ScanRow {
  const char16_t *Line; // the raw command line, program name included
  LaunchMode Mode;
  const char16_t *Tail;
  bool Prefix; // TailTakesFpsPrefix
};

constexpr LaunchMode I = LaunchMode::Install;
constexpr LaunchMode O = LaunchMode::Optimize;

// Rows written after a program name; each runs once after l.exe and once after
// a quoted full path with spaces.
const ScanRow AfterEitherName[] = {
    {u"", I, u"", false},
    {u"   ", I, u"", false},
    {u" --optimize", O, u"", false},
    {u"   --optimize   ", O, u"", false},
    {u"   --optimize   144", O, u"144", true},
    {u" --optimize 144  ", O, u"144  ", true},
    {u" --optimize -FPS 60", O, u"-FPS 60", false},
    {u" --optimize -1", O, u"-1", true},
    {u" --optimize -9x", O, u"-9x", true},
    {u" --optimize \"60\"", O, u"\"60\"", true},
    {u" --optimize -", O, u"-", false},
    {u" --optimize -Verbose", O, u"-Verbose", false},
    {u" --optimize \t60", O, u"\t60", true},
    {u" --optimize\t60", I, u"--optimize\t60", false},
    {u" --Optimize 60", I, u"--Optimize 60", false},
    {u" --optimizer", I, u"--optimizer", false},
    {u" --opt", I, u"--opt", false},
    {u" -", I, u"-", false},
    {u" 60", I, u"60", false},
    {u" \"--optimize\"", I, u"\"--optimize\"", false},
    {u" a \"b c\" \\\"d\\\"  ", I, u"a \"b c\" \\\"d\\\"  ", false},
    {u" --optimize --optimize 5", O, u"--optimize 5", false},
    {u" \x00E9t\x00E9 \xD83D\xDE00 \xDC00", I, u"\x00E9t\x00E9 \xD83D\xDE00 \xDC00", false},
};

// Rows where the whole line matters: no name at all, names that are never
// closed, and what separates a name from the switch.
const ScanRow WholeLines[] = {
    {u"", I, u"", false},
    {u"\"C:\\Program Files\\l.exe", I, u"", false},
    {u"\"C:\\Program Files\\l.exe --optimize 60", I, u"", false},
    {u"l.exe\t--optimize", I, u"", false},
    {u"l.exe\t--optimize 60", I, u"60", false},
    {u"\"C:\\Yorn UI\\l.exe\"--optimize 60", O, u"60", true},
    {u"\"C:\\Yorn UI\\l.exe\"\t--optimize", I, u"\t--optimize", false},
    {u"\"C:\\Yorn\\\"l.exe 60", I, u"l.exe 60", false},
    {u"\"\" --optimize 7", O, u"7", true},
    {u"l.exe\"x y\" --optimize", I, u"y\" --optimize", false},
};

void ExpectScan(const std::u16string &line, const ScanRow &row) {
  const LaunchRequest request = ScanCommandLine(line.c_str());
  const std::u16string tail = row.Tail;
  EXPECT_EQ(request.Mode, row.Mode);
  EXPECT_EQ(std::u16string(request.Tail), tail);
  // The tail is a view that ends at the line's own NUL, never a copy.
  EXPECT_EQ(request.Tail, line.c_str() + line.size() - tail.size());
  EXPECT_EQ(TailIsEmpty(request), tail.empty());
  EXPECT_EQ(TailTakesFpsPrefix(request), row.Prefix);
}

std::string Printable(const std::u16string &text) {
  std::string out;
  for (const char16_t unit : text) {
    if (unit == u'\t') {
      out += "<TAB>";
    } else if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else {
      out += "<U+" + std::to_string(static_cast<unsigned>(unit)) + ">";
    }
  }
  return out;
}

TEST(ScanCommandLine, AfterEitherProgramName) {
  for (const char16_t *name : {u"l.exe", u"\"C:\\Program Files\\Yorn UI\\l.exe\""}) {
    for (const ScanRow &row : AfterEitherName) {
      const std::u16string line = std::u16string(name) + row.Line;
      SCOPED_TRACE(Printable(line));
      ExpectScan(line, row);
    }
  }
}

TEST(ScanCommandLine, WholeLines) {
  for (const ScanRow &row : WholeLines) {
    SCOPED_TRACE(Printable(row.Line));
    ExpectScan(row.Line, row);
  }
}

TEST(ScanCommandLine, InstallModeNeverTakesThePrefix) {
  for (const char16_t *tail : {u"60", u"-1", u"\"60\""}) {
    EXPECT_FALSE(TailTakesFpsPrefix(LaunchRequest{LaunchMode::Install, tail}));
  }
}

} // namespace
