# Finds the system libraries and gives Motif and Xt imported targets of their own
# (Debian ships no CMake package for them).
find_package(X11 REQUIRED)
find_package(yaml-cpp REQUIRED)
find_package(PNG REQUIRED)

if(NOT TARGET X11::Xt)
  message(FATAL_ERROR "libXt was not found: run scripts/deps")
endif()

find_path(MOTIF_INCLUDE_DIR Xm/Xm.h)
find_library(MOTIF_LIBRARY Xm)
if(NOT MOTIF_INCLUDE_DIR OR NOT MOTIF_LIBRARY)
  message(FATAL_ERROR "Motif (libXm) was not found: run scripts/deps")
endif()
add_library(Motif::Xm UNKNOWN IMPORTED)
set_target_properties(Motif::Xm PROPERTIES
  IMPORTED_LOCATION ${MOTIF_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${MOTIF_INCLUDE_DIR}
  INTERFACE_LINK_LIBRARIES "X11::Xt;X11::Xext;X11::Xft;X11::X11")
