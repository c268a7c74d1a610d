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
# fastest of each, and keeps every time in build/bench/check-times.tsv.
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
printf 'round\tcase\tside\tseconds\texit\n' >"$times"

# Run ROUND CASE SIDE COMMAND...: times one run, which must end with exit 0
# (the inputs pass both checks), and records it.
Run() {
  local round=$1 case=$2 side=$3 start end status=0
  shift 3
  start=$(date +%s%N)
  "$@" >"$work/out" 2>&1 || status=$?
  end=$(date +%s%N)
  [ "$status" -eq 0 ] || Fail "$case ($side) ended with exit $status: $(tail -n 3 "$work/out")"
  printf '%s\t%s\t%s\t%s\t%s\n' "$round" "$case" "$side" "$(((end - start) / 1000000))" "$status" >>"$times"
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
printf '%-22s %-5s %8s %8s\n' case side median fastest
awk -F '\t' 'NR > 1 { key = $2 "\t" $3; n[key]++; t[key, n[key]] = $4 / 1000 }
  END {
    for (key in n) {
      count = n[key]
      for (i = 1; i <= count; i++) v[i] = t[key, i]
      for (i = 1; i <= count; i++) for (j = i + 1; j <= count; j++) if (v[j] < v[i]) { x = v[i]; v[i] = v[j]; v[j] = x }
      median = count % 2 ? v[(count + 1) / 2] : (v[count / 2] + v[count / 2 + 1]) / 2
      split(key, part, "\t")
      printf "%-22s %-5s %8.2f %8.2f\n", part[1], part[2], median, v[1]
    }
  }' "$times" | sort
