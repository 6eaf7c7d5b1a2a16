#!/usr/bin/env bash
# Start-up benchmark of the setup program under Wine: from process creation until the
# start menu's first paint has completed, with a 1920 x 1080 background picture, against
# the same moment of a trivial window of ours; RUNS starts of each, alternating, in one
# prefix and one X server. Prints every run and the medians.
#
#   run-startup-bench.sh [RUNS]      (default 10; the machine's Windows road decides the build)
set -euo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(cd "$here/../.." && pwd)
source "$repo/scripts/lib/wine-prefix.sh"
source "$repo/scripts/lib/windows-road.sh"
runs=${1:-10}

koru_windows_road || {
  echo "run-startup-bench: $KORU_ROAD_REASON" >&2
  exit 1
}
echo "$(koru_windows_road_line)"
build=$repo/build/$KORU_ROAD_PRESET
cmake --preset "$KORU_ROAD_PRESET" >/dev/null
cmake --build --preset "$KORU_ROAD_PRESET" -j2 --target setup vfkit bench_startup \
  bench_trivial_window >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/koru-startup.XXXXXX")
xvfb_pid=
cleanup() {
  WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

export WINEPREFIX=$work/prefix WINEARCH=$KORU_ROAD_ARCH
bash "$repo/scripts/e2e-template.sh" create "$KORU_ROAD_ARCH" "$WINEPREFIX" >/dev/null
for n in $(seq 150 199); do
  [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
  Xvfb ":$n" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=:$n
  break
done
sleep 1
koru_wine_env
loader=$(koru_wine_loader "$KORU_ROAD_ARCH")
winpath() { printf 'Z:%s' "${1//\//\\}"; }

# A photo-like 1920 x 1080 picture (plasma, softened) and a game around it.
mkdir -p "$work/game/graphics"
convert -size 1920x1080 -seed 7 plasma:fractal -blur 0x3 "PNG24:$work/back.png"
"$loader" "$build/src/tools/vfkit.exe" image from-png "$(winpath "$work/back.png")" \
  --block-size 32x32 -o "$(winpath "$work/game/graphics/back.mur")" </dev/null
printf 'MZ' >"$work/game/game.exe"
cat >"$work/settings.json" <<'JSON'
{"Title": "Startup", "BackImage": "graphics\\back.mur", "BackImageLayout": 0,
 "ExeFile": "game.exe", "ExtraFiles": ["game.exe"], "RegistryKey": "\\Koru\\Startup"}
JSON
"$loader" "$build/src/tools/vfkit.exe" make-disc "$(winpath "$work/game")" \
  "$(winpath "$work/settings.json")" -o "$(winpath "$work/disc")" \
  --setup "$(winpath "$build/src/launcher/setup.exe")" </dev/null >/dev/null
cp "$build/bench/launcher/bench_trivial_window.exe" "$work/trivial.exe"

"$loader" "$build/bench/launcher/bench_startup.exe" "$runs" \
  "$(winpath "$work/disc/setup.exe")" -- "$(winpath "$work/trivial.exe")" </dev/null
