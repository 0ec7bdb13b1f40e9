# Our own targets build with warnings as errors; third-party code is not touched.
function(ctrl_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Werror)
  endif()
endfunction()
