#!/usr/bin/env bash
# Prepares a Debian 12 machine for building and testing: installs the Debian packages,
# generates the Japanese locale and builds the Windows-side libraries that Debian does not
# ship for mingw (libjpeg-turbo, libpng, GoogleTest) into a cache outside the source tree.
# Safe to run again: whatever is already in place is skipped, so a second run takes a second.
#
#   bootstrap.sh            everything for the native and the mingw-i686 builds, and the
#                           mingw-x64 libraries too where the x64 road is taken
#   bootstrap.sh --native   only what the native builds need
#   bootstrap.sh --x64      also the libraries of the mingw-x64 build, whatever the road
#
# The road (scripts/lib/windows-road.sh): a machine whose kernel cannot run 32-bit programs
# tests the mingw-x64 build; KORU_WINDOWS_ROAD=x64 forces that. A missing or broken wine32
# fails bootstrap.
# Environment: KORU_CACHE_DIR (default /var/cache/korusetup as root, else ~/.cache/korusetup).
set -euo pipefail

here=$(dirname "$(readlink -f "${BASH_SOURCE[0]}")")
repo=$(dirname "$here")
source "$here/lib/windows-road.sh"

want_windows=1
arches=(i686)
for arg in "$@"; do
  case $arg in
    --native) want_windows=0 ;;
    --x64) arches+=(x86_64) ;;
    -h | --help)
      sed -n '2,16p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
      exit 0
      ;;
    *)
      echo "bootstrap: unknown argument $arg" >&2
      exit 2
      ;;
  esac
done

# Bump when the way the cached libraries are built changes, so old caches are not reused.
readonly RECIPE=1

native_packages=(g++ cmake ninja-build zlib1g-dev libjpeg62-turbo-dev libpng-dev
  nlohmann-json3-dev googletest libgtest-dev libbenchmark-dev clang-format dpkg-dev locales)
windows_packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 mingw-w64-tools libz-mingw-w64-dev
  wine wine32:i386 wine64 fonts-wine xvfb xauth x11-utils imagemagick fonts-ipafont-gothic
  nasm)
locales_wanted=("ja_JP.UTF-8 UTF-8" "en_US.UTF-8 UTF-8")

log() { printf '[bootstrap] %s\n' "$*"; }
die() {
  printf '[bootstrap] error: %s\n' "$*" >&2
  exit 1
}

