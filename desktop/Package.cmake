# The Debian package: `cpack -G DEB` in the build folder packs what `cmake --install` installs.
set(FROSTWIPE_PACKAGE_MAINTAINER "Frostwipe maintainers <maintainers@frostwipe.invalid>"
    CACHE STRING "The Maintainer field of the Debian package: Name <address>")

set(CPACK_PACKAGE_NAME "frostwipe")
set(CPACK_PACKAGE_VENDOR "Frostwipe")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "game: wave at the webcam to wipe the ice off a window")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A frozen window, a summer day behind it, and a webcam: wherever the camera sees motion the "
    "ice is wiped away and the summer picture shows through, while the frost slowly creeps back. "
    "Made for children and families; no mouse or keyboard is needed during play, and the game "
    "starts without a webcam too.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FROSTWIPE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Depends comes from the libraries the program and its private libraries link (dpkg-shlibdeps),
# which must be told where the private ones are.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${CMAKE_BINARY_DIR}/platform/com" "${CMAKE_BINARY_DIR}/platform/toolkit")
include(CPack)
