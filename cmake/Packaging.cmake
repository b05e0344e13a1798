# The Debian package (scripts/package): the programs, the libraries, the manual pages,
# the udev rule, the systemd units and the user guide, installed below /usr; the
# dependencies are read off the shared libraries the binaries link (dpkg-shlibdeps).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "velmar")
set(CPACK_PACKAGE_CONTACT "velmar developers <velmar@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "USB camera driver, viewers, snapshot tools and camera servers")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "The velmar camera system: the driver for USB cameras of the 0x0AC8 controller family,\n"
  "the viewers vistro and orbelo, the snapshot tool tessly, the TCP camera server and the\n"
  "recorder camrec, and an emulated camera for trying it all without hardware.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CPACK_PACKAGING_INSTALL_PREFIX}/${VELMAR_INSTALL_LIBDIR})
include(CPack)
