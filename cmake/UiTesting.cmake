# The test bench: GoogleTest binaries discovered by CTest, labelled "unit" (no display) or
# "x11" (the shared Xvfb that the xvfb fixture starts and stops).
include(GoogleTest)
find_package(GTest REQUIRED)

set(UI_XVFB_DIR ${CMAKE_BINARY_DIR}/xvfb)
add_test(NAME xvfb_start COMMAND sh ${PROJECT_SOURCE_DIR}/tests/support/xvfb start ${UI_XVFB_DIR})
set_tests_properties(xvfb_start PROPERTIES FIXTURES_SETUP xvfb LABELS x11)
add_test(NAME xvfb_stop COMMAND sh ${PROJECT_SOURCE_DIR}/tests/support/xvfb stop ${UI_XVFB_DIR})
set_tests_properties(xvfb_stop PROPERTIES FIXTURES_CLEANUP xvfb LABELS x11)

# add_ui_test(NAME LABEL unit|x11|soak SOURCES ... LIBS ...); soak tests use the server as x11
# ones do.
function(add_ui_test name)
  cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  set(on_server FALSE)
  if(T_LABEL STREQUAL "x11" OR T_LABEL STREQUAL "soak")
    set(on_server TRUE)
  endif()
  if(on_server)
    ui_motif_program(${name})
  endif()
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  ui_target_defaults(${name})
  set(props LABELS ${T_LABEL} ENVIRONMENT LANG=C.UTF-8 TIMEOUT 120)
  if(on_server)
    target_link_libraries(${name} PRIVATE ui_test_x11)
    # Tests that move the pointer must not run side by side on the one server.
    list(APPEND props FIXTURES_REQUIRED xvfb RESOURCE_LOCK x11_input)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST PROPERTIES ${props})
endfunction()
