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

# Authenticode signing: `cmake --build --preset windows --target sign` writes
# signed/KestravonInstaller.exe and verifies it; the unsigned build output stays
# as linked, so it remains comparable between builds.
set(KESTRAVON_SIGN_CERT "" CACHE FILEPATH "Code-signing certificate (PEM or DER) for the sign target")
set(KESTRAVON_SIGN_KEY "" CACHE FILEPATH "Private key of the code-signing certificate")
set(KESTRAVON_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File holding the private key's password (optional)")
set(KESTRAVON_SIGN_CAFILE "" CACHE FILEPATH "Trusted certificates for verifying the signature (optional; system bundle otherwise)")
set(KESTRAVON_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp authority URL")
option(KESTRAVON_SIGN_NO_TIMESTAMP "Sign without a time stamp (the signature then fails once the certificate expires)" OFF)
set(_sign_args --cert "${KESTRAVON_SIGN_CERT}" --key "${KESTRAVON_SIGN_KEY}")
if(KESTRAVON_SIGN_NO_TIMESTAMP)
  list(APPEND _sign_args --no-timestamp)
endif()
foreach(_pair "pass-file;KESTRAVON_SIGN_PASSWORD_FILE" "ca;KESTRAVON_SIGN_CAFILE" "timestamp;KESTRAVON_SIGN_TIMESTAMP_URL")
  list(GET _pair 0 _option)
  list(GET _pair 1 _variable)
  if(${_variable})
    list(APPEND _sign_args --${_option} "${${_variable}}")
  endif()
endforeach()
if(KESTRAVON_SIGN_CERT AND KESTRAVON_SIGN_KEY)
  add_custom_target(sign
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/signed
    COMMAND ${CMAKE_SOURCE_DIR}/tools/publish/sign.sh ${_sign_args}
            $<TARGET_FILE:KestravonInstaller> ${CMAKE_BINARY_DIR}/signed/KestravonInstaller.exe
    COMMENT "Signing KestravonInstaller.exe"
    VERBATIM)
  add_dependencies(sign KestravonInstaller)
else()
  add_custom_target(sign
    COMMAND ${CMAKE_COMMAND} -E echo "Set KESTRAVON_SIGN_CERT and KESTRAVON_SIGN_KEY to sign KestravonInstaller.exe."
    COMMAND ${CMAKE_COMMAND} -E false
    VERBATIM)
endif()
