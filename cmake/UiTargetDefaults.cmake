# ui_target_defaults(target): the project's warning set (the build is kept warning-free) and,
# with UI_SANITIZE, AddressSanitizer and UndefinedBehaviorSanitizer (with float-cast-overflow,
# which GCC leaves out of "undefined": a real too large for an int must be caught).
function(ui_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(UI_SANITIZE)
    set(flags -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_compile_options(${target} PRIVATE ${flags})
    target_link_options(${target} PRIVATE ${flags})
  endif()
endfunction()

# ui_motif_program(target): a program that uses Motif widgets. Motif replaces the toolkit's
# vendor shell class with its own, which only works when libXm comes before libXt in the
# program's library search order; the linker must not drop libXm as unneeded.
function(ui_motif_program target)
  target_link_options(${target} PRIVATE "LINKER:--no-as-needed")
  target_link_libraries(${target} PRIVATE Motif::Xm)
endfunction()
