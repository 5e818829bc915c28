# ui_target_defaults(target): the project's warning set (the build is kept warning-free) and,
# with UI_SANITIZE, AddressSanitizer and UndefinedBehaviorSanitizer.
function(ui_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
  if(UI_SANITIZE)
    set(flags -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(${target} PRIVATE ${flags})
    target_link_options(${target} PRIVATE ${flags})
  endif()
endfunction()
