# Shared part of the MinGW-w64 cross toolchains. The including toolchain file
# sets VIGILON_MINGW_TRIPLE, CMAKE_SYSTEM_PROCESSOR and VIGILON_WINE_NAMES.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model gives the C++ runtime std::thread and std::mutex,
# which the tests use; GCC 12's win32 model has neither.
set(CMAKE_C_COMPILER ${VIGILON_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VIGILON_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VIGILON_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VIGILON_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# C99 printf and scanf from the MinGW runtime instead of msvcrt's ("%f",
# "%lld", "%zu" behave as on every other platform).
set(CMAKE_C_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")
set(CMAKE_CXX_FLAGS_INIT "-D__USE_MINGW_ANSI_STDIO=1")

# A static runtime: the programs and tests run without any MinGW DLL beside
# them (libgcc, libstdc++ and winpthread are linked in).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest and gtest_discover_tests run the Windows executables under Wine.
find_program(VIGILON_WINE NAMES ${VIGILON_WINE_NAMES} wine)
if(VIGILON_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VIGILON_WINE})
endif()

# Tests are listed when ctest runs (under the warmed Wine server of the test
# script), not after each link, so a build never waits on Wine.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
