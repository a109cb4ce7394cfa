# Cross-compiles 32-bit Windows programs with MinGW-w64 (i686).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests of the real programs run through Wine, by way of scripts/wine-run.sh; scripts/test.sh
# provides the prefix and the display.
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh wine)
