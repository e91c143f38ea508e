# Unicode Win32 targeting Windows 10 APIs, built small and linked statically so the
# executable needs nothing but Windows system DLLs.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00 WINVER=0x0A00)
add_compile_options(-ffunction-sections -fdata-sections)
# clang's MinGW driver has no -static-libstdc++ (-static covers it there).
add_link_options(-static -static-libgcc $<$<CXX_COMPILER_ID:GNU>:-static-libstdc++> -Wl,--gc-sections)
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Os -DNDEBUG")
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL "-s")
