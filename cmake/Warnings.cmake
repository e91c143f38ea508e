# Project code builds warning-free; CI turns warnings into errors.
function(kestravon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wconversion -Wno-sign-conversion)
  if(KESTRAVON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
