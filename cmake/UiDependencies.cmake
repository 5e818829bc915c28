# Finds the system libraries and gives Motif and Xt imported targets of their own
# (Debian ships no CMake package for them).
find_package(X11 REQUIRED)
find_package(yaml-cpp REQUIRED)
find_package(PNG REQUIRED)
find_package(CLI11 REQUIRED)
# libyaml (C) reads interface files: its event parser is far cheaper than a full YAML library.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LIBYAML REQUIRED IMPORTED_TARGET yaml-0.1)

if(NOT TARGET X11::Xt)
  message(FATAL_ERROR "libXt was not found: run scripts/deps")
endif()

include(UiFindMotif)
