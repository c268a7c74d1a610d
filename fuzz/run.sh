#!/usr/bin/env bash
# Builds the launch-planning fuzzer and runs it; installs whatever the machine
# lacks first. Fails on any finding, whose input is left under build/fuzz/.
#   fuzz/run.sh [SECONDS]   run for SECONDS (default 60)
#   fuzz/run.sh --runs N    run N inputs, however long that takes
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

usage="usage: fuzz/run.sh [SECONDS | --runs N]"
limit=(-max_total_time=60)
if [ "${1:-}" = --runs ]; then
  [[ ${2:-} =~ ^[0-9]+$ ]] || Refuse "$usage"
  limit=(-runs="$2")
elif [ $# -gt 0 ]; then
  [[ $1 =~ ^[0-9]+$ ]] || Refuse "$usage"
  limit=(-max_total_time="$1")
fi

out=build/fuzz
Step "Checking packages"
EnsurePackages clang libclang-rt-14-dev cmake ninja-build

Step "Building the fuzzer (clang, ASan, UBSan)"
cmake -S fuzz -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out"

# The corpus starts from the seeds alone on every run, so that one run does
# not depend on what an earlier one found.
Step "Writing seeds"
rm -rf "$out/seeds" "$out/corpus" "$out/findings"
mkdir -p "$out/seeds" "$out/corpus" "$out/findings"
"$out/write_seeds" "$out/seeds"
echo "$(find "$out/seeds" -type f | wc -l) seeds in $out/seeds"

Step "Fuzzing (${limit[*]}); full log in $out/fuzz.log"
status=0
"$out/launch_plan_fuzz" "${limit[@]}" -max_len=200000 -print_final_stats=1 \
  -artifact_prefix="$out/findings/" "$out/corpus" "$out/seeds" >"$out/fuzz.log" 2>&1 || status=$?

if [ "$status" -ne 0 ] || [ -n "$(ls -A "$out/findings")" ]; then
  grep -E '^launch_plan_fuzz:|^==[0-9]+==ERROR|^SUMMARY|runtime error|Test unit written' "$out/fuzz.log" || tail -n 20 "$out/fuzz.log"
  echo "FAILED: finding saved in $out/findings/; replay it with $out/launch_plan_fuzz FILE"
  exit 1
fi
grep -E '^#[0-9]+[[:space:]]+DONE|^stat::(number_of_executed_units|average_exec_per_sec)|^Done' "$out/fuzz.log"
echo "No findings."
