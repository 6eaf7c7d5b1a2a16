# Windows 64-bit (optional): mingw-w64 x86_64, run under 64-bit Wine for tests.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KORU_MINGW_TRIPLET x86_64-w64-mingw32)
set(KORU_MINGW_ARCH x86_64)
set(KORU_WINE_ARGS --win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
