# shellcheck shell=bash
# Shared by the tests that run ./build.sh as a package author does, in a
# copy of the sources: sourced after scripts/common.sh, with `work` naming a
# scratch folder; sets `src`, the copy, and gives the build and the check of
# a refusal.

: "${work:?work must name the scratch folder}"
src=$work/src
mkdir -p "$src"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$src"

# Build ARGUMENT...: ./build.sh in the copy, its output in $work/build.log;
# started through the command in build_as, when it names one (such as
# setpriv, to build as another user).
build_as=()
Build() {
  (cd "$src" && timeout 600 ${build_as[@]+"${build_as[@]}"} ./build.sh "$@" </dev/null >"$work/build.log" 2>&1)
}
# BuildFrom FOLDER ARGUMENT...: the same, started from FOLDER by a relative
# path, such as ../src/build.sh.
BuildFrom() {
  (cd "$1" && timeout 600 "$(realpath --relative-to=. "$src")/build.sh" "${@:2}" </dev/null >"$work/build.log" 2>&1)
}
Snapshot() { (cd "$src/dist" && find . -printf '%p %s %m %T@\n' | sort && find . -type f -exec sha256sum {} + | sort); }

# Refused PROBLEM ARGUMENT...: the build fails with one error line that
# names PROBLEM (the build's own "error: ..." or the check's
# "PATH:LINE:COL: error: ..."), and leaves dist/ and no staging folder
# behind; the build's exit status is left in refused_status.
Refused() {
  local before
  before=$(Snapshot)
  refused_status=0
  Build "${@:2}" || refused_status=$?
  [ $refused_status -ne 0 ] || Fail "refused nothing where it should refuse: $1"
  local errors
  errors=$(grep -E '^error: |^[^ ]+:[0-9]+:[0-9]+: error: ' "$work/build.log" || true)
  [ "$(echo "$errors" | wc -l)" -eq 1 ] && [[ $errors == *"$1"* ]] ||
    Fail "expected one error naming \"$1\", got: ${errors:-$(tail -n 3 "$work/build.log")}"
  [ "$before" = "$(Snapshot)" ] || Fail "dist/ changed on: $errors"
  ! ls -d "$src"/dist.* >/dev/null 2>&1 || Fail "a staging folder was left on: $errors"
  echo "Refused: ${errors#error: }"
}
