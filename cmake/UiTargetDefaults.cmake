# ui_target_defaults(target): the project's warning set (the build is kept warning-free) and,
# with UI_SANITIZE, AddressSanitizer and UndefinedBehaviorSanitizer (with float-cast-overflow,
# which GCC leaves out of "undefined": a real too large for an int must be caught).
function(ui_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # A library calls its own functions directly, not through the dynamic linker's tables (no
  # program replaces a function of the kit's), and may inline them within a file; its calls to
  # other libraries (the object manager's, the toolkit's) go through their addresses, bound at
  # load, without a jump through a stub each; its optimized builds also get GCC's loop and
  # inlining work of -O3. The object manager's small functions run thousands of times for
  # every window made.
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY" OR type STREQUAL "STATIC_LIBRARY")
    target_compile_options(${target} PRIVATE -fno-semantic-interposition -fno-plt
                                             $<$<CONFIG:RelWithDebInfo,Release>:-O3>)
  endif()
  if(type STREQUAL "SHARED_LIBRARY")
    target_link_options(${target} PRIVATE "LINKER:-Bsymbolic-functions")
  endif()
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
