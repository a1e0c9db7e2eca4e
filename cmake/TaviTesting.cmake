# Every test runs on the offscreen platform with a private HOME and XDG
# folders, so no test touches the user's files or needs a display.
set(TAVI_TEST_HOME ${CMAKE_BINARY_DIR}/test-home)

# tavi_add_qtest(tst_<folder>_<what> <source...> LINK <libs...>
#                [LABELS <label...>] [NEEDS <target...>])
# Test programs are named tst_<folder>_<what>, built from tst_<what>.cpp.
# LABELS marks what a test needs beyond the build tree, so a package build
# can skip it (`ctest -LE "x11|dbus"`):
#   dbus     starts a private dbus-daemon
#   x11      starts Xvfb (and a window manager)
#   wayland  starts a headless sway as an unprivileged user
#   network  opens sockets, on the loopback interface only
# NEEDS names the programs and data the test runs or reads.
function(tavi_add_qtest name)
  cmake_parse_arguments(ARG "" "" "LINK;LABELS;NEEDS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LINK} tavi_strict)
  target_compile_definitions(${name} PRIVATE
    TAVI_FIXTURES_DIR="${CMAKE_SOURCE_DIR}/tests/fixtures"
    TAVI_BUILD_SHARE_DIR="${TAVI_BUILD_SHARE_DIR}"
    TAVI_BUILD_BIN_DIR="${TAVI_BUILD_BIN_DIR}")
  if(ARG_NEEDS)
    add_dependencies(${name} ${ARG_NEEDS})
  endif()
  set(home ${TAVI_TEST_HOME}/${name})
  add_test(NAME ${name}
    COMMAND ${CMAKE_COMMAND} -E env
      QT_QPA_PLATFORM=offscreen
      HOME=${home}
      XDG_DATA_HOME=${home}/.local/share
      XDG_CONFIG_HOME=${home}/.config
      XDG_CACHE_HOME=${home}/.cache
      XDG_RUNTIME_DIR=${home}/runtime
      --unset=DBUS_SESSION_BUS_ADDRESS
      ${CMAKE_COMMAND} -DHOME=${home} -DPROG=$<TARGET_FILE:${name}> -P ${CMAKE_SOURCE_DIR}/cmake/RunTest.cmake)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()
