# Install-time script: writes the desktop entry and the D-Bus service file
# with the full paths of the installed programs, which are known only once
# the prefix of `cmake --install --prefix` is. Set before it runs:
# TAVI_DESKTOP_TEMPLATES (folder of the .in files), TAVI_DESKTOP_WORK (a
# folder of the build tree), TAVI_BINDIR and TAVI_DATADIR (relative or
# absolute, as GNUInstallDirs gives them).

# One Exec argument of a desktop entry. An argument with a reserved character
# is quoted in double quotes, inside which " ` $ and \ take a backslash; the
# value as a whole then escapes each backslash once more, and % is doubled
# because it starts a field code.
function(tavi_desktop_exec_argument path out)
  set(arg "${path}")
  if(arg MATCHES "[ \t\"'\\\\><~|&;$*?#()`]")
    string(REGEX REPLACE "([\"`$\\\\])" "\\\\\\1" arg "${arg}")
    set(arg "\"${arg}\"")
  endif()
  string(REPLACE "\\" "\\\\" arg "${arg}")
  string(REPLACE "%" "%%" arg "${arg}")
  set(${out} "${arg}" PARENT_SCOPE)
endfunction()

# One Exec argument of a D-Bus service file, which the bus splits with the
# shell's rules: single quotes keep everything but a single quote, which is
# closed, escaped and reopened. The file's own format, like a desktop
# entry's, then takes each backslash doubled; it refuses a lone one.
function(tavi_dbus_exec_argument path out)
  set(arg "${path}")
  if(NOT arg MATCHES "^[A-Za-z0-9_./+:,@=-]+$")
    string(REPLACE "'" "'\\''" arg "${arg}")
    set(arg "'${arg}'")
  endif()
  string(REPLACE "\\" "\\\\" arg "${arg}")
  set(${out} "${arg}" PARENT_SCOPE)
endfunction()

if(IS_ABSOLUTE "${TAVI_BINDIR}")
  set(_bindir "${TAVI_BINDIR}")
else()
  set(_bindir "${CMAKE_INSTALL_PREFIX}/${TAVI_BINDIR}")
endif()
# Neither file can hold a line break inside a value.
if(_bindir MATCHES "[\n\r]")
  message(FATAL_ERROR "The install prefix holds a line break; the desktop entry and the "
                      "D-Bus service file cannot name a program there.")
endif()

tavi_desktop_exec_argument("${_bindir}/tavi" TAVI_DESKTOP_EXEC_TAVI)
tavi_desktop_exec_argument("${_bindir}/tavi-service" TAVI_DESKTOP_EXEC_SERVICE)
tavi_dbus_exec_argument("${_bindir}/tavi" TAVI_DBUS_EXEC_TAVI)

configure_file("${TAVI_DESKTOP_TEMPLATES}/com.Quillon.Tavi.desktop.in"
               "${TAVI_DESKTOP_WORK}/com.Quillon.Tavi.desktop" @ONLY)
configure_file("${TAVI_DESKTOP_TEMPLATES}/com.Quillon.Tavi.service.in"
               "${TAVI_DESKTOP_WORK}/com.Quillon.Tavi.service" @ONLY)
if(IS_ABSOLUTE "${TAVI_DATADIR}")
  set(_datadir "${TAVI_DATADIR}")
else()
  set(_datadir "${CMAKE_INSTALL_PREFIX}/${TAVI_DATADIR}")
endif()
file(INSTALL "${TAVI_DESKTOP_WORK}/com.Quillon.Tavi.desktop" DESTINATION "${_datadir}/applications")
file(INSTALL "${TAVI_DESKTOP_WORK}/com.Quillon.Tavi.service"
     DESTINATION "${_datadir}/dbus-1/services")
