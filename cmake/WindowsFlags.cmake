# Unicode Win32 targeting Windows 10 APIs, built small and linked statically so the
# executable needs nothing but Windows system DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
add_compile_options(-ffunction-sections -fdata-sections)
# clang's MinGW driver has no -static-libstdc++ (-static covers it there).
add_link_options(-static -static-libgcc $<$<CXX_COMPILER_ID:GNU>:-static-libstdc++> -Wl,--gc-sections)
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Os -DNDEBUG")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL "-s")

# Link-time optimisation for the installer. Every object carries GCC's intermediate code
# beside ordinary code (fat objects). The installer links with -flto, so code is generated
# only for what it reaches: ld keeps every .pdata entry and with it every function that has
# one, so unreached functions go before code generation or not at all. GCC optimises any
# link of such objects unless told -fno-lto (and then wherever the flag stands), so every
# other executable gets -fno-lto and links the ordinary code as fast as before.
# clang's link-time objects are LLVM bitcode, which GNU ld cannot link: its build
# links ordinary code.
add_compile_options($<$<CXX_COMPILER_ID:GNU>:-flto=auto> $<$<CXX_COMPILER_ID:GNU>:-ffat-lto-objects>)

# kestravon_link_time_optimised(<target>): the executable links with -flto.
function(kestravon_link_time_optimised target)
  target_link_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-flto=auto>)
  set_property(TARGET ${target} PROPERTY KESTRAVON_LTO ON)
endfunction()

function(kestravon_link_others_without_lto directory)
  get_property(targets DIRECTORY ${directory} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    get_target_property(lto ${target} KESTRAVON_LTO)
    if(type STREQUAL "EXECUTABLE" AND NOT lto)
      target_link_options(${target} PRIVATE -fno-lto)
    endif()
  endforeach()
  get_property(subdirectories DIRECTORY ${directory} PROPERTY SUBDIRECTORIES)
  foreach(subdirectory IN LISTS subdirectories)
    kestravon_link_others_without_lto(${subdirectory})
  endforeach()
endfunction()
# Once every folder has added its targets.
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kestravon_link_others_without_lto ${CMAKE_SOURCE_DIR})
