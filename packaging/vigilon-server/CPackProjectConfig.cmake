# Read by cpack once for each generator (CPACK_PROJECT_CONFIG_FILE, set in
# Deb.cmake). The archive (TGZ) keeps the settings of cmake/Package.cmake:
# the default install, under vigilon/. The Debian package holds the
# component "server" alone, installed under /usr.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_ALL server)
endif()
