#!/usr/bin/env bash
# The author's check's benchmark (results in BENCHMARKS.md); not part of
# the test suite. Times the check of this checkout against the one of an
# earlier commit (3005c0c, before the check was walked once), in the same
# interleaved rounds, each a whole run as an author starts it:
#   default   ./build.sh --check on the package's default pair (each side
#             in its own tree), and the check alone on the same pair;
#   long      the check alone on an install script of 20,000 lines;
#   guarded   the check alone on an install script of 2,000 version tests,
#             each guarding a command that 5.1 lacks.
# The inputs come from bench/New-CheckInputs.ps1. Prints the median and the
# fastest of each, in seconds of the clock and of CPU (user and system, of
# the run and all it starts: on a shared machine the clock also counts the
# others' load, the CPU time much less), and keeps every time in
# build/bench/check-times.tsv.
#   bench/check-speed.sh   (CHECK_BENCH_ROUNDS overrides 3, CHECK_BENCH_BASE
#                           the earlier commit, CHECK_BENCH_CASES the cases:
#                           "build-check-default default long guarded")
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
rounds=${CHECK_BENCH_ROUNDS:-3}
base=${CHECK_BENCH_BASE:-3005c0c}
read -r -a cases <<<"${CHECK_BENCH_CASES:-build-check-default default long guarded}"
for case in "${cases[@]}"; do
  [[ "$case" =~ ^(build-check-default|default|long|guarded)$ ]] || Refuse "no case $case: the cases are build-check-default, default, long and guarded"
done
[[ "$rounds" =~ ^[1-9][0-9]*$ ]] || Refuse "CHECK_BENCH_ROUNDS must be a whole number above 0, not $rounds"
git rev-parse --verify --quiet "$base^{commit}" >/dev/null || Refuse "there is no commit $base to compare with"
EnsurePowerShell "the check cannot be timed" || Fail "no PowerShell to time the check with"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/old" build/bench
git archive "$base" | tar -x -C "$work/old"
"$RealPowerShell" -NoProfile -NonInteractive -File bench/New-CheckInputs.ps1 "$work/inputs"
times=build/bench/check-times.tsv
printf 'round\tcase\tside\tseconds\tuser\tsystem\n' >"$times"

# Run ROUND CASE SIDE COMMAND...: times one run, which must end with exit 0
# (the inputs pass both checks), and records it.
Run() {
  local round=$1 case=$2 side=$3 status=0 real user system
  shift 3
  local TIMEFORMAT='%R %U %S'
  { time "$@" >"$work/out" 2>&1 || status=$?; } 2>"$work/time"
  [ "$status" -eq 0 ] || Fail "$case ($side) ended with exit $status: $(tail -n 3 "$work/out")"
  read -r real user system <"$work/time"
  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$round" "$case" "$side" "$real" "$user" "$system" >>"$times"
}

for round in $(seq "$rounds"); do
  Step "Round $round of $rounds"
  # Each case's old and new run one after the other, taking turns to go
  # first, so that the load of the shared machine, which changes from one
  # minute to the next, falls on both alike.
  sides=(old new)
  [ $((round % 2)) -eq 0 ] && sides=(new old)
  for case in "${cases[@]}"; do
    for side in "${sides[@]}"; do
      tree=.
      [ "$side" = old ] && tree=$work/old
      if [ "$case" = build-check-default ]; then
        Run "$round" "$case" "$side" "$tree/build.sh" --check
      else
        Run "$round" "$case" "$side" "$RealPowerShell" -NoProfile -NonInteractive -File "$tree/check/check-scripts.ps1" "$work/inputs/$case"
      fi
    done
  done
done

Step "Seconds, median and fastest of $rounds rounds ($times)"
printf '%-22s %-5s %14s %14s\n' case side 'clock med/min' 'cpu med/min'
awk -F '\t' 'NR > 1 { key = $2 "\t" $3; n[key]++; t[key, n[key]] = $4; c[key, n[key]] = $5 + $6 }
  # Median and least of the COUNT values of table V under KEY.
  function Spread(v, key, count,    i, j, x, s) {
    for (i = 1; i <= count; i++) s[i] = v[key, i]
    for (i = 1; i <= count; i++) for (j = i + 1; j <= count; j++) if (s[j] < s[i]) { x = s[i]; s[i] = s[j]; s[j] = x }
    return sprintf("%6.2f %6.2f", count % 2 ? s[(count + 1) / 2] : (s[count / 2] + s[count / 2 + 1]) / 2, s[1])
  }
  END {
    for (key in n) {
      split(key, part, "\t")
      printf "%-22s %-5s %14s %14s\n", part[1], part[2], Spread(t, key, n[key]), Spread(c, key, n[key])
    }
  }' "$times" | sort
