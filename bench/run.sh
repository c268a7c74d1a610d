#!/usr/bin/env bash
# The launch-overhead benchmark (results in BENCHMARKS.md); not part of the
# test suite. Installs what it lacks, builds what it needs with the mingw and
# host presets, and times, from inside Windows (under Wine, with a warm
# wineserver), in the same interleaved rounds:
#   empty       an empty process: the floor of any process start;
#   direct      the stand-in powershell.exe, started with the launcher's line;
#   launcher    the same through Install-Yorn-UI.exe --optimize 144;
#   script      the same through cmd.exe /d /c Install-Yorn-UI.cmd --optimize 144;
#   peer        the same through distlib's t64.exe, a peer launcher;
# then counts the planning's instructions per unit of tail under callgrind.
#   bench/run.sh        (BENCH_ROUNDS and BENCH_WARMUP override 200 and 5)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh
rounds=${BENCH_ROUNDS:-200}
warmup=${BENCH_WARMUP:-5}
peer_launcher=/usr/lib/python3/dist-packages/distlib/t64.exe

Step "Checking packages"
EnsurePackages "${BuildPackages[@]}" valgrind python3-distlib

Step "Builds: Windows (MinGW-w64) and host"
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target launcher bench_empty bench_timer stand_in_powershell
cmake --preset host >/dev/null
cmake --build --preset host --target plan_cost
launcher=build/mingw/runner/Install-Yorn-UI.exe
mkdir -p build/bench

Step "Wine prefix and package folder"
UseWine "$PWD/build/bench-wineprefix"
scratch=$(mktemp -d)
trap 'tests/wine/wine-prefix.sh down; rm -rf "$scratch"' EXIT
tests/wine/wine-prefix.sh up build/mingw/tests/wine/powershell.exe
cp "$launcher" release/Install-Yorn-UI.cmd package/Install-Yorn-UI.ps1 \
  package/Optimize-Yorn-UI.ps1 build/mingw/bench/bench_empty.exe "$scratch/"
mkdir "$scratch/records"
folder="Z:${scratch//\//\\}"
powershell='C:\windows\System32\WindowsPowerShell\v1.0\powershell.exe'
# The peer reads the program to start from a #! line appended to itself,
# followed by a zip archive whose __main__.py a Python would run.
mkdir "$scratch/archive"
echo 'print("unused")' >"$scratch/archive/__main__.py"
(cd "$scratch/archive" && zip -q -X ../archive.zip __main__.py)
{ cat "$peer_launcher" && printf '#!"%s"\r\n' "$powershell" && cat "$scratch/archive.zip"; } >"$scratch/peer.exe"
direct="\"$powershell\" -NoLogo -NoProfile -ExecutionPolicy Bypass -File \"$folder\\Optimize-Yorn-UI.ps1\" -FPS 144"
printf '%s\t%s\t%s\n' \
  empty "$folder\\bench_empty.exe" "\"$folder\\bench_empty.exe\"" \
  direct "$powershell" "$direct" \
  launcher "$folder\\Install-Yorn-UI.exe" "\"$folder\\Install-Yorn-UI.exe\" --optimize 144" \
  script 'C:\windows\system32\cmd.exe' "cmd.exe /d /c \"\"$folder\\Install-Yorn-UI.cmd\" --optimize 144\"" \
  peer "$folder\\peer.exe" "\"$folder\\peer.exe\" --optimize 144" >"$scratch/commands.txt"

Step "Machine"
grep -m1 '^model name' /proc/cpuinfo | sed 's/^model name[[:space:]]*: /CPU:   /'
echo "Cores: $(nproc)"
echo "Wine:  $("$Wine" --version)"

Step "Timing: $warmup warm-up rounds, then $rounds rounds of all five commands"
times=build/bench/times.tsv
started=$SECONDS
"$Wine" build/mingw/bench/bench_timer.exe "$folder\\commands.txt" "$rounds" "$warmup" \
  "$folder\\times.tsv" "$folder\\records" </dev/null >"$scratch/exit-codes.txt" 2>"$scratch/timer.log" ||
  { cat "$scratch/timer.log" >&2; exit 1; }
cp "$scratch/times.tsv" "$times"
grep '^note' "$scratch/timer.log" || true
echo "Took $((SECONDS - started)) s; every round's times are in $times"

Step "What reached PowerShell (stand-in told to exit with 7)"
# A record holds NUL-separated UTF-16 fields; the first is the command line.
while IFS=$'\t' read -r name code; do
  line=$(iconv -f UTF-16LE -t UTF-8 "$scratch/records/$name.rec" 2>/dev/null | tr '\0' '\n' | head -n 1 || true)
  printf '%-9s exit code %-3s %s\n' "$name" "$code" "${line:-(PowerShell not started)}"
  declare "line_$name=$line" "code_$name=$code"
