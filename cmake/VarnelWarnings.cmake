# Warning flags for the project's own targets.
option(VARNEL_WERROR "Treat warnings in the project's code as errors" OFF)

function(varnel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VARNEL_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
