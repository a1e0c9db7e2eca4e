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
# The word and stroke converters write their files with the store's own writers.
set(allowed_tools tools store/words.h store/strokes.h)
# The command-line client shares only the D-Bus names with the program.
set(allowed_client client app/servicenames.h)
# The speech helper shares only its protocol with the program.
set(allowed_speech speech app/speechprotocol.h)

set(faults 0)
foreach(layer store platform framework splitview app windows program tools client speech)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${layer}/*.cpp ${SOURCE_DIR}/${layer}/*.h)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include \"[^\"]+\"")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      string(REGEX REPLACE "/.*" "" folder "${header}")
      if(header STREQUAL folder)
        continue() # a header beside the file
      endif()
      if(NOT folder IN_LIST allowed_${layer} AND NOT header IN_LIST allowed_${layer})
        file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
        message("${name} includes ${header}: ${layer}/ may not use ${folder}/")
        math(EXPR faults "${faults} + 1")
      endif()
    endforeach()
  endforeach()
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "${faults} includes against the layers")
endif()
