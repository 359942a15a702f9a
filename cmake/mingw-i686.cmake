# Cross toolchain for 32-bit Windows (the release build) with MinGW-w64.
set(VIGILON_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VIGILON_WINE_NAMES wine)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
