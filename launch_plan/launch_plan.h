// Launch planning: turns the raw command line, the launcher's own path and
// the Windows directory into the child's command line, its working directory
// and the decision to pause. No platform calls; every text is UTF-16 units.
#pragma once

#include <stdint.h>

enum class LaunchMode : uint32_t { Install, Optimize };

struct LaunchRequest {
  LaunchMode Mode;
  // A view into the raw command line, which the platform keeps unchanged for
  // the whole run: the passed-on text runs from here to its NUL.
  const char16_t *Tail;
};

// 32767 units with the NUL is the largest command line a process accepts.
constexpr uint32_t CommandLineUnitLimit = 32766;
constexpr uint32_t TextBufferUnits = 32768;

extern char16_t ModuleDirectory[TextBufferUnits];
extern char16_t PowerShellPath[TextBufferUnits];
extern char16_t ChildCommandLine[TextBufferUnits];
extern uint32_t ChildCommandLength;

LaunchRequest ScanCommandLine(const char16_t *raw);
bool TailIsEmpty(LaunchRequest request);
bool TailTakesFpsPrefix(LaunchRequest request);

void DeriveModuleDirectory(uint32_t length);
void DerivePowerShellPath(uint32_t length);
void AppendChildText(const char16_t *text);
void AssembleChildCommandLine(LaunchRequest request);
