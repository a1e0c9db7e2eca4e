# Starts a test program in a fresh, empty HOME.
file(REMOVE_RECURSE ${HOME})
file(MAKE_DIRECTORY ${HOME}/.local/share ${HOME}/.config ${HOME}/.cache ${HOME}/runtime)
file(CHMOD ${HOME}/runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
execute_process(COMMAND ${PROG} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "${PROG} failed: ${rc}")
endif()
