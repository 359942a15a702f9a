# Release archives (cpack in a build directory): one folder vigilon/ holding
# the two programs, the starter database and README.txt, which the user puts
# inside the client's folder. A zip for Windows, a tar.gz for Linux, and on
# Linux the server's Debian package (packaging/vigilon-server/Deb.cmake).

# The user's README, with the line ends of the platform it is read on.
if(WIN32)
  set(VIGILON_README_NEWLINES CRLF)
  set(VIGILON_SLASH "\\")
else()
  set(VIGILON_README_NEWLINES UNIX)
  set(VIGILON_SLASH /)
endif()
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/packaging/README.txt.in
               ${CMAKE_CURRENT_BINARY_DIR}/packaging/README.txt
               @ONLY NEWLINE_STYLE ${VIGILON_README_NEWLINES})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/README.txt DESTINATION .)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  # The 32-bit build is the Windows release; a 64-bit one is named as such.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(VIGILON_PACKAGE_SYSTEM windows-x86_64)
  else()
    set(VIGILON_PACKAGE_SYSTEM windows)
  endif()
else()
  set(CPACK_GENERATOR TGZ)
  string(TOLOWER "linux-${CMAKE_SYSTEM_PROCESSOR}" VIGILON_PACKAGE_SYSTEM)
  # With the server, its Debian package vigilon-server too.
  if(VIGILON_SERVER)
    include(${CMAKE_CURRENT_SOURCE_DIR}/packaging/vigilon-server/Deb.cmake)
  endif()
endif()

set(CPACK_PACKAGE_NAME vigilon)
set(CPACK_PACKAGE_VENDOR Vigilon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME vigilon-${PROJECT_VERSION}-${VIGILON_PACKAGE_SYSTEM})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/packages)
# The archive's one folder is vigilon/, not the archive's own name: the
# install rules put everything at the prefix's root, and the prefix inside
# the archive is that folder.
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX /vigilon)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_VERBATIM_VARIABLES ON)
include(CPack)
