# Warnings are errors on every compiler the project builds with.
function(vigilon_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror)
endfunction()
