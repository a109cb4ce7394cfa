# Cross-compiles the same sources as 64-bit Windows programs (MinGW-w64 x86_64), for the
# end-to-end tests on machines that cannot run 32-bit Linux binaries and so no wine32.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh /usr/lib/wine/wine64)
