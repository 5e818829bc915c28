# Run by cpack before it packs: removes the search paths that an installation into a private
# prefix gives the libraries and uirun, which have no place in the system's folders.
file(GLOB_RECURSE files LIST_DIRECTORIES false ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
list(FILTER files INCLUDE REGEX "/bin/[^/]+$|/lib[^/]*\\.so\\.[0-9.]+$")
foreach(f IN LISTS files)
  if(NOT IS_SYMLINK ${f})
    file(RPATH_REMOVE FILE ${f})
  endif()
endforeach()
