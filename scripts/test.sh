#!/usr/bin/env bash
# The project's test command: prepares the machine, then builds and tests everything.
#   1. scripts/bootstrap.sh (packages, locale, mingw libraries; quick when done before)
#   2. native preset (Debug, AddressSanitizer + UBSan): configure, build, ctest
#   3. mingw-i686 preset: configure, build, ctest under Wine in code pages 1252 and 932
#   4. scripts/check-format.sh
# Every stage runs (unless one it needs failed); a summary follows at the end.
#   test.sh [--no-native] [--no-windows] [--no-format]
set -uo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(dirname "$here")
cd "$repo"

do_native=1
do_windows=1
do_format=1
for arg in "$@"; do
  case $arg in
    --no-native) do_native=0 ;;
    --no-windows) do_windows=0 ;;
    --no-format) do_format=0 ;;
    -h | --help)
      sed -n '2,9p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
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

if ((do_windows)); then
  if stage "mingw-i686: configure" cmake --preset mingw-i686; then
    if stage "mingw-i686: build" cmake --build --preset mingw-i686 -j "$JOBS"; then
      stage "mingw-i686: static link check" bash scripts/check-static.sh build/mingw-i686
      stage "mingw-i686: tests, code page 1252" \
        bash scripts/test-windows.sh --no-build --codepage 1252
      stage "mingw-i686: tests, code page 932" \
        bash scripts/test-windows.sh --no-build --codepage 932
    else
      skip "mingw-i686: tests" "build failed"
    fi
  else
    skip "mingw-i686: build and tests" "configure failed"
  fi
fi

if ((do_format)); then
  stage "format check" bash scripts/check-format.sh
fi

failures=0
printf '\n==== Summary (%d s in all)\n' $((SECONDS - started))
for i in "${!names[@]}"; do
  printf '  %-40s %6s s  %s\n' "${names[$i]}" "${seconds[$i]}" "${results[$i]}"
  [[ ${results[$i]} == FAILED* ]] && failures=$((failures + 1))
done
if ((failures)); then
  printf '==== %d stage(s) FAILED\n' "$failures"
  exit 1
fi
printf '==== all stages passed\n'
