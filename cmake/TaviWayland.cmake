# Wayland protocol code, made at build time by wayland-scanner from the
# protocol's XML: tavi_wayland_protocol(<target> <xml> [SOURCES <file>...])
# adds the client header and the interface tables to <target>, and
# libwayland-client. With SOURCES, only those files see the header (the
# other files' compile lines stay as they were, and so their cached objects).
find_package(PkgConfig REQUIRED)
pkg_check_modules(WAYLAND_CLIENT REQUIRED IMPORTED_TARGET wayland-client)
pkg_get_variable(WAYLAND_PROTOCOLS_DIR wayland-protocols pkgdatadir)
find_program(WAYLAND_SCANNER wayland-scanner REQUIRED)

function(tavi_wayland_protocol target xml)
  cmake_parse_arguments(ARG "" "" "SOURCES" ${ARGN})
  get_filename_component(name ${xml} NAME_WE)
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/wayland-${target})
  add_custom_command(OUTPUT ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c
    COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
    COMMAND ${WAYLAND_SCANNER} client-header ${xml} ${dir}/${name}-client-protocol.h
    COMMAND ${WAYLAND_SCANNER} private-code ${xml} ${dir}/${name}-protocol.c
    DEPENDS ${xml} VERBATIM)
  target_sources(${target} PRIVATE ${dir}/${name}-client-protocol.h ${dir}/${name}-protocol.c)
  if(ARG_SOURCES)
    set_property(SOURCE ${ARG_SOURCES} TARGET_DIRECTORY ${target} APPEND PROPERTY
      INCLUDE_DIRECTORIES ${dir})
  else()
    target_include_directories(${target} PRIVATE ${dir})
  endif()
  target_link_libraries(${target} PUBLIC PkgConfig::WAYLAND_CLIENT)
endfunction()
