#include "launch_plan.h"

namespace {

// Masking off bit 0x20 leaves zero for exactly two units: NUL and space.
bool IsSpaceOrNul(char16_t unit) { return (unit & 0xFFDF) == 0; }

bool IsDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }

const char16_t OptimizeSwitch[] = u"--optimize";
constexpr uint32_t OptimizeSwitchUnits = sizeof OptimizeSwitch / sizeof OptimizeSwitch[0] - 1;

} // namespace

LaunchRequest ScanCommandLine(const char16_t *raw) {
  const char16_t *position = raw;

  // The program name: a quoted name ends just past its closing quote (or at
  // the NUL when the quote is never closed), with no escapes and no doubled
  // quotes; an unquoted name ends at the first space or the NUL, so a tab is
  // part of it.
  if (*position == u'"') {
    ++position;
    while (*position != u'"' && *position != 0) {
      ++position;
    }
    if (*position == u'"') {
      ++position;
    }
  } else {
    while (!IsSpaceOrNul(*position)) {
      ++position;
    }
  }
  while (*position == u' ') {
    ++position;
  }

  // The switch counts only as the whole first argument, unquoted and in lower
  // case. The comparison stops at the first differing pair, and a NUL differs
  // from every unit of the switch, so it never reads past the end of the line.
  uint32_t matched = 0;
  while (matched < OptimizeSwitchUnits && position[matched] == OptimizeSwitch[matched]) {
    ++matched;
  }
  if (matched == OptimizeSwitchUnits && IsSpaceOrNul(position[OptimizeSwitchUnits])) {
    const char16_t *tail = position + OptimizeSwitchUnits;
    while (*tail == u' ') {
      ++tail;
    }
    return LaunchRequest{LaunchMode::Optimize, tail};
  }
  return LaunchRequest{LaunchMode::Install, position};
}

bool TailIsEmpty(LaunchRequest request) { return request.Tail[0] == 0; }

// A bare value after the switch becomes the optimisation script's frame rate;
// text that starts like an option ("-FPS 60", "-Verbose") is passed on as it
// is, but a negative number ("-1") is still a value.
bool TailTakesFpsPrefix(LaunchRequest request) {
  if (request.Mode != LaunchMode::Optimize || TailIsEmpty(request)) {
    return false;
  }
  return request.Tail[0] != u'-' || IsDigit(request.Tail[1]);
}
