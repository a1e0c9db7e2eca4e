# Uninstall. `cmake --install` writes install_manifest.txt anew for every
# install and records none of the folders it makes, so each install of this
# build also records, per prefix in install-records/, the files it put there
# and the folders it had to make. The uninstall target removes every recorded
# install; `cmake -D PREFIX=<prefix> -P <build>/cmake_uninstall.cmake` only
# the one in that prefix. Staged installs (DESTDIR, as for packages) are not
# recorded: nothing of them stays on this machine.

set(TAVI_INSTALL_RECORDS ${CMAKE_BINARY_DIR}/install-records)

# Every folder the install rules put files in, relative to the prefix (or
# absolute): the folders among them and their parents that do not exist yet
# are the ones the install makes.
set(TAVI_INSTALL_FOLDERS
  ${CMAKE_INSTALL_BINDIR}
  ${CMAKE_INSTALL_LIBEXECDIR}/tavi
  ${CMAKE_INSTALL_DATADIR}/tavi/Tavi
  ${CMAKE_INSTALL_DATADIR}/applications
  ${CMAKE_INSTALL_DATADIR}/dbus-1/services
  ${CMAKE_INSTALL_DATADIR}/icons/hicolor/256x256/apps
  ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  ${CMAKE_INSTALL_DATADIR}/metainfo
  ${CMAKE_INSTALL_MANDIR}/man1
  ${TAVI_INSTALL_DOCDIR})

function(tavi_record_install_begin)
  install(CODE "set(TAVI_INSTALL_FOLDERS \"${TAVI_INSTALL_FOLDERS}\")
                set(TAVI_RECORD_STEP begin)")
  install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/RecordInstall.cmake)
endfunction()

function(tavi_record_install_end)
  install(CODE "set(TAVI_INSTALL_RECORDS \"${TAVI_INSTALL_RECORDS}\")
                set(TAVI_RECORD_STEP end)")
  install(SCRIPT ${PROJECT_SOURCE_DIR}/cmake/RecordInstall.cmake)
endfunction()

file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake CONTENT
  "set(RECORDS \"${TAVI_INSTALL_RECORDS}\")\ninclude(\"${PROJECT_SOURCE_DIR}/cmake/Uninstall.cmake\")\n")
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake
  COMMENT "Removing every install of this build"
  VERBATIM)
