#!/usr/bin/env bash
# Makes the discs and programs the setup program's scenarios start from, with the Windows
# build's own vfkit (run through the build's emulator) and the build itself:
#   OUT/sample-disc/      the sample game's disc, with setup.exe and install.exe
#   OUT/sample-settings.json  that disc's install.dat as JSON (sizes measured), from which
#                         scenarios write variants
#   OUT/damaged-disc/     the same with a background picture that cannot be decoded
#   OUT/two-discs/disc1, disc2  the sample split over two discs (DiscCount 2)
#   OUT/extract-disc/     the sample unpacked in place (ExtractFiles: loose files travel in
#                         game.dat as separate files)
#   OUT/windows-disc/     the sample copied into the Windows folder (InstallType 2)
#   OUT/update/update.exe an update package of the sample (UpdateMode): the setup program
#                         carrying a changed data file and a new one, a readme beside it
#   OUT/exe-game/game.exe the sample's game.exe carrying the sample's archive appended, as a
#                         game installed without setup
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
# The sample game with its game.exe a real program of ours.
game=$(mktemp -d "${TMPDIR:-/tmp}/koru-sample.XXXXXX")
trap 'rm -rf "$game"' EXIT
cp -r "$sample/game/." "$game/"
cp "$build/tests/e2e/sample_game/game.exe" "$game/game.exe"
run_vfkit make-disc "$(winpath "$game")" "$(winpath "$sample/settings.json")" \
  -o "$(winpath "$out/sample-disc")" --setup "$(winpath "$setup")"
run_vfkit settings show "$(winpath "$out/sample-disc/install.dat")" >"$out/sample-settings.json"

printf 'Mura107 this is no picture' >"$game/graphics/back.mur"
run_vfkit make-disc "$(winpath "$game")" "$(winpath "$sample/settings.json")" \
  -o "$(winpath "$out/damaged-disc")" --setup "$(winpath "$setup")"

# Settings variants: the sample's JSON with fields replaced.
variant() {  # variant NAME SED-EXPRESSIONS...
  local name=$1
  shift
  local args=()
  for expression in "$@"; do args+=(-e "$expression"); done
  sed "${args[@]}" "$sample/settings.json" >"$out/$name.json"
}
make_disc() {  # make_disc GAME-FOLDER SETTINGS-NAME OUT-NAME
  run_vfkit make-disc "$(winpath "$1")" "$(winpath "$out/$2.json")" -o "$(winpath "$out/$3")" \
    --setup "$(winpath "$setup")"
}
cp "$build/tests/e2e/sample_game/game.exe" "$game/game.exe"
cp "$sample/game/graphics/back.mur" "$game/graphics/back.mur"

# Two discs: the program and the scenario on the first, the media on the second.
split=$(mktemp -d "${TMPDIR:-/tmp}/koru-split.XXXXXX")
mkdir -p "$split/disc1" "$split/disc2"
cp -r "$game/." "$split/disc1/"
mv "$split/disc1/sound" "$split/disc1/movie" "$split/disc2/"
variant two-discs 's/"DiscCount": 1/"DiscCount": 2/' 's/\[0\]/[0, 0]/'
make_disc "$split" two-discs two-discs
rm -rf "$split"

variant extract 's/"ExtractFiles": false/"ExtractFiles": true/'
make_disc "$game" extract extract-disc
variant windows 's/"InstallType": 0/"InstallType": 2/'
make_disc "$game" windows windows-disc

update=$(mktemp -d "${TMPDIR:-/tmp}/koru-update.XXXXXX")
mkdir -p "$update/data"
printf '[display]\r\nwidth=1024\r\nheight=768\r\n' >"$update/data/config.ini"
printf 'パッチ 1.1\r\n' | iconv -f UTF-8 -t CP932 >"$update/data/patch.txt"
cp "$game/readme.txt" "$update/readme.txt"
mkdir -p "$update/graphics"
cp "$game/graphics/back.mur" "$update/graphics/back.mur"
variant update 's/"UpdateMode": false/"UpdateMode": true/' 's/"ExtraFiles": \[[^]]*\]/"ExtraFiles": ["readme.txt"]/'
grep -q '"UpdateMode"' "$out/update.json" || sed -i 's/^{/{"UpdateMode": true,/' "$out/update.json"
make_disc "$update" update update-disc
rm -rf "$update"
mkdir -p "$out/update"
run_vfkit sfx "$(winpath "$setup")" "$(winpath "$out/update-disc/game.dat")" \
  -o "$(winpath "$out/update/update.exe")"
cp "$out/update-disc/readme.txt" "$out/update/readme.txt"
rm -rf "$out/update-disc"

# A game installed without setup: its executable carries its archive.
mkdir -p "$out/exe-game"
run_vfkit sfx "$(winpath "$game/game.exe")" "$(winpath "$out/sample-disc/game.dat")" \
  -o "$(winpath "$out/exe-game/game.exe")"

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
