# Runs at install time, when the prefix is final (cmake --install --prefix,
# or the package's /usr): has the build's dusk-desktop-file write the desktop
# file with every "Exec=dusk" line starting the installed program by its
# absolute path, so that launchers find it when <prefix>/bin is not on PATH.
#
# In: DUSK_DESKTOP_WRITER, DUSK_DESKTOP_TEMPLATE, DUSK_DESKTOP_STAGED (a
# scratch copy in the build tree), DUSK_BINDIR and DUSK_DATADIR (as
# GNUInstallDirs gives them).

cmake_path(ABSOLUTE_PATH DUSK_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE OUTPUT_VARIABLE bindir)
execute_process(COMMAND "${DUSK_DESKTOP_WRITER}" "${DUSK_DESKTOP_TEMPLATE}" "${bindir}/dusk" "${DUSK_DESKTOP_STAGED}"
                COMMAND_ERROR_IS_FATAL ANY)
cmake_path(ABSOLUTE_PATH DUSK_DATADIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE OUTPUT_VARIABLE datadir)
file(INSTALL "${DUSK_DESKTOP_STAGED}" DESTINATION "${datadir}/applications")
