# Wine prefixes for running our Windows programs. Sourced by wine-run and test-windows.sh.

# Builtin programs that must never run in a test prefix: the menu builder writes desktop
# entries and menus into the Unix home for every shortcut, the browser hands URLs and files
# to the host's own programs.
readonly KORU_WINE_HOST_REACHERS="winemenubuilder.exe,winebrowser.exe=d"

# Settings every Wine call of ours uses: no debug noise, no Mono/Gecko install prompts, and
# nothing that reaches the host (always added, whatever the caller's overrides).
koru_wine_env() {
  # Wine refuses to start without a home folder (CI environments may lack HOME).
  if [[ -z ${HOME:-} ]]; then
    HOME=$(getent passwd "$(id -u)" | cut -d: -f6)
    export HOME
  fi
  export WINEDEBUG="${WINEDEBUG:--all}"
  local overrides=${WINEDLLOVERRIDES:-mscoree,mshtml=}
  [[ $overrides == *"$KORU_WINE_HOST_REACHERS"* ]] || overrides+=";$KORU_WINE_HOST_REACHERS"
  export WINEDLLOVERRIDES=$overrides
}

# koru_wineprefix_fonts: the windows' design font "ＭＳ Ｐゴシック" (and its fixed-pitch
# sibling) replaced by the IPA fonts of the same pitch, in the prefix of WINEPREFIX.
# Without it Wine falls back to a fixed-pitch face, wider than the design's proportional
# one, and long labels are clipped.
koru_wineprefix_fonts() {
  local reg=$WINEPREFIX/koru-fonts.reg
  {
    printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"ＭＳ Ｐゴシック"="IPAPGothic"\r\n"ＭＳ ゴシック"="IPAGothic"\r\n'
  } | iconv -f UTF-8 -t UTF-16 >"$reg"
  "$(koru_wine_loader "$WINEARCH")" regedit /S "$reg" </dev/null >/dev/null 2>&1 9>&- || true
  rm -f "$reg"
}

# The Wine loader for an architecture: win32 or win64.
koru_wine_loader() {
  if [[ $1 == win64 ]]; then
    echo /usr/lib/wine/wine64
  else
    echo wine
  fi
}

# The prefix used when the caller chose none (KORU_WINEPREFIX unset).
koru_default_wineprefix() {
  local base
  if [[ -n ${KORU_CACHE_DIR:-} ]]; then
    base=$KORU_CACHE_DIR
  elif [[ $(id -u) == 0 ]]; then
    base=/var/cache/korusetup
  else
    base=${XDG_CACHE_HOME:-$HOME/.cache}/korusetup
  fi
  echo "$base/wineprefix-$1"
}

# koru_wineprefix_ensure DIR ARCH: creates the prefix DIR once (locked against parallel
# callers; koru_wine_env's overrides are in force from wineboot on). A new prefix links the user's Desktop, Documents, ... to the Unix home folder;
# they become real folders so that nothing a program does there reaches the host.
koru_wineprefix_ensure() {
  local dir=$1 arch=$2
  [[ -f $dir/.koru-ready && -f $dir/.koru-fonts ]] && return 0
  mkdir -p "$(dirname "$dir")"
  (
    flock 9
    koru_wine_env
    export WINEPREFIX=$dir WINEARCH=$arch
    if [[ -f $dir/.koru-ready ]]; then
      # A prefix made before the font replacements: add them in place.
      [[ -f $dir/.koru-fonts ]] || { koru_wineprefix_fonts && touch "$dir/.koru-fonts"; }
      exit 0
    fi
    rm -rf "$dir"
    "$(koru_wine_loader "$arch")" wineboot -i </dev/null >/dev/null 2>&1 9>&- || true
    wineserver -w
    if [[ ! -d $dir/drive_c/windows ]]; then
      echo "wine: could not create the prefix $dir" >&2
      exit 1
    fi
    local link
    while IFS= read -r -d '' link; do
      rm -f "$link"
      mkdir -p "$link"
    done < <(find "$dir/drive_c/users" -mindepth 2 -maxdepth 2 -type l -print0)
    koru_wineprefix_fonts
    touch "$dir/.koru-fonts" "$dir/.koru-ready"
  ) 9>"$dir.lock"
}

# koru_wine_session ARCH: makes sure the prefix in WINEPREFIX has a running session whose
# helper processes do not hold the caller's output pipes; without it ctest waits seconds for
# them after every test. A session started here ends a minute after its last program.
koru_wine_session() {
  (
    flock 9
    # The server and the helpers must not inherit the lock (fd 9) or they would hold it.
    if wineserver -p60 </dev/null >/dev/null 2>&1 9>&-; then
      "$(koru_wine_loader "$1")" wineboot </dev/null >/dev/null 2>&1 9>&- || true
    fi
  ) 9>"$WINEPREFIX.session.lock"
}
