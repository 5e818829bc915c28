# Installing the kit: the shared libraries with their SOVERSION, the public headers under one
# project folder, uirun and its manual page, the kit's templates, runtime files and examples
# under the data folder, an exported CMake package and a pkg-config file; and the Debian
# package that cpack makes of all that.
# Libraries go to the multiarch folder on Debian whatever the prefix (GNUInstallDirs does so
# only for /usr); the dynamic linker searches /usr/local/lib/<arch> as well.
if(NOT DEFINED CMAKE_INSTALL_LIBDIR AND CMAKE_LIBRARY_ARCHITECTURE AND EXISTS /etc/debian_version)
  set(CMAKE_INSTALL_LIBDIR lib/${CMAKE_LIBRARY_ARCHITECTURE} CACHE PATH "Object code libraries")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(UI_PACKAGE CorvaneUI)
set(UI_DATA_SUBDIR corvane-ui)
set(UI_INSTALL_DATADIR ${CMAKE_INSTALL_DATADIR}/${UI_DATA_SUBDIR})
set(UI_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/corvane)
set(UI_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/${UI_PACKAGE})

# The names installed libraries carry: "ui" alone would clash with other libraries of the
# system's library folder.
set(UI_INSTALLED_LIBRARIES om svc_core svc_x ui)
foreach(lib IN LISTS UI_INSTALLED_LIBRARIES)
  string(REPLACE "_" "-" stem "corvane-${lib}")
  set_target_properties(${lib} PROPERTIES
    OUTPUT_NAME ${stem}
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR})
endforeach()

# The libraries find the data folder from where they are installed (lib -> share/corvane-ui),
# so a prefix can be moved as a whole.
file(RELATIVE_PATH UI_DATA_FROM_LIBDIR
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR} ${CMAKE_INSTALL_PREFIX}/${UI_INSTALL_DATADIR})
target_compile_definitions(svc_core PRIVATE UI_DATA_FROM_LIBDIR="${UI_DATA_FROM_LIBDIR}")

# Installed programs find the installed libraries without a system-wide setting, except in
# the system's own library folders, where a search path is neither needed nor wanted.
list(FIND CMAKE_PLATFORM_IMPLICIT_LINK_DIRECTORIES ${CMAKE_INSTALL_FULL_LIBDIR} system_libdir)
if(system_libdir EQUAL -1)
  file(RELATIVE_PATH lib_from_bin
    ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBDIR})
  set_target_properties(uirun PROPERTIES INSTALL_RPATH "$ORIGIN/${lib_from_bin}")
  set_target_properties(${UI_INSTALLED_LIBRARIES} PROPERTIES INSTALL_RPATH "$ORIGIN")
endif()

# Each library is a component of its own (a Debian package per shared library).
foreach(lib IN LISTS UI_INSTALLED_LIBRARIES)
  install(TARGETS ${lib} EXPORT ${UI_PACKAGE}Targets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib_${lib} NAMELINK_COMPONENT dev
    INCLUDES DESTINATION ${UI_INSTALL_INCLUDEDIR} ${CMAKE_INSTALL_INCLUDEDIR})
endforeach()
install(TARGETS uirun RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)

# Consumers write <corvane/ui/core.h>; the headers themselves say "ui/...", "om/..." and
# "svc/...", which the include/corvane folder of the imported targets resolves.
install(DIRECTORY include/ui include/om include/svc
  DESTINATION ${UI_INSTALL_INCLUDEDIR} COMPONENT dev FILES_MATCHING PATTERN "*.h")

install(DIRECTORY kit/ DESTINATION ${UI_INSTALL_DATADIR}/kit COMPONENT data
  FILES_MATCHING PATTERN "*.yaml")
install(DIRECTORY runtime/ DESTINATION ${UI_INSTALL_DATADIR}/runtime COMPONENT data)
install(FILES examples/gallery.yaml examples/hello.yaml examples/first.yaml examples/dataflow.yaml
  examples/dataflow_types.yaml
  DESTINATION ${UI_INSTALL_DATADIR}/examples COMPONENT tools)
install(DIRECTORY examples/pictures examples/templates
  DESTINATION ${UI_INSTALL_DATADIR}/examples COMPONENT tools)

