# The server's install component "server", as the Debian package
# vigilon-server holds it under the prefix /usr: the program in bin/ and its
# systemd unit (packaging/vigilon-server/). Within the whole project it is
# left out of the default install, the monitor's folder and its archive:
# cmake --install <build> --component server --prefix /usr installs it.
if(CMAKE_SOURCE_DIR STREQUAL CMAKE_CURRENT_SOURCE_DIR)
  set(VIGILON_SERVER_INSTALL_SCOPE "")
else()
  set(VIGILON_SERVER_INSTALL_SCOPE EXCLUDE_FROM_ALL)
endif()
install(TARGETS vigilon_server RUNTIME DESTINATION bin COMPONENT server
        ${VIGILON_SERVER_INSTALL_SCOPE})
install(FILES ${VIGILON_ROOT_DIR}/packaging/vigilon-server/vigilon-server.service
        DESTINATION lib/systemd/system COMPONENT server ${VIGILON_SERVER_INSTALL_SCOPE})
