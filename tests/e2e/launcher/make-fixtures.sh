#!/usr/bin/env bash
# Makes the discs and programs the setup program's scenarios start from, with the Windows
# build's own vfkit (run through the build's emulator) and the build itself:
#   OUT/sample-disc/      the sample game's disc, with setup.exe and install.exe
#   OUT/sample-settings.json  that disc's install.dat as JSON (sizes measured), from which
#                         scenarios write variants
#   OUT/damaged-disc/     the same with a background picture that cannot be decoded
#   OUT/setup_sfx.exe     the setup program carrying the disc's archive appended
#   OUT/setup_resource.exe  the setup program carrying it as its resource DUMMY
#
#   make-fixtures.sh BUILD-DIR SAMPLE-DIR OUT -- EMULATOR...
set -euo pipefail
build=$1 sample=$2 out=$3
shift 3
[[ ${1:-} == -- ]] && shift
emulator=("$@")

vfkit=$build/src/tools/vfkit.exe
setup=$build/src/launcher/setup.exe
winpath() { printf 'Z:%s' "${1//\//\\}"; }
run_vfkit() { "${emulator[@]}" "$vfkit" "$@" </dev/null; }

rm -rf "$out"
mkdir -p "$out"
run_vfkit make-disc "$(winpath "$sample/game")" "$(winpath "$sample/settings.json")" \
  -o "$(winpath "$out/sample-disc")" --setup "$(winpath "$setup")"

run_vfkit settings show "$(winpath "$out/sample-disc/install.dat")" >"$out/sample-settings.json"

game=$(mktemp -d "${TMPDIR:-/tmp}/koru-damaged.XXXXXX")
trap 'rm -rf "$game"' EXIT
cp -r "$sample/game/." "$game/"
printf 'Mura107 this is no picture' >"$game/graphics/back.mur"
run_vfkit make-disc "$(winpath "$game")" "$(winpath "$sample/settings.json")" \
  -o "$(winpath "$out/damaged-disc")" --setup "$(winpath "$setup")"

run_vfkit sfx "$(winpath "$setup")" "$(winpath "$out/sample-disc/game.dat")" \
  -o "$(winpath "$out/setup_sfx.exe")"

# The resource variant is linked with the archive where the build expects it.
mkdir -p "$build/setup-resource"
cp "$out/sample-disc/game.dat" "$build/setup-resource/game.dat"
cmake --build "$build" --target setup_resource >"$out/setup_resource.log" 2>&1 || {
  cat "$out/setup_resource.log" >&2
  exit 1
}
cp "$build/src/launcher/setup_resource.exe" "$out/setup_resource.exe"
ls -l "$out"
