# The release pins: the key that must sign the release manifest and the publisher that must
# have signed the setup program. Both are empty by default, and the installer then trusts
# whatever the download host serves over TLS (with the manifest's digest and size).
set(KESTRAVON_RELEASE_KEY "" CACHE FILEPATH
    "ECDSA P-256 public key (SubjectPublicKeyInfo PEM) that must sign the release manifest; empty: not checked")
set(KESTRAVON_SETUP_PUBLISHER "" CACHE STRING
    "Exact subject common name of the certificate that must sign the setup program; empty: not checked")

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# kestravon_release_trust_header(<dir> <key file or empty> <publisher or empty>)
#   Checks both pins and writes <dir>/release_trust.h for the executable that includes <dir>;
#   a malformed key or a name with control characters stops the configure.
function(kestravon_release_trust_header dir key publisher)
  # Through a file, so that quotes and semicolons in the name reach the script unchanged.
  file(WRITE ${dir}/publisher.txt "${publisher}")
  execute_process(
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/cmake/release_trust.py
            --key "${key}" --publisher-file ${dir}/publisher.txt --out ${dir}/release_trust.h
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    string(STRIP "${error}" error)
    message(FATAL_ERROR "${error}")
  endif()
  if(key)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${key})
  endif()
endfunction()

set(KESTRAVON_RELEASE_TRUST_DIR ${CMAKE_BINARY_DIR}/generated/release_trust)
kestravon_release_trust_header(${KESTRAVON_RELEASE_TRUST_DIR} "${KESTRAVON_RELEASE_KEY}" "${KESTRAVON_SETUP_PUBLISHER}")

# A release build (the windows preset: no tests) that pins neither is the installer of
# before; say so every time it is configured.
if(NOT KESTRAVON_BUILD_TESTS)
  if(NOT KESTRAVON_RELEASE_KEY)
    message(WARNING "KESTRAVON_RELEASE_KEY is empty: this installer does not pin the release key and "
      "accepts any manifest the download host serves. See tools/publish/README.md, step 6.")
  endif()
  if(NOT KESTRAVON_SETUP_PUBLISHER)
    message(WARNING "KESTRAVON_SETUP_PUBLISHER is empty: this installer does not pin the setup's "
      "publisher and runs any setup program that matches the manifest. See tools/publish/README.md, step 6.")
  endif()
endif()
