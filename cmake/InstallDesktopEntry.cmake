# Runs at install time, when the prefix is final (cmake --install --prefix,
# or the package's /usr): writes the desktop file with every "Exec=dusk" line
# starting the installed program by its absolute path, so that launchers
# find it when <prefix>/bin is not on PATH.
#
# In: DUSK_DESKTOP_TEMPLATE, DUSK_DESKTOP_STAGED (a scratch copy in the build
# tree), DUSK_BINDIR and DUSK_DATADIR (as GNUInstallDirs gives them).

cmake_path(ABSOLUTE_PATH DUSK_BINDIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE OUTPUT_VARIABLE bindir)
set(program "${bindir}/dusk")

# Quoted by the Desktop Entry rules: inside double quotes, a backslash before
# " ` $ and \, and the key file's own escape doubles every backslash once more.
if(program MATCHES "[\n\t\r]")
  message(FATAL_ERROR "A desktop file cannot start a program whose path holds a control character: ${program}")
elseif(program MATCHES "[^A-Za-z0-9/._+=,:@-]")
  string(REPLACE "\\" "\\\\" quoted "${program}")
  string(REGEX REPLACE "([\"`$])" "\\\\\\1" quoted "${quoted}")
  string(REPLACE "\\" "\\\\" quoted "${quoted}")
  set(quoted "\"${quoted}\"")
else()
  set(quoted "${program}")
endif()
string(REPLACE "%" "%%" quoted "${quoted}")

file(READ "${DUSK_DESKTOP_TEMPLATE}" entry)
if(NOT entry MATCHES "(^|\n)Exec=dusk( |\n|$)")
  message(FATAL_ERROR "${DUSK_DESKTOP_TEMPLATE} has no Exec=dusk line to point at ${program}")
endif()
# Every Exec line that starts dusk, the main one and each action's, keeps
# its arguments. A replacement string reads backslashes as escapes.
string(REPLACE "\\" "\\\\" replacement "${quoted}")
string(REGEX REPLACE "(^|\n)Exec=dusk( |\n|$)" "\\1Exec=${replacement}\\2" rewritten "${entry}")
file(WRITE "${DUSK_DESKTOP_STAGED}" "${rewritten}")

cmake_path(ABSOLUTE_PATH DUSK_DATADIR BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}" NORMALIZE OUTPUT_VARIABLE datadir)
file(INSTALL "${DUSK_DESKTOP_STAGED}" DESTINATION "${datadir}/applications")
