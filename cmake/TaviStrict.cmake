# One interface target carries the compile settings every target of ours uses.
add_library(tavi_strict INTERFACE)
target_compile_options(tavi_strict INTERFACE -Wall -Wextra)
target_compile_definitions(tavi_strict INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CONTEXTLESS_CONNECT
  QT_NO_FOREACH)
if(TAVI_SANITIZE)
  target_compile_options(tavi_strict INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tavi_strict INTERFACE -fsanitize=address,undefined)
endif()

# Adds a static library of a folder's sources, listed explicitly.
function(tavi_layer_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINK" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${ARG_LINK} PRIVATE tavi_strict)
endfunction()
