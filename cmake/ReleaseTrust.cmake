# The release pins: the keys that may sign the release manifest and how many of them must,
# the oldest release it may name, and the publisher (and its certificate's issuer) that must
# have signed the setup program. All are empty by default, and the installer then trusts
# whatever the download host serves over TLS (with the manifest's digest and size).
set(KESTRAVON_RELEASE_KEY "" CACHE FILEPATH
    "One to four ECDSA P-256 public keys (SubjectPublicKeyInfo PEM) that may sign the manifest; empty: not checked")
set(KESTRAVON_RELEASE_THRESHOLD "1" CACHE STRING
    "How many distinct release keys must sign each manifest: 1 to the number of keys")
set(KESTRAVON_MIN_RELEASE_SERIAL "1" CACHE STRING
    "Lowest release serial a signed manifest may carry: the serial current when this installer is built")
set(KESTRAVON_SETUP_PUBLISHER "" CACHE STRING
    "Exact subject common name of the certificate that must sign the setup program; empty: not checked")
set(KESTRAVON_SETUP_ISSUER_KEYS "" CACHE STRING
    "SHA-256 (hex, ';'-separated) of the SubjectPublicKeyInfo of each CA that may issue the publisher's; empty: any")

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# kestravon_release_trust_header(<dir> KEY <key file or ""> PUBLISHER <name or ""> ISSUER_KEYS <digests or "">
#                                MIN_SERIAL <n> THRESHOLD <k>)
#   Checks the pins and writes <dir>/release_trust.h for the executable that includes <dir>;
#   a malformed pin stops the configure. Every value reaches the check as given: a list of
#   digests stays one value, and an empty serial floor or threshold is refused, never
#   replaced by a default.
function(kestravon_release_trust_header dir)
  cmake_parse_arguments(PARSE_ARGV 1 PIN "" "KEY;PUBLISHER;ISSUER_KEYS;MIN_SERIAL;THRESHOLD" "")
  if(DEFINED PIN_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "kestravon_release_trust_header: unexpected arguments \"${PIN_UNPARSED_ARGUMENTS}\".")
  endif()
  # Through a file, so that quotes and semicolons in the name reach the script unchanged.
  file(WRITE ${dir}/publisher.txt "${PIN_PUBLISHER}")
  execute_process(
    COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/release_trust.py
            --key "${PIN_KEY}" --publisher-file ${dir}/publisher.txt --issuer-keys "${PIN_ISSUER_KEYS}"
            --min-serial "${PIN_MIN_SERIAL}" --threshold "${PIN_THRESHOLD}" --out ${dir}/release_trust.h
    RESULT_VARIABLE result ERROR_VARIABLE error)
  if(NOT result EQUAL 0)
    string(STRIP "${error}" error)
    message(FATAL_ERROR "${error}")
  endif()
  if(PIN_KEY)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PIN_KEY})
  endif()
endfunction()

set(KESTRAVON_RELEASE_TRUST_DIR ${CMAKE_BINARY_DIR}/generated/release_trust)
kestravon_release_trust_header(${KESTRAVON_RELEASE_TRUST_DIR} KEY "${KESTRAVON_RELEASE_KEY}"
  PUBLISHER "${KESTRAVON_SETUP_PUBLISHER}" ISSUER_KEYS "${KESTRAVON_SETUP_ISSUER_KEYS}"
  MIN_SERIAL "${KESTRAVON_MIN_RELEASE_SERIAL}" THRESHOLD "${KESTRAVON_RELEASE_THRESHOLD}")

# A release build (the windows preset: no tests) that pins nothing is the installer of
# before; say so every time it is configured.
if(NOT KESTRAVON_BUILD_TESTS)
  if(NOT KESTRAVON_RELEASE_KEY)
    message(WARNING "KESTRAVON_RELEASE_KEY is empty: this installer does not pin the release key and "
      "accepts any manifest the download host serves, however old. See tools/publish/README.md, step 7.")
  endif()
  if(NOT KESTRAVON_SETUP_PUBLISHER)
    message(WARNING "KESTRAVON_SETUP_PUBLISHER is empty: this installer does not pin the setup's "
      "publisher and runs any setup program that matches the manifest. See tools/publish/README.md, step 7.")
  elseif(NOT KESTRAVON_SETUP_ISSUER_KEYS)
    message(WARNING "KESTRAVON_SETUP_ISSUER_KEYS is empty: any certificate Windows trusts for code signing "
      "whose common name is \"${KESTRAVON_SETUP_PUBLISHER}\" passes. See tools/publish/README.md, step 7.")
  endif()
endif()
