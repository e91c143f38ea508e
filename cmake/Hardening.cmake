# Exploit mitigations and reproducibility for the MinGW-built executables.
#
# ASLR with a 64-bit (high-entropy) base, DEP, and an explicit relocation table so
# the loader can actually move the image. No export table: an executable serves
# no symbols, and GNU ld would otherwise export everything once one dllexport
# appears. Every section stays either writable or executable, never both (checked
# by tests/release/check_pe.py).
add_link_options(
  -Wl,--dynamicbase
  -Wl,--high-entropy-va
  -Wl,--nxcompat
  -Wl,--enable-reloc-section
  -Wl,--exclude-all-symbols)

# Reproducible builds: the same sources give the same bytes whatever the folder
# or the time. ld stamps the COFF header with the build time unless told not to
# (windres already writes zero resource time stamps); build paths reach the
# binary through __FILE__ and debug info, so both trees are mapped to fixed names.
add_link_options(-Wl,--no-insert-timestamp)
add_compile_options(
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=/kestravon
  -ffile-prefix-map=${CMAKE_BINARY_DIR}=/kestravon-build
  -fmacro-prefix-map=${CMAKE_SOURCE_DIR}=/kestravon
  -fmacro-prefix-map=${CMAKE_BINARY_DIR}=/kestravon-build)
