# Safe DLL loading for Windows executables: a custom entry point that restricts the
# DLL search to System32 before the C runtime starts, and delay-load libraries so
# that system DLLs which are not KnownDLLs (winhttp, bcrypt, dwmapi, oleacc, wintrust,
# crypt32) never appear in the static import table, where the loader would look for
# them beside the executable first. A planted winhttp.dll in a Downloads folder then stays unused.
if(NOT WIN32)
  return()
endif()

# Delay-loaded libraries; each needs failure rules in app/dll_safety.cpp.
set(KESTRAVON_DELAY_LOADED_DLLS winhttp bcrypt dwmapi oleacc wintrust crypt32)
set(KESTRAVON_DELAYLOAD_DIR ${CMAKE_BINARY_DIR}/delayload)

find_program(KESTRAVON_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
find_program(KESTRAVON_NM x86_64-w64-mingw32-nm REQUIRED)

set(_delay_libs "")
foreach(_name IN LISTS KESTRAVON_DELAY_LOADED_DLLS)
  find_file(KESTRAVON_IMPORT_LIB_${_name} lib${_name}.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH)
  if(NOT KESTRAVON_IMPORT_LIB_${_name})
    message(FATAL_ERROR "MinGW import library lib${_name}.a not found")
  endif()
  set(_def ${KESTRAVON_DELAYLOAD_DIR}/${_name}.def)
  set(_lib ${KESTRAVON_DELAYLOAD_DIR}/lib${_name}.a)
  add_custom_command(OUTPUT ${_def}
    COMMAND ${CMAKE_COMMAND} -DNM=${KESTRAVON_NM} -DIMPORT_LIB=${KESTRAVON_IMPORT_LIB_${_name}}
            -DDLL=${_name}.dll -DOUTPUT=${_def} -P ${CMAKE_SOURCE_DIR}/cmake/MakeDelayDef.cmake
    DEPENDS ${KESTRAVON_IMPORT_LIB_${_name}} ${CMAKE_SOURCE_DIR}/cmake/MakeDelayDef.cmake
    COMMENT "Listing the functions of ${_name}.dll")
  add_custom_command(OUTPUT ${_lib}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${_lib}
    COMMAND ${KESTRAVON_DLLTOOL} --def ${_def} --dllname ${_name}.dll --output-delaylib ${_lib}
    DEPENDS ${_def}
    COMMENT "Delay-load library for ${_name}.dll")
  list(APPEND _delay_libs ${_lib})
endforeach()
add_custom_target(kestravon_delayload_libs DEPENDS ${_delay_libs})
set(KESTRAVON_DELAYLOAD_LIBS ${_delay_libs})

# The hooks and the entry point go into each executable as objects, so that their
# definitions of the runtime's hook pointers win over the library defaults.
add_library(kestravon_dll_safety OBJECT ${CMAKE_SOURCE_DIR}/app/dll_safety.cpp)
target_include_directories(kestravon_dll_safety PUBLIC ${CMAKE_SOURCE_DIR})
kestravon_warnings(kestravon_dll_safety)
add_library(kestravon_safe_entry OBJECT ${CMAKE_SOURCE_DIR}/app/safe_entry.cpp)
target_include_directories(kestravon_safe_entry PUBLIC ${CMAKE_SOURCE_DIR})
kestravon_warnings(kestravon_safe_entry)

# kestravon_safe_dll_loading(<target> [NO_ENTRY])
#   Links <target> against the delay-load libraries instead of the import libraries
#   of the same names: -lwinhttp, wherever in the link it comes from, finds the
#   delay-load library first. NO_ENTRY keeps the runtime's own entry point (console
#   test programs); GUI programs start at KestravonStartup.
function(kestravon_safe_dll_loading target)
  cmake_parse_arguments(S "NO_ENTRY" "" "" ${ARGN})
  add_dependencies(${target} kestravon_delayload_libs)
  target_link_directories(${target} BEFORE PRIVATE ${KESTRAVON_DELAYLOAD_DIR})
  target_link_libraries(${target} PRIVATE kestravon_dll_safety)
  if(NOT S_NO_ENTRY)
    target_link_libraries(${target} PRIVATE kestravon_safe_entry)
    target_link_options(${target} PRIVATE -Wl,-e,KestravonStartup)
  endif()
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${KESTRAVON_DELAYLOAD_LIBS})
endfunction()

if(TARGET KestravonInstaller)
  kestravon_safe_dll_loading(KestravonInstaller)
endif()
