# What the Windows build ships: a staging folder (sonvel.exe and the help
# pages), the portable zip of it, the NSIS installer, and a SHA-256 list of
# the three. Built with the program when makensis and zip are present.
find_program(MAKENSIS makensis)
find_program(ZIP_TOOL zip)
if(NOT MAKENSIS OR NOT ZIP_TOOL)
  message(STATUS "makensis or zip not found: no installer or portable zip")
  return()
endif()

set(SONVEL_VERSION 1.0.4.0)
set(STAGE ${CMAKE_BINARY_DIR}/stage)
set(DIST ${CMAKE_BINARY_DIR}/dist)
set(SETUP ${DIST}/sonvel-${SONVEL_VERSION}-setup.exe)
set(PORTABLE ${DIST}/sonvel-${SONVEL_VERSION}-portable.zip)
file(GLOB HELP_PAGES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/help/*.html)

add_custom_command(
  OUTPUT ${SETUP} ${PORTABLE} ${DIST}/SHA256SUMS
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${STAGE} ${DIST}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${STAGE} ${DIST}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:sonvel> ${STAGE}/sonvel.exe
  COMMAND ${CMAKE_COMMAND} -E copy ${HELP_PAGES} ${STAGE}/
  COMMAND ${MAKENSIS} -V2 -DSTAGE=${STAGE} -DOUTFILE=${SETUP} -DVERSION=${SONVEL_VERSION}
          ${CMAKE_SOURCE_DIR}/installer/sonvel.nsi
  COMMAND ${CMAKE_COMMAND} -E chdir ${STAGE} ${ZIP_TOOL} -q -r -X ${PORTABLE} .
  COMMAND sh -c "cd '${DIST}' && sha256sum *.exe *.zip > SHA256SUMS && cd '${STAGE}' && sha256sum sonvel.exe *.html >> '${DIST}/SHA256SUMS'"
  DEPENDS sonvel ${HELP_PAGES} ${CMAKE_SOURCE_DIR}/installer/sonvel.nsi
  COMMENT "Installer, portable zip and SHA-256 list"
  VERBATIM)
add_custom_target(package_sonvel ALL DEPENDS ${SETUP} ${PORTABLE} ${DIST}/SHA256SUMS)
