# Cross-compiles for 64-bit Windows with clang against the MinGW-w64 runtime and
# GCC's win32-thread-model libstdc++ (the installer's, see mingw-w64-x86_64.cmake),
# linked by GNU ld, so a second compiler checks the same code and links the same
# libraries. Test binaries run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_triple x86_64-w64-mingw32)
set(_sysroot /usr/${_triple})
# Debian's MinGW GCC keeps each thread model's runtime in a directory of its own;
# clang's driver does not find it there, so headers and libraries are named here.
set(KESTRAVON_MINGW_WIN32_GCC_DIR /usr/lib/gcc/${_triple}/12-win32 CACHE PATH
    "MinGW-w64 GCC (win32 threads) directory holding libstdc++ headers and libraries")
find_program(KESTRAVON_CLANG NAMES clang-14 clang)
find_program(KESTRAVON_CLANGXX NAMES clang++-14 clang++)
find_program(KESTRAVON_MINGW_LD ${_triple}-ld)
find_program(KESTRAVON_MINGW_AR ${_triple}-ar)
find_program(KESTRAVON_MINGW_RANLIB ${_triple}-ranlib)
find_program(KESTRAVON_WINDRES ${_triple}-windres)
# windres preprocesses with GCC, which comes with the libstdc++ below (see mingw-w64-x86_64.cmake).
find_program(KESTRAVON_MINGW_WIN32_CC ${_triple}-gcc-win32)
foreach(_tool KESTRAVON_CLANG KESTRAVON_CLANGXX KESTRAVON_MINGW_LD KESTRAVON_MINGW_AR KESTRAVON_MINGW_RANLIB KESTRAVON_WINDRES
              KESTRAVON_MINGW_WIN32_CC)
  if(NOT ${_tool})
    message(FATAL_ERROR "${_tool} not found: install clang, binutils-mingw-w64-x86-64 and g++-mingw-w64-x86-64-win32")
  endif()
endforeach()
if(NOT EXISTS ${KESTRAVON_MINGW_WIN32_GCC_DIR}/include/c++/${_triple}/bits/c++config.h
   OR NOT EXISTS ${KESTRAVON_MINGW_WIN32_GCC_DIR}/libstdc++.a)
  message(FATAL_ERROR "libstdc++ for MinGW-w64 not found in ${KESTRAVON_MINGW_WIN32_GCC_DIR}: install g++-mingw-w64-x86-64-win32")
endif()

set(CMAKE_C_COMPILER ${KESTRAVON_CLANG})
set(CMAKE_CXX_COMPILER ${KESTRAVON_CLANGXX})
set(CMAKE_C_COMPILER_TARGET ${_triple})
set(CMAKE_CXX_COMPILER_TARGET ${_triple})
set(CMAKE_RC_COMPILER ${KESTRAVON_WINDRES})
set(CMAKE_RC_FLAGS_INIT "--preprocessor=${KESTRAVON_MINGW_WIN32_CC} --preprocessor-arg=-E --preprocessor-arg=-xc --preprocessor-arg=-DRC_INVOKED")
set(CMAKE_AR ${KESTRAVON_MINGW_AR} CACHE FILEPATH "")
set(CMAKE_RANLIB ${KESTRAVON_MINGW_RANLIB} CACHE FILEPATH "")
set(CMAKE_SYSROOT ${_sysroot})

# With a sysroot clang adds no C++ library headers of its own.
set(_cxx_include ${KESTRAVON_MINGW_WIN32_GCC_DIR}/include/c++)
set(CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${_cxx_include} ${_cxx_include}/${_triple} ${_cxx_include}/backward)
# The win32 model needs no winpthreads (clang's driver would add it for -pthread).
# GNU ld rather than lld: the release link options
# (--enable-reloc-section) and dlltool's delay-load libraries are GNU ld's. ld
# notes "duplicate section ... has different size" for the type information of a
# few std exceptions: GCC pads those COMDATs to 16 bytes, clang does not; the
# contents are the same and one copy is kept.
set(_link_flags "--ld-path=${KESTRAVON_MINGW_LD} -L${KESTRAVON_MINGW_WIN32_GCC_DIR}")
set(CMAKE_EXE_LINKER_FLAGS_INIT ${_link_flags})
set(CMAKE_SHARED_LINKER_FLAGS_INIT ${_link_flags})
set(CMAKE_MODULE_LINKER_FLAGS_INIT ${_link_flags})

set(CMAKE_FIND_ROOT_PATH ${_sysroot})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test binaries run through the harness, which owns the Wine prefix and display.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../tests/harness/wine-run.sh)