if [[ $(id -u) == 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null; then
  sudo=(sudo)
else
  sudo=(false)
fi
as_root() { "${sudo[@]}" "$@"; }

if [[ -n ${KORU_CACHE_DIR:-} ]]; then
  cache=$KORU_CACHE_DIR
elif [[ $(id -u) == 0 ]]; then
  cache=/var/cache/korusetup
else
  cache=${XDG_CACHE_HOME:-$HOME/.cache}/korusetup
fi

mkdir -p "$cache" 2>/dev/null || as_root mkdir -p "$cache"
# One bootstrap at a time (several scripts may start together).
exec 8>"$cache/.bootstrap.lock"
flock 8

is_installed() {
  [[ $(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null) == ii* ]]
}

# The cache key: the versions of everything that goes into the cached libraries.
dep_key() {
  local triplet=$1
  local compiler=g++-mingw-w64-${triplet%%-*}-posix
  {
    echo "recipe $RECIPE arch $triplet"
    dpkg-query -W -f='${Package} ${Version}\n' libjpeg62-turbo-dev libpng-dev googletest \
      libz-mingw-w64-dev cmake nasm "${compiler//_/-}" 2>/dev/null
  }
}

# Makes sure apt knows the source packages; an entry added here is read by the next update.
have_deb_src() {
  apt-get indextargets --format '$(IDENTIFIER)' 2>/dev/null | grep -qx Sources
}
add_deb_src() {
  have_deb_src && return
  log "adding deb-src entries for bookworm main"
  as_root tee /etc/apt/sources.list.d/korusetup-deb-src.sources >/dev/null <<'SRC'
# Added by the project's scripts/bootstrap.sh: sources of libjpeg-turbo and libpng, built
# for mingw because Debian ships them for Linux only.
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt_updated=0
}
ensure_deb_src() {
  add_deb_src
  if ! apt-cache showsrc libjpeg-turbo >/dev/null 2>&1; then
    apt_updated=0
    apt_update
  fi
}

# True when a cached library build for the installed package versions is missing.
deps_missing() {
  local arch key
  for arch in "${arches[@]}"; do
    key=$(dep_key "$arch-w64-mingw32" | sha1sum | cut -c1-12)
    [[ -f $cache/mingw-$arch-$key/.complete ]] || return 0
  done
  return 1
}

# --- Debian packages --------------------------------------------------------------------

packages=("${native_packages[@]}")
((want_windows)) && packages+=("${windows_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  is_installed "$p" || missing+=("$p")
done

apt_updated=0
apt_update() {
  if ((!apt_updated)); then
    log "apt-get update"
    # A mirror in the middle of a sync serves index files of the wrong size for a few
    # minutes; try again, then go on with what arrived (a package that really cannot be
    # had still fails the install step below, loudly).
    local attempt
    for attempt in 1 2 3 4; do
      as_root apt-get -o DPkg::Lock::Timeout=600 -o Acquire::Retries=3 update -q && break
      ((attempt < 4)) || {
        log "warning: apt-get update reported missing index files; going on"
        break
      }
      log "apt-get update failed (attempt $attempt); trying again in $((attempt * 20)) s"
      sleep $((attempt * 20))
    done
    apt_updated=1
  fi
}

if ((want_windows)) && ! dpkg --print-foreign-architectures | grep -qx i386; then
  log "adding the i386 architecture (for wine32)"
  as_root dpkg --add-architecture i386
fi

# A machine that still has to build the libraries needs the source entries: add them now so
# that one update covers both.
if ((want_windows)) && { ((${#missing[@]})) || deps_missing; }; then
  add_deb_src
fi

if ((${#missing[@]})); then
  apt_update
  log "installing: ${missing[*]}"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
    --no-install-recommends \
    "${missing[@]}"
else
  log "all Debian packages present"
fi

# --- Locales (the Japanese one gives Wine code page 932) ---------------------------------

if ((want_windows)); then
  have_locales=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z')
  need_gen=0
  for entry in "${locales_wanted[@]}"; do
    name=${entry%% *}
    short=$(tr 'A-Z' 'a-z' <<<"${name/UTF-8/utf8}")
    grep -qx "$short" <<<"$have_locales" && continue
    need_gen=1
    if grep -q "^# *$entry\$" /etc/locale.gen; then
      as_root sed -i "s/^# *$entry\$/$entry/" /etc/locale.gen
    elif ! grep -q "^$entry\$" /etc/locale.gen; then
      echo "$entry" | as_root tee -a /etc/locale.gen >/dev/null
    fi
  done
  if ((need_gen)); then
    log "generating locales"
    as_root locale-gen
  fi
fi

# --- Windows-side libraries ----------------------------------------------------------------

((want_windows)) || {
  log "done (native only)"
  exit 0
}

# Wine is installed now: the road decides whether the x64 libraries are needed too.
koru_windows_road || die "$KORU_ROAD_REASON"
log "$(koru_windows_road_line)"
if [[ $KORU_ROAD == x64 && " ${arches[*]} " != *" x86_64 "* ]]; then
  arches+=(x86_64)
fi

# fetch_source SOURCE BINARY: unpacks the Debian source of SOURCE in the current folder:
# the version of the installed BINARY package, or else the newest version the archive can
# still deliver (a mirror may list a source it no longer serves).
fetch_source() {
  local src=$1 bin=$2 ver
  local versions=("$(dpkg-query -W -f='${source:Version}' "$bin")")
  versions+=($(apt-cache madison "$src" | awk -F' *[|] *' '/Sources/ {print $2}'))
  for ver in "${versions[@]}"; do
    rm -rf "./$src-"*/
    if apt-get source -q "$src=$ver" >>source.log 2>&1; then
      find . -mindepth 1 -maxdepth 1 -type d -name "$src-*" -print -quit
      return 0
    fi
    echo "[bootstrap] apt-get source $src=$ver failed; trying the next version" >&2
  done
  cat source.log >&2
  die "apt-get source $src failed"
}

# build_deps TRIPLET PREFIX: the three libraries, statically, into PREFIX.
build_deps() {
  local triplet=$1 prefix=$2 arch=${1%%-*} toolchain
  case $arch in
    i686) toolchain=$repo/cmake/toolchains/mingw-i686.cmake ;;
    x86_64) toolchain=$repo/cmake/toolchains/mingw-x64.cmake ;;
  esac
  work=$(mktemp -d "${TMPDIR:-/tmp}/korusetup-deps.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  rm -rf "$prefix"
  mkdir -p "$prefix"
  local common=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix" -DKORU_MINGW_DEPS="$prefix")
  local -x KORU_MINGW_DEPS=$prefix
  cd "$work"
  local t0 src

  t0=$SECONDS
  log "[$arch] GoogleTest from /usr/src/googletest"
  cmake -S /usr/src/googletest -B "$work/gtest" "${common[@]}" -DBUILD_GMOCK=ON \
    >"$work/gtest.log" 2>&1 &&
    cmake --build "$work/gtest" -j2 >>"$work/gtest.log" 2>&1 &&
    cmake --install "$work/gtest" >>"$work/gtest.log" 2>&1 || {
    tail -40 "$work/gtest.log" >&2
    die "GoogleTest build failed"
  }
  log "[$arch] GoogleTest done in $((SECONDS - t0)) s"

  t0=$SECONDS
  log "[$arch] libjpeg-turbo from the Debian source"
  src=$(fetch_source libjpeg-turbo libjpeg62-turbo-dev)
  cmake -S "$work/$src" -B "$work/jpeg" "${common[@]}" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON \
    -DWITH_TURBOJPEG=OFF >"$work/jpeg.log" 2>&1 &&
    cmake --build "$work/jpeg" -j2 >>"$work/jpeg.log" 2>&1 &&
    cmake --install "$work/jpeg" >>"$work/jpeg.log" 2>&1 || {
    tail -40 "$work/jpeg.log" >&2
    die "libjpeg-turbo build failed"
  }
  grep -h '^Version:' ./*.dsc | sed 's/^/libjpeg-turbo source /' >>"$prefix/built-from.txt"
  rm -f ./*.dsc
  log "[$arch] libjpeg-turbo done in $((SECONDS - t0)) s"

  t0=$SECONDS
  log "[$arch] libpng from the Debian source (zlib from libz-mingw-w64-dev)"
  src=$(fetch_source libpng1.6 libpng-dev)
  cmake -S "$work/$src" -B "$work/png" "${common[@]}" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DSKIP_INSTALL_PROGRAMS=ON -DZLIB_USE_STATIC_LIBS=ON \
    >"$work/png.log" 2>&1 &&
    cmake --build "$work/png" -j2 >>"$work/png.log" 2>&1 &&
    cmake --install "$work/png" >>"$work/png.log" 2>&1 || {
    tail -40 "$work/png.log" >&2
    die "libpng build failed"
  }
  grep -h '^Version:' ./*.dsc | sed 's/^/libpng1.6 source /' >>"$prefix/built-from.txt"
  log "[$arch] libpng done in $((SECONDS - t0)) s"

  # nlohmann/json is header-only. Its Debian CMake package points at /usr/include, which must
  # never be on a cross build's include path (glibc headers); expose only its own folder.
  mkdir -p "$prefix/nlohmann-include" "$prefix/lib/cmake/nlohmann_json"
  ln -sfn /usr/include/nlohmann "$prefix/nlohmann-include/nlohmann"
  local json_version
  json_version=$(dpkg-query -W -f='${Version}' nlohmann-json3-dev | sed 's/-[^-]*$//')
  cat >"$prefix/lib/cmake/nlohmann_json/nlohmann_jsonConfig.cmake" <<CFG
# Written by scripts/bootstrap.sh: the header-only library from /usr/include/nlohmann,
# reached through a folder that holds nothing else.
if(NOT TARGET nlohmann_json::nlohmann_json)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "\${CMAKE_CURRENT_LIST_DIR}/../../../nlohmann-include")
endif()
CFG
  cat >"$prefix/lib/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake" <<CFG
set(PACKAGE_VERSION "$json_version")
if(PACKAGE_FIND_VERSION VERSION_GREATER PACKAGE_VERSION)
  set(PACKAGE_VERSION_COMPATIBLE FALSE)
else()
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
  if(PACKAGE_FIND_VERSION STREQUAL PACKAGE_VERSION)
    set(PACKAGE_VERSION_EXACT TRUE)
  endif()
endif()
CFG
  cd "$repo"
  rm -rf "$work"
}

for arch in "${arches[@]}"; do
  triplet=$arch-w64-mingw32
  key_text=$(dep_key "$triplet")
  key=$(dep_key "$triplet" | sha1sum | cut -c1-12)
  prefix=$cache/mingw-$arch-$key
  if [[ -f $prefix/.complete ]]; then
    log "[$arch] libraries cached in $prefix"
  else
    ensure_deb_src
    t_all=$SECONDS
    build_deps "$triplet" "$prefix"
    printf '%s\n' "$key_text" >"$prefix/key.txt"
    touch "$prefix/.complete"
    log "[$arch] libraries built in $((SECONDS - t_all)) s into $prefix"
  fi
  # The toolchain files look here unless KORU_MINGW_DEPS says otherwise.
  ln -sfn "$(basename "$prefix")" "$cache/mingw-$arch"
done
log "done"
