# GoogleTest from Debian's source package, built here for whichever toolchain is active.
set(KESTRAVON_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${KESTRAVON_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found at ${KESTRAVON_GTEST_SOURCE}: apt-get install googletest")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
add_subdirectory(${KESTRAVON_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
# GoogleTest is only ever linked into test programs, which do not optimise at link time.
foreach(_target gtest gtest_main)
  target_compile_options(${_target} PRIVATE -fno-lto)
endforeach()
if(WIN32)
  # See tests/support/gtest_notification.h; public, so every test compiles against the same class.
  target_compile_definitions(gtest PUBLIC GTEST_HAS_NOTIFICATION_=1)
  target_compile_options(gtest PUBLIC "SHELL:-include ${CMAKE_SOURCE_DIR}/tests/support/gtest_notification.h")
endif()
