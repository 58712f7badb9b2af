# Dusk installed on Linux: the program, its desktop file, its icons and its
# AppStream metadata; and the .deb built from the same rules by CPack.

include(GNUInstallDirs)

set(DUSK_HOMEPAGE "https://dusk.app" CACHE STRING "Dusk's web site, named in the package and its metadata")
set(DUSK_MAINTAINER "The Dusk authors <hello@dusk.app>")
# The day this version was released, for the metadata and the changelog.
set(DUSK_RELEASE_DATE "2026-12-07")
execute_process(COMMAND date --utc --rfc-email --date "${DUSK_RELEASE_DATE} 12:00" OUTPUT_VARIABLE DUSK_RELEASE_DAY
                OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)

install(TARGETS dusk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The prefix is known only at install time (cmake --install --prefix).
install(CODE "
  set(DUSK_DESKTOP_WRITER \"$<TARGET_FILE:dusk-desktop-file>\")
  set(DUSK_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/Resources/app.dusk.Dusk.desktop\")
  file(MAKE_DIRECTORY \"${PROJECT_BINARY_DIR}/install\")
  set(DUSK_DESKTOP_STAGED \"${PROJECT_BINARY_DIR}/install/app.dusk.Dusk.desktop\")
  set(DUSK_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(DUSK_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
  include(\"${PROJECT_SOURCE_DIR}/cmake/InstallDesktopEntry.cmake\")")

install(FILES Resources/icons/dusk-sun-symbolic.svg Resources/icons/dusk-moon-symbolic.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/symbolic/apps)
install(FILES Resources/icons/app.dusk.Dusk.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# The manual page, compressed as Debian's policy wants it.
configure_file(Resources/dusk.1 ${PROJECT_BINARY_DIR}/manual/dusk.1 @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/manual/dusk.1.gz
                   COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/manual/dusk.1
                   DEPENDS ${PROJECT_BINARY_DIR}/manual/dusk.1 VERBATIM)
add_custom_target(dusk_manual ALL DEPENDS ${PROJECT_BINARY_DIR}/manual/dusk.1.gz)
install(FILES ${PROJECT_BINARY_DIR}/manual/dusk.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

configure_file(Resources/app.dusk.Dusk.metainfo.xml ${PROJECT_BINARY_DIR}/app.dusk.Dusk.metainfo.xml @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/app.dusk.Dusk.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# --- the .deb --------------------------------------------------------------

# The licence and a changelog, where Debian looks for them.
configure_file(cmake/copyright.in ${PROJECT_BINARY_DIR}/package/copyright @ONLY)
configure_file(cmake/changelog.in ${PROJECT_BINARY_DIR}/package/changelog @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/package/changelog.gz
                   COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/package/changelog
                   DEPENDS ${PROJECT_BINARY_DIR}/package/changelog VERBATIM)
add_custom_target(dusk_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/package/changelog.gz)
install(FILES ${PROJECT_BINARY_DIR}/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/dusk)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME dusk)
set(CPACK_PACKAGE_CONTACT "${DUSK_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tray utility that switches the desktop between Light and Dark")
set(CPACK_PACKAGE_DESCRIPTION
    "Dusk puts a sun or a moon in the system tray that shows whether the desktop is\n"
    "Light or Dark. Its menu and a global shortcut (Ctrl-Alt-Super-D until you\n"
    "record another one) switch GNOME's colour scheme, or KDE Plasma's Breeze\n"
    "colour scheme, between the two.")
list(JOIN CPACK_PACKAGE_DESCRIPTION "" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_PACKAGE_HOMEPAGE_URL "${DUSK_HOMEPAGE}")
# CPack installs into its staging directory through DESTDIR, so install
# scripts see the final prefix and the desktop file names /usr/bin/dusk.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The libraries Dusk links come from dpkg-shlibdeps, and with libqt6gui6
# Qt's X11 platform; GLib's package also holds GIO, which Dusk opens by name
# the first time it needs GSettings. What the toggle needs beyond those is
# named here: dconf's client library, which Dusk opens by name to write
# GNOME's setting; dconf's backend, without which GSettings keeps the setting
# in memory only and nothing on the desktop changes; and GNOME's schemas,
# which hold the setting. What Qt loads by name at run time, and Dusk does
# without, is recommended: libXcursor, which Qt's X11 platform loads for the
# cursor theme, and Qt's Wayland platform. test_package.py checks every
# library Dusk loads against these.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libdconf1, dconf-gsettings-backend, gsettings-desktop-schemas")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libxcursor1, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-desktop-portal")
include(CPack)
