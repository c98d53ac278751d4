# Builds the core for the web with Debian's Emscripten; CTest runs its tests under Node, where the
# host's file system stands in for the page's (NODERAWFS), so the file tests see real folders.
include(/usr/share/emscripten/cmake/Modules/Platform/Emscripten.cmake)

# The code catches and throws (the tests' injected faults among them): Emscripten leaves
# exceptions out unless both compiling and linking ask for them.
set(CMAKE_C_FLAGS_INIT "-fexceptions")
set(CMAKE_CXX_FLAGS_INIT "-fexceptions")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fexceptions -sALLOW_MEMORY_GROWTH=1 -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/node-run CACHE FILEPATH
    "Runs the web build's programs under Node" FORCE)
# Tests are listed when CTest runs, not while building, which then needs no Node.
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
