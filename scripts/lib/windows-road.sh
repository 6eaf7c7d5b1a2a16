# Which Windows build this machine tests. Sourced by bootstrap.sh, test.sh and test-windows.sh.
#
# The shipped program is 32-bit, so its tests run wherever 32-bit Windows programs can run
# under Wine (the "i686 road"). Some machines of ours have a kernel without IA-32 emulation:
# there the 32-bit Wine loader fails with "Exec format error", and the same code is tested
# as the x64 build in a 64-bit prefix instead (the "x64 road"). Any other failure of the
# 32-bit loader is a broken installation and must not fall back silently.
#
# KORU_WINDOWS_ROAD=x64 (or i686) forces a road; empty or "auto" probes.

# The 32-bit loader itself, not the /usr/bin/wine wrapper: the wrapper falls back to the
# 64-bit loader when wine32 is missing, which would hide exactly what we look for.
readonly KORU_WINE32_LOADER=/usr/lib/wine/wine

# koru_windows_road: sets KORU_ROAD (i686 or x64), KORU_ROAD_PRESET (mingw-i686 or
# mingw-x64), KORU_ROAD_ARCH (win32 or win64) and KORU_ROAD_REASON (why). Returns 1 with
# the reason in KORU_ROAD_REASON when 32-bit Wine is missing or broken.
koru_windows_road() {
  local forced=${KORU_WINDOWS_ROAD:-auto} out rc=0
  case $forced in
    x64 | i686)
      KORU_ROAD=$forced
      KORU_ROAD_REASON="forced by KORU_WINDOWS_ROAD=$forced"
      ;;
    auto)
      if [[ ! -e $KORU_WINE32_LOADER ]]; then
        KORU_ROAD_REASON="$KORU_WINE32_LOADER is missing: wine32 is not installed (scripts/bootstrap.sh installs it)"
        return 1
      fi
      out=$("$KORU_WINE32_LOADER" --version 2>&1 </dev/null) || rc=$?
      if ((rc == 0)); then
        KORU_ROAD=i686
        KORU_ROAD_REASON="the 32-bit Wine loader runs ($out)"
      elif [[ $out == *"Exec format error"* ]]; then
        KORU_ROAD=x64
        KORU_ROAD_REASON="this kernel cannot run 32-bit programs ($KORU_WINE32_LOADER: Exec format error)"
      else
        KORU_ROAD_REASON="the 32-bit Wine loader is broken (exit $rc): ${out:-no output}"
        return 1
      fi
      ;;
    *)
      KORU_ROAD_REASON="KORU_WINDOWS_ROAD is '$forced'; it takes x64, i686 or auto"
      return 1
      ;;
  esac
  if [[ $KORU_ROAD == x64 ]]; then
    KORU_ROAD_PRESET=mingw-x64
    KORU_ROAD_ARCH=win64
  else
    KORU_ROAD_PRESET=mingw-i686
    KORU_ROAD_ARCH=win32
  fi
}

# The one line that says which road is taken and why.
koru_windows_road_line() {
  echo "Windows road: $KORU_ROAD ($KORU_ROAD_PRESET build, $KORU_ROAD_ARCH prefix): $KORU_ROAD_REASON"
}
