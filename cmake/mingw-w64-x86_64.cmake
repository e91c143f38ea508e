# Cross-compiles for 64-bit Windows with MinGW-w64 GCC (win32 thread model) and runs
# the resulting test binaries under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The win32 thread model: its libstdc++ locks and keeps per-thread exception state with
# Windows primitives directly, where the posix model links the pthread emulation
# (libwinpthread, 26 KiB of the installer). GCC 12 gives it no std::thread or std::mutex;
# the worker and the tests start threads with CreateThread.
# Debian installs each model's programs under a -win32 or -posix suffix and points the
# plain names (x86_64-w64-mingw32-g++, -gcc-ar, ...) at one of them through alternatives,
# which may point either way (installing the win32 package moves them), so only the
# suffixed names are used, windres's preprocessor included.
set(_triple x86_64-w64-mingw32)
set(_package g++-mingw-w64-x86-64-win32)
find_program(KESTRAVON_MINGW_WIN32_CXX ${_triple}-g++-win32)
find_program(KESTRAVON_MINGW_WIN32_CC ${_triple}-gcc-win32)
# GCC's archiver wrappers index the link-time-optimisation symbols of the objects, so the
# installer's -flto link finds every library member that it needs before generating code.
find_program(KESTRAVON_MINGW_WIN32_AR ${_triple}-gcc-ar-win32)
find_program(KESTRAVON_MINGW_WIN32_RANLIB ${_triple}-gcc-ranlib-win32)
find_program(KESTRAVON_WINDRES ${_triple}-windres)
foreach(_tool KESTRAVON_MINGW_WIN32_CXX KESTRAVON_MINGW_WIN32_CC KESTRAVON_MINGW_WIN32_AR
              KESTRAVON_MINGW_WIN32_RANLIB KESTRAVON_WINDRES)
  if(NOT ${_tool})
    message(FATAL_ERROR "${_tool} not found: install ${_package} (apt-get install ${_package})")
  endif()
endforeach()

set(CMAKE_C_COMPILER ${KESTRAVON_MINGW_WIN32_CC})
set(CMAKE_CXX_COMPILER ${KESTRAVON_MINGW_WIN32_CXX})
set(CMAKE_AR ${KESTRAVON_MINGW_WIN32_AR})
set(CMAKE_RANLIB ${KESTRAVON_MINGW_WIN32_RANLIB})
set(CMAKE_RC_COMPILER ${KESTRAVON_WINDRES})
# windres would otherwise preprocess with the plain x86_64-w64-mingw32-gcc; these are its
# default arguments, which it drops once told a preprocessor.
set(CMAKE_RC_FLAGS_INIT "--preprocessor=${KESTRAVON_MINGW_WIN32_CC} --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED")

set(CMAKE_FIND_ROOT_PATH /usr/${_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test binaries run through the harness, which owns the Wine prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/harness/wine-run.sh)