# The manual page, compressed as Debian wants it.
set(UI_MAN_PAGE ${CMAKE_CURRENT_BINARY_DIR}/uirun.1.gz)
add_custom_command(OUTPUT ${UI_MAN_PAGE}
  COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/uirun.1 > ${UI_MAN_PAGE}
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/uirun.1 VERBATIM)
add_custom_target(uirun_man ALL DEPENDS ${UI_MAN_PAGE})
install(FILES ${UI_MAN_PAGE} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
install(FILES README.md docs/reference.md
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/corvane-ui COMPONENT tools)

# The CMake package: Corvane::ui, Corvane::om, Corvane::svc_core, Corvane::svc_x.
install(EXPORT ${UI_PACKAGE}Targets NAMESPACE Corvane:: DESTINATION ${UI_INSTALL_CMAKEDIR}
  COMPONENT dev)
configure_package_config_file(cmake/${UI_PACKAGE}Config.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/${UI_PACKAGE}Config.cmake
  INSTALL_DESTINATION ${UI_INSTALL_CMAKEDIR}
  PATH_VARS UI_INSTALL_DATADIR)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${UI_PACKAGE}ConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/${UI_PACKAGE}Config.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/${UI_PACKAGE}ConfigVersion.cmake
  cmake/UiFindMotif.cmake
  DESTINATION ${UI_INSTALL_CMAKEDIR} COMPONENT dev)

