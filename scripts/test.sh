#!/usr/bin/env bash
# The project's test command: prepares the machine, then builds and tests everything.
#   1. scripts/bootstrap.sh (packages, locale, mingw libraries; quick when done before)
#   2. native preset (Debug, AddressSanitizer + UBSan): configure, build, ctest
#   3. mingw-i686 preset: configure, build, static-link check; on the i686 road also ctest
#      under Wine in code pages 1252 and 932
#   4. on the x64 road (a kernel that cannot run 32-bit programs, or KORU_WINDOWS_ROAD=x64):
#      the mingw-x64 preset likewise, its ctest in both code pages
#   5. scripts/check-format.sh
# Every stage runs (unless one it needs failed); a summary follows at the end.
#   test.sh [--no-native] [--no-windows] [--no-format]
set -uo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(dirname "$here")
cd "$repo"
source "$here/lib/windows-road.sh"

do_native=1
do_windows=1
do_format=1
for arg in "$@"; do
  case $arg in
    --no-native) do_native=0 ;;
    --no-windows) do_windows=0 ;;
    --no-format) do_format=0 ;;
    -h | --help)
      sed -n '2,12p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "test.sh: unknown argument $arg" >&2
      exit 2
      ;;
  esac
done

readonly JOBS=2
names=()
results=()
seconds=()
started=$SECONDS

# stage NAME COMMAND...: runs one stage and records its result.
stage() {
  local name=$1 t0=$SECONDS rc=0
  shift
  printf '\n==== %s\n' "$name"
  "$@" || rc=$?
  names+=("$name")
  seconds+=($((SECONDS - t0)))
  if ((rc == 0)); then
    results+=(ok)
  else
    results+=("FAILED (exit $rc)")
    printf '==== %s FAILED (exit %d)\n' "$name" "$rc"
  fi
  return "$rc"
}
skip() {
  names+=("$1")
  seconds+=(0)
  results+=("skipped: $2")
}

bootstrap_args=()
((do_windows)) || bootstrap_args+=(--native)
if ! stage "bootstrap" bash scripts/bootstrap.sh "${bootstrap_args[@]}"; then
  do_native=0
  do_windows=0
  skip "everything else" "bootstrap failed"
fi

if ((do_native)); then
  if stage "native: configure" cmake --preset native; then
    if stage "native: build" cmake --build --preset native -j "$JOBS"; then
      stage "native: tests" ctest --preset native --no-tests=error </dev/null
    else
      skip "native: tests" "build failed"
    fi
  else
    skip "native: build and tests" "configure failed"
  fi
fi

# windows_build PRESET: configure, build and static-link check; false when there is no build.
windows_build() {
  local preset=$1
  if ! stage "$preset: configure" cmake --preset "$preset"; then
    skip "$preset: build and tests" "configure failed"
    return 1
  fi
  if ! stage "$preset: build" cmake --build --preset "$preset" -j "$JOBS"; then
    skip "$preset: tests" "build failed"
    return 1
  fi
  stage "$preset: static link check" bash scripts/check-static.sh "build/$preset"
  return 0
}

road_line=
if ((do_windows)); then
  # Decided once: which build's tests this machine can run.
  road_ok=1
  if koru_windows_road; then
    road_line=$(koru_windows_road_line)
  else
    road_ok=0
    road_line="Windows road: none: $KORU_ROAD_REASON"
  fi
  printf '\n==== %s\n' "$road_line"
  names+=("Windows road: ${KORU_ROAD:-none}")
  seconds+=(0)
  ((road_ok)) && results+=("$KORU_ROAD_REASON") || results+=("FAILED: $KORU_ROAD_REASON")

  # The shipped 32-bit program is built and checked on every machine.
  i686_built=0
  windows_build mingw-i686 && i686_built=1
  if ((road_ok)); then
    tested=$KORU_ROAD_PRESET
    if [[ $KORU_ROAD == x64 ]]; then
      windows_build mingw-x64 && tested_built=1 || tested_built=0
    else
      tested_built=$i686_built
    fi
    if ((tested_built)); then
      for cp in 1252 932; do
        stage "$tested: tests, code page $cp" \
          bash scripts/test-windows.sh --preset "$tested" --no-build --codepage "$cp"
      done
    fi
  fi
fi

if ((do_format)); then
  stage "format check" bash scripts/check-format.sh
fi

failures=0
printf '\n==== Summary (%d s in all)\n' $((SECONDS - started))
[[ -n $road_line ]] && printf '  %s\n' "$road_line"
for i in "${!names[@]}"; do
  printf '  %-40s %6s s  %s\n' "${names[$i]}" "${seconds[$i]}" "${results[$i]}"
  [[ ${results[$i]} == FAILED* ]] && failures=$((failures + 1))
done
if ((failures)); then
  printf '==== %d stage(s) FAILED\n' "$failures"
  exit 1
fi
printf '==== all stages passed\n'
