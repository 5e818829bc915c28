# ui_warnings(target): the project's warning set; the build is kept warning-free.
function(ui_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
endfunction()
