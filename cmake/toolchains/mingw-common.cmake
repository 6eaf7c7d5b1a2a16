# Shared part of the mingw-w64 toolchain files. The including file sets KORU_MINGW_TRIPLET
# (i686-w64-mingw32 or x86_64-w64-mingw32), KORU_MINGW_ARCH (i686, x86_64) and
# KORU_WINE_ARGS (extra arguments of scripts/wine-run).

set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives std::thread/std::mutex, which GoogleTest needs.
set(CMAKE_C_COMPILER ${KORU_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORU_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORU_MINGW_TRIPLET}-windres)

# Libraries Debian does not ship for mingw are built by scripts/bootstrap.sh into a cache
# outside the source tree; KORU_MINGW_DEPS overrides where to look. The default is the
# "current" link that bootstrap points at the build made from the installed packages.
if(DEFINED ENV{KORU_MINGW_DEPS})
  set(KORU_MINGW_DEPS "$ENV{KORU_MINGW_DEPS}")
elseif(NOT KORU_MINGW_DEPS)
  # The same rule as bootstrap: KORU_CACHE_DIR, else /var/cache/korusetup for root and
  # the user's cache folder otherwise. A user whose bootstrap ran as root (sudo) finds the
  # system cache when the own one holds no build.
  execute_process(COMMAND id -u OUTPUT_VARIABLE _koru_uid OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET)
  if(DEFINED ENV{XDG_CACHE_HOME})
    set(_koru_user_cache "$ENV{XDG_CACHE_HOME}/korusetup")
  else()
    set(_koru_user_cache "$ENV{HOME}/.cache/korusetup")
  endif()
  if(DEFINED ENV{KORU_CACHE_DIR})
    set(_koru_cache "$ENV{KORU_CACHE_DIR}")
  elseif(NOT _koru_uid STREQUAL "0" AND EXISTS "${_koru_user_cache}/mingw-${KORU_MINGW_ARCH}")
    set(_koru_cache "${_koru_user_cache}")
  else()
    set(_koru_cache /var/cache/korusetup)
  endif()
  set(KORU_MINGW_DEPS "${_koru_cache}/mingw-${KORU_MINGW_ARCH}")
endif()
# try_compile projects re-read this file; hand the choice on to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KORU_MINGW_DEPS)

# Without our prefix here find_package would re-root it under the compiler's own sysroot.
set(CMAKE_FIND_ROOT_PATH /usr/${KORU_MINGW_TRIPLET} ${KORU_MINGW_DEPS})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The shipped program must not need libgcc, libstdc++ or winpthread DLLs at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)

# ctest and gtest_discover_tests run the test programs through Wine.
get_filename_component(_koru_repo "${CMAKE_CURRENT_LIST_DIR}/../.." ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR "${_koru_repo}/scripts/wine-run" ${KORU_WINE_ARGS})