done < <(tr -d '\r' <"$scratch/exit-codes.txt")
checks_failed=0
Broken() {
  echo "error: $*" >&2
  checks_failed=1
}
# The rows above named their variables after each command.
Recorded() { local variable="$1_$2" && echo "${!variable}"; }
[ "$(Recorded code empty)" = 0 ] || Broken "the empty program exited with $(Recorded code empty)"
for name in direct launcher script peer; do
  [ "$(Recorded code "$name")" = 7 ] || Broken "$name did not pass the exit code on"
done
for name in launcher script; do
  [ "$(Recorded line "$name")" = "$direct" ] || Broken "$name gave PowerShell another line than the launcher's"
done
[ "$(Recorded line peer)" = "\"$powershell\"  \"$folder\\peer.exe\" --optimize 144" ] ||
  Broken "the peer did not pass the arguments on"
[ $checks_failed -eq 0 ] || exit 1

Step "Planning cost under callgrind"
declare -A planned
for units in 0 32000; do
  valgrind --tool=callgrind --toggle-collect=PlanLaunch --callgrind-out-file="build/bench/callgrind.$units" \
    build/host/bench/plan_cost "$units" >/dev/null 2>&1
  planned[$units]=$(sed -n 's/^summary: //p' "build/bench/callgrind.$units")
  echo "Tail of $units units: ${planned[$units]} instructions"
done

Step "Results"
# Each figure is computed over all rounds and over each half of them; the
# halves show how far the figure moves within one run. A stall only ever
# adds time, so the headline is each command's 20th percentile: its cost
# when nothing else got in the way. The median and 90th percentile show the
# noise.
awk -F'\t' -v half=$((rounds / 2)) '{
    print "all\t" $2 "\t" $3
    print ($1 < half ? "first" : "second") "\t" $2 "\t" $3
  }' "$times" | sort -t$'\t' -k1,1 -k2,2 -k3,3g |
  awk -F'\t' -v ours="$(stat -c %s "$launcher")" -v peer="$(stat -c %s "$peer_launcher")" \
    -v planned0="${planned[0]}" -v planned32000="${planned[32000]}" '
    { n[$1, $2]++; v[$1, $2, n[$1, $2]] = $3 }
    function P(set, name, p,   k) { k = int(p * n[set, name]); if (k < p * n[set, name]) k++; return v[set, name, k] }
    function Overhead(set, route) { return (P(set, route, 0.2) - P(set, "direct", 0.2)) / P(set, "empty", 0.2) }
    function Ratio(set, route,   o) { o = Overhead(set, "launcher"); return o > 0 ? Overhead(set, route) / o : "n/a" }
    function Row(label, first, second, all) {
      printf "%-42s %6s   (halves: %s and %s)\n", label, Format(all), Format(first), Format(second)
    }
    function Format(x) { return x == "n/a" ? x : sprintf("%.2f", x) }
    END {
      split("empty direct launcher script peer", names, " ")
      label["empty"] = "empty process"; label["direct"] = "stand-in, started directly"
      label["launcher"] = "through Install-Yorn-UI.exe"; label["script"] = "through Install-Yorn-UI.cmd"
      label["peer"] = "through the peer (distlib t64)"
      printf "%-32s %9s %9s %9s   (ms, %d rounds)\n", "Command", "p20", "median", "p90", n["all", "empty"]
      for (i = 1; i <= 5; i++)
        printf "%-32s %9.2f %9.2f %9.2f\n", label[names[i]], 1000 * P("all", names[i], 0.2),
          1000 * P("all", names[i], 0.5), 1000 * P("all", names[i], 0.9)
      print ""
      print "Overhead over the direct start, in empty process starts, from the 20th percentiles:"
      for (i = 3; i <= 5; i++)
        Row(label[names[i]], Overhead("first", names[i]), Overhead("second", names[i]), Overhead("all", names[i]))
      Row("peer over Install-Yorn-UI.exe (times)", Ratio("first", "peer"), Ratio("second", "peer"), Ratio("all", "peer"))
      Row("command script over Install-Yorn-UI.exe", Ratio("first", "script"), Ratio("second", "script"), Ratio("all", "script"))
      print ""
      printf "Install-Yorn-UI.exe: %d bytes; the peer, t64.exe: %d bytes\n", ours, peer
      printf "Planning per unit of tail: %.2f instructions\n", (planned32000 - planned0) / 32000
      o = Overhead("all", "launcher"); q = Ratio("all", "peer"); s = Ratio("all", "script")
      if (o <= 0) printf "warning: the launcher came out at %.2f empty starts, no dearer than a direct start: a disturbed run\n", o
      if (o > 1.5) printf "warning: the launcher costs %.2f empty starts; expected at most 1.5\n", o
      if (q == "n/a" || q < 3) printf "warning: the peer costs %s times the launcher; expected at least 3\n", Format(q)
      if (s == "n/a" || s < 2) printf "warning: the command script costs %s times the launcher; expected at least 2\n", Format(s)
      printf "Launcher overhead: %.2f empty process starts\n", o
      printf "Peer launcher (distlib t64) overhead: %.2f empty process starts\n", Overhead("all", "peer")
      printf "Command script overhead: %.2f empty process starts\n", Overhead("all", "script")
    }'
