#!/usr/bin/env bash
# The copy engine's benchmark under Wine, side by side in one run (see
# docs/benchmarks-wizard.md): a generated 1.5 GiB single-disc game is copied with
# CopyFileW, installed through the copy page, and its game.dat read by a plain CRC-32
# pass. Needs the mingw-x64 build of bench_copy_engine and Xvfb: each run installs once
# with the real wizard window and once with a recorded view (no window), unless
# --recorded-view asks for the second only (no display needed).
#   run-bench.sh [--build DIR] [--dir DIR] [--runs N] [--recorded-view] [--keep] [--divisor D]
# --divisor D divides every size of the game by D, for a quick try of the driver.
set -euo pipefail
repo=$(dirname "$(dirname "$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")")")
build=$repo/build/mingw-x64
dir=/tmp
runs=2
view=
keep=0
divisor=1
while [[ $# -gt 0 ]]; do
  case $1 in
    --build) build=$2; shift 2 ;;
    --dir) dir=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    --recorded-view) view=--recorded-view; shift ;;
    --keep) keep=1; shift ;;
    --divisor) divisor=$2; shift 2 ;;
    *) echo "usage: run-bench.sh [--build DIR] [--dir DIR] [--runs N] [--recorded-view] [--keep] [--divisor D]" >&2; exit 2 ;;
  esac
done
exe=$build/bench/wizard/bench_copy_engine.exe
[[ -f $exe ]] || { echo "no $exe: build the target bench_copy_engine of the mingw-x64 preset" >&2; exit 1; }

work=$(mktemp -d "$dir/copy-bench.XXXXXX")
export KORU_WINEPREFIX=$work/prefix
# The installs write Start-menu shortcuts: Wine's menu builder must not copy them into
# the host's menus.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
xvfb_pid=
cleanup() {
  WINEPREFIX=$KORU_WINEPREFIX wineserver -k 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  if ((keep)); then echo "kept $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
if [[ -z $view ]]; then
  display=77
  while [[ -e /tmp/.X$display-lock ]]; do display=$((display + 1)); done
  Xvfb ":$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$display"
  sleep 1
fi

run() { "$repo/scripts/wine-run" --win64 "$exe" "$@"; }
# Everything lies on the prefix's drive C: (below $work), as an install to C: would.
drive_c=$KORU_WINEPREFIX/drive_c

echo "== machine"
echo "cpu $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2- | xargs), $(nproc) cores; $(free -g | awk '/Mem:/ {print $2}') GiB RAM"
echo "wine $(/usr/lib/wine/wine64 --version)"
echo "== make-disc"
run make-disc 'C:\bench\disc' "$divisor"
for ((r = 1; r <= runs; r++)); do
  echo "== run $r: plain copy"
  run plain-copy 'C:\bench\disc' 'C:\bench\plain'
  rm -rf "$drive_c/bench/plain"
  if [[ -z $view ]]; then
    echo "== run $r: install, wizard window"
    rm -rf "$drive_c/bench/target"
    run install 'C:\bench\disc' 'C:\bench\target'
  fi
  echo "== run $r: install, recorded view"
  rm -rf "$drive_c/bench/target"
  run install 'C:\bench\disc' 'C:\bench\target' --recorded-view
  echo "== run $r: plain CRC-32"
  run plain-crc 'C:\bench\target'
done
