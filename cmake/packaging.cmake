# The Debian package (`cpack -G DEB` in the build directory): the files that
# `cmake --install` puts in place, under /usr, as printzone_<version>_<arch>.deb.
set(CPACK_PACKAGE_NAME printzone)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "printzone developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "plot files from the printout file of a grid-based simulator")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The package's dependencies (libc; a Release build links the C++ runtime
# in) are read from the program by
# dpkg-shlibdeps, which works from the local package database; without it
# the package declares none.
find_program(PRINTZONE_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(PRINTZONE_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
