# Gives Motif an imported target of its own, Motif::Xm (Debian ships no CMake package for it);
# used by the build and by the installed CMake package alike. Needs the X11 package found.
if(NOT TARGET Motif::Xm)
  find_path(MOTIF_INCLUDE_DIR Xm/Xm.h)
  find_library(MOTIF_LIBRARY Xm)
  if(NOT MOTIF_INCLUDE_DIR OR NOT MOTIF_LIBRARY)
    message(FATAL_ERROR "Motif (libXm) was not found: install libmotif-dev")
  endif()
  add_library(Motif::Xm UNKNOWN IMPORTED)
  set_target_properties(Motif::Xm PROPERTIES
    IMPORTED_LOCATION ${MOTIF_LIBRARY}
    INTERFACE_INCLUDE_DIRECTORIES ${MOTIF_INCLUDE_DIR}
    INTERFACE_LINK_LIBRARIES "X11::Xt;X11::Xext;X11::Xft;X11::X11")
endif()
