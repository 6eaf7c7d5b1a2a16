#!/usr/bin/env bash
# The template prefix of the end-to-end scenarios, made once per ctest run (the fixture test
# e2e_prefix_template) and copied by scripts/e2e-run for every scenario.
#
#   e2e-template.sh create win32|win64 DIR    (re)makes the template in DIR
#   e2e-template.sh remove win32|win64 DIR    ends its processes and removes it
#
# Besides a plain prefix (koru_wine_env's overrides, so the menu builder never runs; user
# folders made real folders) the template has: Japanese fonts for the faces the program and
# the dialogs ask for, a virtual desktop with window frames (1024x768), the drives D: and
# E: as disc drives (e2e-run maps them per scenario), and no crash dialog.
set -euo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
source "$here/lib/wine-prefix.sh"

usage() {
  echo "usage: e2e-template.sh create|remove win32|win64 DIR" >&2
  exit 2
}
(($# == 3)) || usage
action=$1
arch=$2
dir=$3
[[ $arch == win32 || $arch == win64 ]] || usage
loader=$(koru_wine_loader "$arch")

log() { printf '[e2e-template] %s\n' "$*"; }

# reg_multi_sz TEXT: a REG_MULTI_SZ of one string in .reg notation (UTF-16LE bytes).
reg_multi_sz() {
  printf '%s\0\0' "$1" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 |
    tr -s ' \n' ',,' | sed 's/^,//; s/,$//; s/^/hex(7):/'
}

# The settings, as a .reg file (regedit reads UTF-16 whatever the code page).
settings_reg() {
  local face
  cat <<'REG'
Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes]
"ＭＳ Ｐゴシック"="IPAPGothic"
"ＭＳ ゴシック"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS UI Gothic"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1024x768"

[HKEY_LOCAL_MACHINE\Software\Wine\Drives]
"d:"="cdrom"
"e:"="cdrom"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]
REG
  # The dialog faces have no Japanese glyphs; link them to the IPA font.
  for face in "Tahoma" "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
    printf '"%s"=%s\n' "$face" "$(reg_multi_sz "ipagp.ttf,IPAPGothic")"
  done
}

remove() {
  if [[ -d $dir ]]; then
    WINEPREFIX=$dir wineserver -k 2>/dev/null || true
  fi
  rm -rf "$dir" "$dir.lock"
}

create() {
  local t0=$SECONDS
  remove
  mkdir -p "$dir"
  koru_wine_env
  export WINEPREFIX=$dir WINEARCH=$arch
  "$loader" wineboot -i </dev/null >/dev/null 2>&1 || true
  if [[ ! -d $dir/drive_c/windows ]]; then
    log "wine could not create the prefix $dir"
    exit 1
  fi
  # A new prefix links Desktop, Documents, ... to the Unix home: make them real folders.
  local link
  while IFS= read -r -d '' link; do
    rm -f "$link"
    mkdir -p "$link"
  done < <(find "$dir/drive_c/users" -mindepth 2 -maxdepth 2 -type l -print0)
  settings_reg | sed 's/$/\r/' | iconv -f UTF-8 -t UTF-16 >"$dir/drive_c/koru-e2e.reg"
  "$loader" regedit /S 'C:\koru-e2e.reg' </dev/null >/dev/null 2>&1
  rm -f "$dir/drive_c/koru-e2e.reg"
  # The registry reaches the prefix's files when the server ends.
  wineserver -w
  if ! grep -q '"Desktop"="Default"' "$dir/user.reg"; then
    log "the settings did not reach the registry of $dir"
    exit 1
  fi
  touch "$dir/.koru-ready" "$dir/.koru-e2e-ready"
  log "template $dir ($arch, LANG=${LANG:-unset}) made in $((SECONDS - t0)) s," \
    "$(du -sm "$dir" | cut -f1) MB"
}

case $action in
  create)
    # One maker at a time; a scenario run by hand makes a missing template itself.
    mkdir -p "$(dirname "$dir")"
    exec 9>"$(dirname "$dir")/.template.lock"
    flock 9
    create
    ;;
  remove) remove ;;
  *) usage ;;
esac