# pkg-config: corvane-ui. The prefix is found from the file's own folder, so that a prefix
# given to cmake --install holds.
file(RELATIVE_PATH UI_PREFIX_FROM_PCDIR
  ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" UI_PREFIX_FROM_PCDIR "${UI_PREFIX_FROM_PCDIR}")
configure_file(cmake/corvane-ui.pc.in ${CMAKE_CURRENT_BINARY_DIR}/corvane-ui.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/corvane-ui.pc
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)

# The Debian packages, one per component: a package per shared library (named after its
# soname), the kit's data, the tools (uirun, its manual, the examples) and the development
# files (headers, CMake package, pkg-config file). Every package carries its changelog and
# copyright; dpkg-shlibdeps works out what the libraries and uirun need of the system.
set(CPACK_PACKAGE_NAME corvane-ui)
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane developers <ui@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Motif user-interface kit with an interface-file runner")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
# cpack packs what was built; it does not build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(UI_DEB_DIR ${CMAKE_CURRENT_BINARY_DIR}/debian)
string(TIMESTAMP UI_DEB_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
# ui_deb_component(COMPONENT PACKAGE SECTION DEPENDS-ON-COMPONENTS SUMMARY DESCRIPTION)
function(ui_deb_component component package section depends summary description)
  string(TOUPPER ${component} C)
  set(CPACK_DEBIAN_${C}_PACKAGE_NAME ${package} PARENT_SCOPE)
  set(CPACK_DEBIAN_${C}_PACKAGE_SECTION ${section} PARENT_SCOPE)
  set(CPACK_COMPONENT_${C}_DEPENDS ${depends} PARENT_SCOPE)
  set(CPACK_COMPONENT_${C}_DESCRIPTION "${summary}\n${description}" PARENT_SCOPE)
  set(docs ${UI_DEB_DIR}/${package})
  file(MAKE_DIRECTORY ${docs})
  file(WRITE ${docs}/changelog
    "${package} (${PROJECT_VERSION}) unstable; urgency=medium\n\n"
    "  * Packaged from the project's build.\n\n"
    " -- ${CPACK_PACKAGE_CONTACT}  ${UI_DEB_DATE}\n")
  add_custom_command(OUTPUT ${docs}/changelog.gz
    COMMAND gzip -9n -c ${docs}/changelog > ${docs}/changelog.gz
    DEPENDS ${docs}/changelog VERBATIM)
  add_custom_target(deb_changelog_${component} ALL DEPENDS ${docs}/changelog.gz)
  install(FILES ${docs}/changelog.gz ${PROJECT_SOURCE_DIR}/cmake/debian/copyright
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
endfunction()

set(UI_LIB_DESCRIPTION
  " The Corvane user-interface kit gives the objects of an object manager their\n"
  " on-screen form with Motif widgets and keeps the two in step.")
string(CONCAT UI_LIB_DESCRIPTION ${UI_LIB_DESCRIPTION})
ui_deb_component(lib_om libcorvane-om0 libs "lib_svc_core"
  "Corvane UI kit: object manager" "${UI_LIB_DESCRIPTION}\n This package holds the object manager.")
ui_deb_component(lib_svc_core libcorvane-svc-core0 libs ""
  "Corvane UI kit: environment services"
  "${UI_LIB_DESCRIPTION}\n This package holds the services that need no X.")
ui_deb_component(lib_svc_x libcorvane-svc-x0 libs "lib_om;lib_svc_core"
  "Corvane UI kit: X environment services"
  "${UI_LIB_DESCRIPTION}\n This package holds the services that need X.")
ui_deb_component(lib_ui libcorvane-ui0 libs "lib_om;lib_svc_core;lib_svc_x;data"
  "Corvane UI kit: the Motif library" "${UI_LIB_DESCRIPTION}\n This package holds the library.")
ui_deb_component(data corvane-ui-data misc ""
  "Corvane UI kit: templates and runtime files"
  "${UI_LIB_DESCRIPTION}\n This package holds the kit's templates and resource files.")
ui_deb_component(tools corvane-ui x11 "lib_ui"
  "Corvane UI kit: uirun, the interface-file runner"
  "${UI_LIB_DESCRIPTION}\n This package holds uirun, which runs, scripts and pictures\n interface files written in YAML, with its manual and examples.")
ui_deb_component(dev libcorvane-ui-dev libdevel "lib_ui"
  "Corvane UI kit: development files"
  "${UI_LIB_DESCRIPTION}\n This package holds the headers, the CMake package and the\n pkg-config file.")
set(CPACK_DEBIAN_DATA_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_TOOLS_PACKAGE_RECOMMENDS xvfb)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "libmotif-dev, libxt-dev, libx11-dev, libxft-dev, libxext-dev")

# Library packages: a shlibs file for the packages that link them, and the ldconfig trigger
# instead of maintainer scripts that run ldconfig.
file(WRITE ${UI_DEB_DIR}/triggers "activate-noawait ldconfig\n")
foreach(lib IN LISTS UI_INSTALLED_LIBRARIES)
  string(TOUPPER lib_${lib} C)
  string(REPLACE "_" "-" stem "corvane-${lib}")
  set(dir ${UI_DEB_DIR}/lib_${lib})
  file(MAKE_DIRECTORY ${dir})
  file(WRITE ${dir}/shlibs
    "lib${stem} ${PROJECT_VERSION_MAJOR} lib${stem}${PROJECT_VERSION_MAJOR} (>= ${PROJECT_VERSION})\n")
  file(COPY_FILE ${UI_DEB_DIR}/triggers ${dir}/triggers)
  # cpack writes scripts that call ldconfig unless a package brings its own; these do nothing,
  # as the trigger does that work, which the package's lintian overrides say.
  file(WRITE ${dir}/postinst "#!/bin/sh\nset -e\n")
  file(COPY_FILE ${dir}/postinst ${dir}/postrm)
  file(WRITE ${dir}/lib${stem}${PROJECT_VERSION_MAJOR}
    "# The ldconfig trigger refreshes the library cache; the scripts only keep cpack's\n"
    "# ldconfig calls out.\n"
    "maintainer-script-empty [postinst]\nmaintainer-script-empty [postrm]\n")
  install(FILES ${dir}/lib${stem}${PROJECT_VERSION_MAJOR}
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides COMPONENT lib_${lib})
  set(CPACK_DEBIAN_${C}_PACKAGE_CONTROL_EXTRA "${dir}/shlibs;${dir}/triggers;${dir}/postinst;${dir}/postrm")
  set(CPACK_DEBIAN_${C}_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endforeach()
# dpkg-shlibdeps finds the package's own libraries where they were built; which package
# holds them the component dependencies say.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${CMAKE_BINARY_DIR}/om ${CMAKE_BINARY_DIR}/svc ${CMAKE_BINARY_DIR}/motif_ui)
# Packages install into the system's folders, where programs need no search path of their own.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/remove_rpath.cmake)
set(CPACK_COMPONENTS_ALL lib_om lib_svc_core lib_svc_x lib_ui data tools dev)
include(CPack)
