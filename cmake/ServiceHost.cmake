# The release service's apex host name, fixed at build time.
set(KESTRAVON_SERVICE_HOST "kestravon.com" CACHE STRING
    "Apex host name of the release service (lower-case ASCII; the www. form is trusted too)")

# Lower-case letters, digits, hyphens and dots; no leading or trailing dot, no empty
# label; nothing else, so a scheme, port or path cannot slip into the constant.
if(NOT KESTRAVON_SERVICE_HOST MATCHES "^[a-z0-9-]+(\\.[a-z0-9-]+)*$")
  message(FATAL_ERROR
    "KESTRAVON_SERVICE_HOST is \"${KESTRAVON_SERVICE_HOST}\": it must be a bare host name "
    "of lower-case ASCII letters, digits, hyphens and dots, with no leading or trailing dot "
    "and no scheme, port or path (for example kestravon.com).")
endif()

set(KESTRAVON_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/service_host.h.in ${KESTRAVON_GENERATED_DIR}/service_host.h @ONLY)
# The product version lives in project(); everything else reads it from here.
configure_file(${CMAKE_CURRENT_LIST_DIR}/version.h.in ${KESTRAVON_GENERATED_DIR}/version.h @ONLY)
