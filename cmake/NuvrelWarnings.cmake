# Warnings for our own targets only; the dependencies live in system include
# directories and stay quiet.
function(nuvrel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
endfunction()
