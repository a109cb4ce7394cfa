# Shared by the MinGW-w64 toolchain files; TOOLCHAIN_PREFIX names the target. MINGW_THREADS picks
# the compiler's thread model: posix (the default: std::thread, for the test programs) or win32
# (the shipped programs: a runtime that needs nothing newer than Windows XP).
if(NOT MINGW_THREADS)
  set(MINGW_THREADS posix)
endif()
# try_compile projects read this file again and must see the same choice.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES MINGW_THREADS)
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-${MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${MINGW_THREADS})
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
