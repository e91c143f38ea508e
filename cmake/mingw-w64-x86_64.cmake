# Cross-compiles for 64-bit Windows with MinGW-w64 GCC (posix threads) and runs
# the resulting test binaries under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
find_program(KESTRAVON_MINGW_CXX ${_triple}-g++-posix)
find_program(KESTRAVON_MINGW_CC ${_triple}-gcc-posix)
find_program(KESTRAVON_WINDRES ${_triple}-windres)
foreach(_tool KESTRAVON_MINGW_CXX KESTRAVON_MINGW_CC KESTRAVON_WINDRES)
  if(NOT ${_tool})
    message(FATAL_ERROR "${_tool} not found: install g++-mingw-w64-x86-64-posix (apt-get install g++-mingw-w64-x86-64-posix)")
  endif()
endforeach()

set(CMAKE_C_COMPILER ${KESTRAVON_MINGW_CC})
set(CMAKE_CXX_COMPILER ${KESTRAVON_MINGW_CXX})
set(CMAKE_RC_COMPILER ${KESTRAVON_WINDRES})
# GCC's archiver wrappers index the link-time-optimisation symbols of the objects, so the
# installer's -flto link finds every library member that it needs before generating code.
find_program(KESTRAVON_MINGW_AR ${_triple}-gcc-ar-posix REQUIRED)
find_program(KESTRAVON_MINGW_RANLIB ${_triple}-gcc-ranlib-posix REQUIRED)
set(CMAKE_AR ${KESTRAVON_MINGW_AR})
set(CMAKE_RANLIB ${KESTRAVON_MINGW_RANLIB})

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test binaries run through the harness, which owns the Wine prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/harness/wine-run.sh)
