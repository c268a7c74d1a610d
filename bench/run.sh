#!/usr/bin/env bash
# The launch-overhead benchmark (results in BENCHMARKS.md); not part of the
# test suite. Installs what it lacks, builds what it needs with the mingw and
# host presets, and in one hyperfine run under Wine times
#   0  an empty process (the floor of any process start),
#   1  the stand-in powershell.exe started directly,
#   2  the same through Install-Yorn-UI.exe,
#   3  the same through Install-Yorn-UI.cmd in cmd.exe;
# then counts the planning's instructions per unit of tail under callgrind.
#   bench/run.sh        (BENCH_WARMUP and BENCH_RUNS override 10 and 200)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
warmup=${BENCH_WARMUP:-10}
runs=${BENCH_RUNS:-200}
wine=/usr/lib/wine/wine64

Step "Checking packages"
EnsurePackages "${BuildPackages[@]}" hyperfine valgrind jq

Step "Builds: Windows (MinGW-w64) and host"
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target launcher bench_empty stand_in_powershell
cmake --preset host >/dev/null
cmake --build --preset host --target plan_cost
launcher=build/mingw/runner/Install-Yorn-UI.exe

Step "Wine prefix and package folder"
export WINEPREFIX="$PWD/build/bench-wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
scratch=$(mktemp -d)
trap 'tests/wine/wine-prefix.sh down; rm -rf "$scratch"' EXIT
tests/wine/wine-prefix.sh up build/mingw/tests/wine/powershell.exe
cp "$launcher" package/Install-Yorn-UI.cmd package/Install-Yorn-UI.ps1 \
  package/Optimize-Yorn-UI.ps1 "$scratch/"
cp build/mingw/bench/bench_empty.exe "$scratch/"
# Windows paths through Wine's Z: drive; hyperfine -N splits each command
# itself and keeps the backslashes inside single quotes.
folder="Z:${scratch//\//\\}"
powershell='C:\windows\system32\WindowsPowerShell\v1.0\powershell.exe'
direct="'$powershell' -NoLogo -NoProfile -ExecutionPolicy Bypass -File '$folder\\Optimize-Yorn-UI.ps1' -FPS 144"

Step "Machine"
grep -m1 '^model name' /proc/cpuinfo | sed 's/^model name[[:space:]]*: /CPU:       /'
echo "Cores:     $(nproc)"
echo "Wine:      $($wine --version)"
echo "hyperfine: $(hyperfine --version)"

Step "Timing ($warmup warm-up runs, $runs runs each)"
json=build/bench/hyperfine.json
mkdir -p build/bench
hyperfine -N --style basic --warmup "$warmup" --runs "$runs" --export-json "$json" \
  -n empty "$wine '$folder\\bench_empty.exe'" \
  -n powershell "$wine $direct" \
  -n exe "$wine '$folder\\Install-Yorn-UI.exe' --optimize 144" \
  -n cmd "$wine cmd.exe /d /c '$folder\\Install-Yorn-UI.cmd' --optimize 144" </dev/null

Step "Planning cost under callgrind"
declare -A planned
for units in 0 32000; do
  valgrind --tool=callgrind --toggle-collect=PlanLaunch --callgrind-out-file="build/bench/callgrind.$units" \
    build/host/bench/plan_cost "$units" >/dev/null 2>&1
  planned[$units]=$(sed -n 's/^summary: //p' "build/bench/callgrind.$units")
  echo "Tail of $units units: ${planned[$units]} instructions"
done

Step "Results"
# One line per command: name, mean, standard deviation (in seconds) and runs.
# The derived figures carry the standard error that the means' own standard
# errors give them; the two ratios share command 1, which the second counts.
jq -r '.results[] | [.command, .mean, .stddev, (.times | length)] | @tsv' "$json" |
  awk -F'\t' -v size="$(stat -c %s "$launcher")" -v planned0="${planned[0]}" \
    -v planned32000="${planned[32000]}" '
    {
      m[NR - 1] = $2; e[NR - 1] = $3 / sqrt($4)
      printf "(%d) %-11s %8.2f ms ± %5.2f ms\n", NR - 1, $1, $2 * 1000, $3 * 1000
    }
    END {
      d = m[2] - m[1]; n = m[3] - m[1]
      r = d / m[0]; re = r * sqrt((e[1] ^ 2 + e[2] ^ 2) / d ^ 2 + (e[0] / m[0]) ^ 2)
      q = n / d; qe = sqrt((e[3] / d) ^ 2 + (n * e[2] / d ^ 2) ^ 2 + ((n - d) * e[1] / d ^ 2) ^ 2)
      printf "Launcher overhead, (2 - 1) / (0):  %.2f ± %.2f empty process starts\n", r, re
      printf "Command script, (3 - 1) / (2 - 1): %.2f ± %.2f\n", q, qe
      printf "Install-Yorn-UI.exe:               %d bytes\n", size
      printf "Planning per unit of tail:         %.2f instructions\n", (planned32000 - planned0) / 32000
    }'
