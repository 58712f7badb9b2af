# dusk.exe for Windows: a program of the GUI subsystem with Dusk's icon and
# manifest, and what users install: a portable zip and an NSIS installer.

set(DUSK_WINDOWS_ICON ${PROJECT_BINARY_DIR}/Dusk.ico)
add_custom_command(OUTPUT ${DUSK_WINDOWS_ICON}
  COMMAND ${CMAKE_COMMAND} -DSVG=${PROJECT_SOURCE_DIR}/Resources/icons/app.dusk.Dusk.svg -DICO=${DUSK_WINDOWS_ICON}
          -P ${PROJECT_SOURCE_DIR}/Platform/Windows/AppIcon.cmake
  DEPENDS Resources/icons/app.dusk.Dusk.svg Platform/Windows/AppIcon.cmake cmake/CheckedRun.cmake
  COMMENT "Drawing Dusk.ico"
  VERBATIM)
configure_file(Platform/Windows/Dusk.rc.in ${PROJECT_BINARY_DIR}/Dusk.rc @ONLY)
target_sources(dusk PRIVATE ${PROJECT_BINARY_DIR}/Dusk.rc)
set_source_files_properties(${PROJECT_BINARY_DIR}/Dusk.rc PROPERTIES
  OBJECT_DEPENDS "${DUSK_WINDOWS_ICON};${PROJECT_SOURCE_DIR}/Platform/Windows/dusk.manifest")
set_target_properties(dusk PROPERTIES WIN32_EXECUTABLE TRUE)
# The core's main() is the entry point under MSVC too; MinGW finds it itself.
if(MSVC)
  target_link_options(dusk PRIVATE /ENTRY:mainCRTStartup)
endif()

# The portable zip: dusk.exe and its licence, to run from any folder.
set(dusk_zip ${PROJECT_BINARY_DIR}/Dusk-${PROJECT_VERSION}-windows-x64.zip)
add_custom_command(OUTPUT ${dusk_zip}
  COMMAND ${CMAKE_COMMAND} -E make_directory zip-contents
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:dusk> ${PROJECT_SOURCE_DIR}/LICENSE zip-contents
  COMMAND ${CMAKE_COMMAND} -E chdir zip-contents ${CMAKE_COMMAND} -E tar cf ${dusk_zip} --format=zip dusk.exe LICENSE
  DEPENDS dusk LICENSE
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  COMMENT "Packing ${dusk_zip}"
  VERBATIM)
add_custom_target(dusk_zip ALL DEPENDS ${dusk_zip})

# The installer, where NSIS is there to build it.
find_program(DUSK_MAKENSIS makensis)
if(DUSK_MAKENSIS)
  set(dusk_installer ${PROJECT_BINARY_DIR}/Dusk-${PROJECT_VERSION}-windows-x64-setup.exe)
  add_custom_command(OUTPUT ${dusk_installer}
    COMMAND ${DUSK_MAKENSIS} -V2 -DVERSION=${PROJECT_VERSION} -DEXE=$<TARGET_FILE:dusk> -DICON=${DUSK_WINDOWS_ICON}
            -DLICENSE=${PROJECT_SOURCE_DIR}/LICENSE -DOUTFILE=${dusk_installer}
            ${PROJECT_SOURCE_DIR}/Platform/Windows/installer.nsi
    DEPENDS dusk ${DUSK_WINDOWS_ICON} ${PROJECT_SOURCE_DIR}/Platform/Windows/installer.nsi ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Building ${dusk_installer}"
    VERBATIM)
  add_custom_target(dusk_installer ALL DEPENDS ${dusk_installer})
endif()
