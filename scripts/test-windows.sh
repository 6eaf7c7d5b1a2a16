#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, once with the default code page (1252) and once
# with the Japanese one (932), each in a fresh prefix of its own that is removed afterwards.
# End-to-end scenarios labelled e2e-once run in the 932 pass only.
#
#   test-windows.sh [--preset mingw-i686|mingw-x64] [--codepage 1252|932|both] [--no-build]
#                   [-- extra ctest arguments]
#
# Without --preset the machine's road decides (scripts/lib/windows-road.sh): mingw-i686
# where 32-bit programs run, else mingw-x64; KORU_WINDOWS_ROAD=x64 forces the latter.
# Without --no-build the preset is configured and built first (quick when up to date).
# Expects scripts/bootstrap.sh to have run.
set -euo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(dirname "$here")
source "$here/lib/wine-prefix.sh"
source "$here/lib/windows-road.sh"

preset=
codepages=(1252 932)
build=1
ctest_extra=()
while (($#)); do
  case $1 in
    --preset)
      preset=$2
      shift
      ;;
    --codepage)
      case $2 in
        both) codepages=(1252 932) ;;
        1252 | 932) codepages=("$2") ;;
        *)
          echo "test-windows: --codepage takes 1252, 932 or both" >&2
          exit 2
          ;;
      esac
      shift
      ;;
    --no-build) build=0 ;;
    --)
      shift
      ctest_extra=("$@")
      break
      ;;
    -h | --help)
      sed -n '2,13p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "test-windows: unknown argument $1" >&2
      exit 2
      ;;
  esac
  shift
done

log() { printf '[test-windows] %s\n' "$*"; }

if [[ -z $preset ]]; then
  koru_windows_road || {
    log "$KORU_ROAD_REASON"
    exit 1
  }
  log "$(koru_windows_road_line)"
  preset=$KORU_ROAD_PRESET
fi

case $preset in
  mingw-i686) arch=win32 ;;
  mingw-x64) arch=win64 ;;
  *)
    echo "test-windows: unknown preset $preset" >&2
    exit 2
    ;;
esac
loader=$(koru_wine_loader "$arch")
build_dir=$repo/build/$preset

cd "$repo"
if ((build)); then
  cmake --preset "$preset"
  cmake --build --preset "$preset" -j 2
fi
[[ -f $build_dir/CTestTestfile.cmake ]] || {
  log "no build in $build_dir (run without --no-build)"
  exit 1
}

have_locale() { locale -a 2>/dev/null | tr 'A-Z' 'a-z' | grep -qx "$1"; }

# The Unix locale decides Wine's code pages.
locale_for() {
  case $1 in
    932)
      have_locale ja_jp.utf8 || {
        log "the ja_JP.UTF-8 locale is missing (scripts/bootstrap.sh generates it)"
        return 1
      }
      echo ja_JP.UTF-8
      ;;
    1252)
      if have_locale en_us.utf8; then echo en_US.UTF-8; else echo C.UTF-8; fi
      ;;
  esac
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/koru-wine.XXXXXX")
xvfb_pid=
cleanup() {
  if [[ -n $xvfb_pid ]]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$scratch"
}
trap cleanup EXIT

# A display of our own for programs that open windows, unless one is given.
if [[ -z ${DISPLAY:-} ]] && command -v Xvfb >/dev/null; then
  for n in $(seq 90 140); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >"$scratch/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do
      [[ -e /tmp/.X11-unix/X$n ]] && break
      sleep 0.1
    done
    if kill -0 "$xvfb_pid" 2>/dev/null; then
      export DISPLAY=:$n
      break
    fi
    xvfb_pid=
  done
fi

failed=()
for cp in "${codepages[@]}"; do
  loc=$(locale_for "$cp") || {
    failed+=("$cp")
    continue
  }
  prefix=$scratch/prefix-$cp
  log "code page $cp: LANG=$loc, prefix $prefix${DISPLAY:+, display $DISPLAY}"
  t0=$SECONDS
  (
    export LANG=$loc LC_ALL=$loc KORU_WINEPREFIX=$prefix
    koru_wineprefix_ensure "$prefix" "$arch"
    koru_wine_env
    export WINEPREFIX=$prefix WINEARCH=$arch
    # Start the session before ctest: Wine's helper processes would otherwise inherit
    # ctest's output pipes and every test would wait for them.
    trap 'wineserver -k 2>/dev/null || true' EXIT
    wineserver -p
    "$loader" wineboot </dev/null >/dev/null 2>&1
    # The code page Wine derived from the locale: 932 only when Japanese.
    "$loader" reg query 'HKLM\System\CurrentControlSet\Control\Nls\CodePage' /v ACP \
      </dev/null >"$scratch/acp-$cp.txt" 2>/dev/null || true
    active=$(tr -d '\r' <"$scratch/acp-$cp.txt" | awk '$1 == "ACP" {print $3}')
    if [[ $active != "$cp" ]]; then
      log "Wine reports code page '${active:-?}' for LANG=$loc, expected $cp"
      exit 1
    fi
    # Scenarios whose code page does not matter run once, in the Japanese one.
    select=()
    [[ $cp == 932 ]] || select=(-LE '^e2e-once$')
    rc=0
    ctest --test-dir "$build_dir" -j 2 --output-on-failure --timeout 900 --no-tests=error \
      "${select[@]}" "${ctest_extra[@]}" </dev/null || rc=$?
    # Wine now and then fails to start a process at all (no output, exit code 1, under a
    # tenth of a second). Failed tests run once more, alone, and are named either way, so a
    # real fault still fails the stage and a flake is visible in the log.
    failed_log=$build_dir/Testing/Temporary/LastTestsFailed.log
    if ((rc != 0)) && [[ -s $failed_log ]]; then
      log "code page $cp: running the failed test(s) once more:" \
        "$(cut -d: -f2- "$failed_log" | paste -sd' ')"
      rc=0
      ctest --test-dir "$build_dir" --rerun-failed --output-on-failure --timeout 900 \
        </dev/null || rc=$?
      ((rc != 0)) || log "code page $cp: they passed on the second run (counted as passed)"
    fi
    exit "$rc"
  ) || failed+=("$cp")
  log "code page $cp: $([[ " ${failed[*]} " == *" $cp "* ]] && echo FAILED || echo passed)" \
    "in $((SECONDS - t0)) s"
  rm -rf "$prefix" "$prefix.lock"
done

if ((${#failed[@]})); then
  log "FAILED under code page(s): ${failed[*]}"
  exit 1
fi
log "all tests passed under code page(s): ${codepages[*]}"
