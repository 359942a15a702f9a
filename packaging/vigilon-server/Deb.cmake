# The server's Debian package vigilon-server_<version>_<arch>.deb, made by
# the same cpack run as the Linux archive (cmake/Package.cmake includes this
# file when the server is built). It holds the install component "server"
# (server/cmake/Install.cmake): /usr/bin/vigilon_server and the systemd unit
# vigilon-server.service; postinst makes the user, the state directory and
# the token. The archive keeps its own contents: the component is excluded
# from the default install, and CPackProjectConfig.cmake gives the DEB run
# its own prefix and component.
list(APPEND CPACK_GENERATOR DEB)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/CPackProjectConfig.cmake)

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME vigilon-server)
set(CPACK_DEBIAN_SERVER_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vigilon Developer <dev@vigilon.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_SERVER_DESCRIPTION
    "Vigilon companion server with a web dashboard\n\
The server the Vigilon monitors of Folding@home machines report to: it takes\n\
their status records on TCP port 25876, shows the machines on a web dashboard\n\
(http://127.0.0.1:8080/), keeps the finished units in SQLite and sends the\n\
monitors commands. Runs as the systemd service vigilon-server.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/postinst ${CMAKE_CURRENT_LIST_DIR}/prerm
    ${CMAKE_CURRENT_LIST_DIR}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# The shared libraries the program links, as dpkg-shlibdeps finds them;
# without it (not on Debian) the same list by name, as on Debian 12.
# postinst needs useradd and groupadd (passwd).
find_program(VIGILON_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(VIGILON_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
      "libc6, libstdc++6, libgcc-s1, libsqlite3-0, libcpp-httplib0.11, passwd")
endif()
