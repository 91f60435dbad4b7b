# Common compile options for the project's own targets.
function(orvane_target_defaults target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor)
  endif()
endfunction()
