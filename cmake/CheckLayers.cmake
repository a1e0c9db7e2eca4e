# Fails when a source file includes a header of a folder its layer may not
# use. Layers, lowest first; each may use the ones it names.
#   cmake -DSOURCE_DIR=<tree> -P CheckLayers.cmake
cmake_minimum_required(VERSION 3.25)
set(allowed_store store)
set(allowed_platform platform)
set(allowed_framework framework platform)
set(allowed_splitview splitview framework platform)
set(allowed_app app splitview framework platform store)
set(allowed_windows windows app splitview framework platform store)
set(allowed_program program windows app splitview framework platform store)
# The word, stroke and image converters write their files with the store's
# own writers (the image's by loading the text with the store's loader).
set(allowed_tools tools store/words.h store/strokes.h store/dictionary.h store/image.h)
# The command-line client shares only the D-Bus names with the program.
set(allowed_client client app/servicenames.h)
# The speech helper shares only its protocol with the program.
set(allowed_speech speech app/speechprotocol.h)
# Tests, fuzz targets and benchmarks: a test of a lower layer uses only what
# that layer may use, and the test helpers; the rest use any layer.
set(product store platform framework splitview app windows program tools client speech)
set(allowed_tests/store ${allowed_store} tests/common)
set(allowed_tests/platform ${allowed_platform} tests/common)
set(allowed_tests/splitview ${allowed_splitview} tests/common)
set(allowed_tests/tools ${allowed_tools} store)
set(allowed_tests/common platform tests/common)
set(allowed_tests ${product} tests fuzz)
set(allowed_fuzz ${product} fuzz tests/common)
set(allowed_bench ${product} bench)

set(faults 0)
function(fault name text)
  message("${name} includes ${text}")
  math(EXPR f "${faults} + 1")
  set(faults ${f} PARENT_SCOPE)
endfunction()

foreach(layer ${product} tests fuzz bench)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.h)
  foreach(source ${sources})
    file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
    # tests/<folder>/ has rules of its own when it tests a lower layer.
    set(rules ${layer})
    if(layer STREQUAL "tests" AND name MATCHES "^tests/([^/]+)/")
      if(DEFINED allowed_tests/${CMAKE_MATCH_1})
        set(rules tests/${CMAKE_MATCH_1})
      endif()
    endif()
    # A window's folder uses the headers of windows/ itself and its own,
    # never another window's folder.
    set(window "")
    if(name MATCHES "^windows/([^/]+)/")
      set(window ${CMAKE_MATCH_1})
    endif()
    file(STRINGS ${source} includes REGEX "^#include \"[^\"]+\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      string(REGEX REPLACE "/.*" "" folder "${header}")
      get_filename_component(own ${name} DIRECTORY)
      if(header STREQUAL folder OR header MATCHES "^${own}/[^/]+$")
        continue() # a header beside the file
      endif()
      string(REGEX MATCH "^[^/]+/[^/]+" subfolder "${header}")
      if(NOT folder IN_LIST allowed_${rules} AND NOT header IN_LIST allowed_${rules}
         AND NOT subfolder IN_LIST allowed_${rules})
        fault(${name} "${header}: ${rules}/ may not use ${folder}/")
      elseif(window AND header MATCHES "^windows/([^/]+)/" AND NOT CMAKE_MATCH_1 STREQUAL window)
        fault(${name} "${header}: windows/${window}/ may not use windows/${CMAKE_MATCH_1}/; go through windows/navigation.h")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} includes against the layers")
endif()
