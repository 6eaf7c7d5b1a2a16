# Windows 32-bit, the shipped program: mingw-w64 i686, run under Wine for tests.
set(CMAKE_SYSTEM_PROCESSOR X86)
set(KORU_MINGW_TRIPLET i686-w64-mingw32)
set(KORU_MINGW_ARCH i686)
set(KORU_WINE_ARGS)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
