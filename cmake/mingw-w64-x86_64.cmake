# Cross-compiles the Windows build on Linux with Debian's mingw-w64 (posix threads), static, so each
# .exe needs no DLL of ours; CTest runs its tests under wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(KPX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KPX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KPX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${KPX_MINGW}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${KPX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Tests run under wine64 through scripts/wine-run, in a wine prefix of this build's own.
set(CMAKE_CROSSCOMPILING_EMULATOR
    /usr/bin/env WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
# Tests are listed when CTest runs, where scripts/test has wine ready, not while building.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
