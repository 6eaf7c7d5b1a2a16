#!/usr/bin/env bash
# The main job on the built-in sample: the real setup program under Wine. It builds the
# program, makes the sample game's disc with it, and then plays a player: the start menu,
# the install through the temporary copy and every wizard page, a list of what was
# installed (files, registry, shortcuts), the game started from the start menu, and the
# removal through the uninstall shortcut. Results land in build/demo/:
#   disc/          the sample disc (setup.exe, install.exe, install.dat, game.dat, game.exe
#                  (a small program of ours), readme.txt)
#   screenshots/   a screenshot of every step, numbered in order
#   walk.log       what the walk saw and checked
#
#   demo.sh [--display]    --display: on your own X display ($DISPLAY) instead of a
#                          virtual one (Xvfb), so you can watch
# Each step prints what it runs; a failing step is named and ends the script.
set -euo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(dirname "$here")
cd "$repo"
source "$here/lib/windows-road.sh"
source "$here/lib/wine-prefix.sh"

use_display=0
for arg in "$@"; do
  case $arg in
    --display) use_display=1 ;;
    -h | --help)
      sed -n '2,14p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "demo.sh: unknown argument $arg" >&2
      exit 2
      ;;
  esac
done
if ((use_display)) && [[ -z ${DISPLAY:-} ]]; then
  echo "demo.sh: --display needs DISPLAY to name your X display" >&2
  exit 2
fi

step_no=0
step() {
  local title=$1
  shift
  step_no=$((step_no + 1))
  printf '\n==== Step %d: %s\n$ %s\n' "$step_no" "$title" "$*"
  if ! "$@"; then
    printf '\n==== Step %d FAILED: %s\n' "$step_no" "$title" >&2
    exit 1
  fi
}

step "prepare the machine (packages, Wine, the Windows libraries)" bash scripts/bootstrap.sh
koru_windows_road || {
  echo "demo.sh: $KORU_ROAD_REASON" >&2
  exit 1
}
echo "$(koru_windows_road_line)"
preset=$KORU_ROAD_PRESET
build=build/$preset
out=build/demo
step "configure the $preset build" cmake --preset "$preset"
step "build the setup program, vfkit, the sample's game.exe and the walk" \
  cmake --build --preset "$preset" -j 2 --target setup vfkit sample_game e2e_demo

rm -rf "$out" "$build/demo"
mkdir -p "$out"
# The sample game with its game.exe a real program of ours.
game=$(mktemp -d "${TMPDIR:-/tmp}/koru-demo.XXXXXX")
trap 'rm -rf "$game"' EXIT
cp -r sample/game/. "$game/"
cp "$build/tests/e2e/sample_game/game.exe" "$game/game.exe"
winpath() { printf 'Z:%s' "$(readlink -f "$1" | sed 's#/#\\#g')"; }
mkdir -p "$build/demo"
export KORU_WINEPREFIX=$repo/$build/demo/prefix
wine_args=()
[[ $KORU_ROAD_ARCH == win64 ]] && wine_args=(--win64)
step "make the sample disc with the setup program on it" \
  scripts/wine-run "${wine_args[@]}" "$build/src/tools/vfkit.exe" make-disc "$(winpath "$game")" \
  "$(winpath sample/settings.json)" -o "$(winpath "$build")\\demo\\disc" \
  --setup "$(winpath "$build/src/launcher/setup.exe")"
WINEPREFIX=$KORU_WINEPREFIX wineserver -k 2>/dev/null || true
cp -r "$build/demo/disc" "$out/disc"

runner=(scripts/e2e-run --build "$repo/$build" --drives d:cdrom --timeout 600)
[[ $KORU_ROAD_ARCH == win64 ]] && runner+=(--win64)
((use_display)) && export KORU_E2E_DISPLAY=$DISPLAY
walk() {
  "${runner[@]}" -- "$build/tests/e2e/demo/e2e_demo.exe" \
    --gtest_filter=Demo.InstallStartAndRemoveTheSample 2>&1 | tee "$out/walk.log"
  return "${PIPESTATUS[0]}"
}
step "install, start and remove the sample game with the real program" walk
cp -r "$build/e2e-shots/Demo.InstallStartAndRemoveTheSample" "$out/screenshots"
rm -rf "$build/demo/prefix"

printf '\n==== Demo finished: results in %s\n' "$out"
ls -l "$out" "$out/screenshots"
