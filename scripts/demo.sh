#!/usr/bin/env bash
# The main job on the built-in sample: builds vfkit (native-release preset) and walks the
# sample game in sample/ through it. Results land in build/demo/:
#   disc/        the disc made from sample/game and sample/settings.json (game.dat, install.dat)
#   extracted/   everything extracted back from the disc's archive
#   install.json     the disc's install.dat as vfkit shows it
#   background.png   the background picture named by the settings, decoded
# Each step prints what it runs; a failing step is named and ends the script.
set -euo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(dirname "$here")
cd "$repo"

out=build/demo
vfkit=build/native-release/src/tools/vfkit
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

# A string field of the disc's settings as shown by vfkit ("Name": "value", JSON escapes
# of '\' undone), empty when absent.
settings_field() {
  sed -n "s/.*\"$1\"[[:space:]]*:[[:space:]]*\"\\([^\"]*\\)\".*/\\1/p" "$out/install.json" |
    head -n 1 | sed 's/\\\\/\\/g'
}
# A number field of the disc's settings, empty when absent.
settings_number() {
  sed -n "s/.*\"$1\"[[:space:]]*:[[:space:]]*\\(-\\{0,1\\}[0-9][0-9]*\\).*/\\1/p" \
    "$out/install.json" | head -n 1
}
show_settings() { "$vfkit" settings show "$1" | tee "$out/install.json"; }

step "prepare the machine (native build tools)" bash scripts/bootstrap.sh --native
step "configure the native-release build" cmake --preset native-release
step "build vfkit" cmake --build --preset native-release --target vfkit -j 2
step "check the sample is there" test -d sample/game -a -f sample/settings.json

rm -rf "$out"
mkdir -p "$out"
step "make a disc from the sample game" \
  "$vfkit" make-disc sample/game sample/settings.json -o "$out/disc"
step "list the disc's archive" "$vfkit" list "$out/disc/game.dat"
step "verify the disc's archive" "$vfkit" verify "$out/disc/game.dat"
step "extract the archive" "$vfkit" extract "$out/disc/game.dat" -C "$out/extracted"
step "show the disc's install settings" show_settings "$out/disc/install.dat"

back_image=$(settings_field BackImage)
if [[ -z $back_image ]]; then
  printf '\n==== The settings name no BackImage; no picture to decode\n'
else
  seed=$(settings_number ImageSeed)
  # Pictures stored with a scrambled block order need the settings' identification code.
  code_args=()
  [[ -n $seed && $seed != 0 ]] && code_args=(--code "$seed")
  # Entry names use '\' between folders; the extracted copy uses '/'.
  picture=$out/extracted/${back_image//\\//}
  step "find the extracted background picture ($back_image)" test -f "$picture"
  step "describe the background picture" "$vfkit" image info "$picture"
  step "decode the background picture to PNG" \
    "$vfkit" image to-png "$picture" -o "$out/background.png" "${code_args[@]}"
fi

printf '\n==== Demo finished: results in %s\n' "$out"
ls -l "$out"
