# The project's warnings on every compiler it builds with. They are errors
# only with VIGILON_WERROR (the presets and CI set it), so that a user's own
# build with a newer compiler is not stopped by a warning of that compiler.
option(VIGILON_WERROR "Treat warnings as errors" OFF)

function(vigilon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(VIGILON_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
