# The Debian package: `cpack -G DEB` in the build folder, after the build,
# makes tavi_<version>_<arch>.deb of the installed tree under /usr.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tavi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Staged with DESTDIR, so that the install scripts see the prefix /usr: the
# desktop entry and the service file name /usr/bin/tavi, and nothing is
# recorded for the uninstall target.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "${TAVI_MAINTAINER}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TAVI_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link, found by dpkg-shlibdeps; beside
# them what Qt and the program load at run time: the platform plugins (no
# window shows without them), the faces the characters are drawn in and
# the speech voices.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-noto-cjk, espeak-ng-data")
# The session bus starts Tavi for tavi-service and the desktop's actions;
# the two further faces cover the rarest characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
  "default-dbus-session-bus | dbus-session-bus, fonts-babelstone-han, fonts-hanazono")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dictionary of Chinese characters")
set(CPACK_PACKAGE_DESCRIPTION "Tavi lists every character of the Unicode Han Database with its readings
(pinyin, Cantonese, Japanese, Korean, Vietnamese), definitions, radicals,
strokes and variants. The list can be searched, sorted, filtered and
edited; the edits are kept in a user dictionary.

A small floating window shows one character large with its reading and
definition and keeps a history of quick look-ups, which can be exported
as flashcards. Other programs, scripts and keyboard shortcuts look up
selected text through desktop services and the tavi-service command.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
