# Settings of the Windows build (mingw-w64 cross-build, see
# cmake/toolchains/mingw-w64-x86_64.cmake).
#
# Every program is one self-contained .exe: the C++ runtime, libgcc and
# winpthreads are linked statically, so it imports only DLLs that every
# Windows has.
add_link_options(-static -static-libgcc -static-libstdc++)
# A release build's programs are what a user gets: without symbols they are
# about half the size (quarb.exe 3.3 MB instead of 5.9).
add_link_options($<$<CONFIG:Release>:-s>)
# No link time in the PE header: the same source gives the same programs.
add_link_options(-Wl,--no-insert-timestamp)

# The Linux build of the same checkout: it packs the disk image that the
# Windows player embeds (the very same bytes), and holds the programs that
# test the Windows build under Wine on the X server.
set(QUARB_HOST_BUILD_DIR ${CMAKE_SOURCE_DIR}/build CACHE PATH
    "the Linux build of this checkout (disk image, test drivers)")

# libopenmpt, cross-built from Debian's source package and cached outside the
# clone by scripts/build-windows-deps; built here at configure time when the
# cache has no copy yet.
set(QUARB_OPENMPT_PREFIX "" CACHE PATH "a cross-built libopenmpt (include/, lib/libopenmpt.a)")
if(NOT QUARB_OPENMPT_PREFIX)
  message(STATUS "libopenmpt for Windows: scripts/build-windows-deps")
  execute_process(COMMAND ${CMAKE_SOURCE_DIR}/scripts/build-windows-deps
    OUTPUT_VARIABLE openmpt_out RESULT_VARIABLE openmpt_status OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT openmpt_status EQUAL 0)
    message(FATAL_ERROR "could not cross-build libopenmpt (scripts/build-windows-deps)")
  endif()
  string(REGEX REPLACE ".*\n" "" openmpt_prefix "${openmpt_out}")
  set(QUARB_OPENMPT_PREFIX ${openmpt_prefix} CACHE PATH "a cross-built libopenmpt" FORCE)
endif()
if(NOT EXISTS ${QUARB_OPENMPT_PREFIX}/lib/libopenmpt.a)
  message(FATAL_ERROR "no libopenmpt.a under QUARB_OPENMPT_PREFIX=${QUARB_OPENMPT_PREFIX}")
endif()
add_library(quarb_openmpt_windows STATIC IMPORTED GLOBAL)
set_target_properties(quarb_openmpt_windows PROPERTIES
  IMPORTED_LOCATION ${QUARB_OPENMPT_PREFIX}/lib/libopenmpt.a
  INTERFACE_INCLUDE_DIRECTORIES ${QUARB_OPENMPT_PREFIX}/include)

# Wine runs the tests, in a prefix of the build's own.
set(QUARB_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
set(QUARB_WINE_ENV WINEPREFIX=${QUARB_WINEPREFIX} WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=)
