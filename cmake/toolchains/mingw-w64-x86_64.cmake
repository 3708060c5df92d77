# Cross-building for 64-bit Windows with Debian's mingw-w64, threads through
# winpthreads (the "posix" variant of the compilers, which has std::thread and
# std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARB_MINGW_HOST x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARB_MINGW_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARB_MINGW_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARB_MINGW_HOST}-windres)
set(CMAKE_OBJCOPY ${QUARB_MINGW_HOST}-objcopy)
set(CMAKE_OBJDUMP ${QUARB_MINGW_HOST}-objdump)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARB_MINGW_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Tests run under Wine, through a wrapper that makes a run again when Wine
# itself failed it (scripts/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../../scripts/wine-run)
