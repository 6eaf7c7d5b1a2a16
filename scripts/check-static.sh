#!/usr/bin/env bash
# Checks that every program of a Windows build imports only DLLs that come with Windows:
# a dynamic libgcc/libstdc++/winpthread/zlib would pass under Wine (it has some of them
# built in) and fail on a real machine. The shipped setup program (setup*.exe) is held to
# more: it runs elevated, often from a download folder, so it may import only the DLLs
# Windows always takes from its own folder (KnownDLLs), plus comctl32, which its manifest
# resolves to the side-by-side version 6; anything else could be planted beside it.
#   check-static.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-static.sh BUILD_DIR}
objdump=$(sed -n 's/^CMAKE_OBJDUMP:FILEPATH=//p' "$build/CMakeCache.txt" 2>/dev/null || true)
[[ -x ${objdump:-} ]] || objdump=i686-w64-mingw32-objdump

# Windows' own DLLs (lower case). Extend when a program needs another one.
system_dlls=(kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll ole32.dll oleaut32.dll
  comctl32.dll comdlg32.dll shlwapi.dll uxtheme.dll version.dll winmm.dll imm32.dll msimg32.dll
  ws2_32.dll rpcrt4.dll bcrypt.dll crypt32.dll userenv.dll shfolder.dll ntdll.dll msvcrt.dll
  ucrtbase.dll riched20.dll dwmapi.dll psapi.dll secur32.dll setupapi.dll wininet.dll)
declare -A is_system
for dll in "${system_dlls[@]}"; do is_system[$dll]=1; done
known_dlls=(advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll gdi32.dll gdiplus.dll
  imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ole32.dll
  oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll shlwapi.dll
  user32.dll wldap32.dll ws2_32.dll comctl32.dll)
declare -A is_known
for dll in "${known_dlls[@]}"; do is_known[$dll]=1; done

bad=0
count=0
while IFS= read -r -d '' exe; do
  count=$((count + 1))
  while read -r dll; do
    lower=$(tr 'A-Z' 'a-z' <<<"$dll")
    [[ $lower == api-ms-win-* ]] && continue
    if [[ -z ${is_system[$lower]:-} ]]; then
      echo "check-static: ${exe#"$build"/} imports $dll, which is not part of Windows"
      bad=1
    elif [[ $(basename "$exe") == setup*.exe && -z ${is_known[$lower]:-} ]]; then
      echo "check-static: ${exe#"$build"/} imports $dll, which Windows may load from beside it"
      bad=1
    fi
  done < <("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')
done < <(find "$build" -name '*.exe' -not -path '*/CMakeFiles/*' -print0)

((count)) || {
  echo "check-static: no programs found in $build"
  exit 1
}
((bad)) && exit 1
echo "check-static: $count program(s) import only Windows DLLs"
