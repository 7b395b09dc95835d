# The Debian package: `cpack -G DEB` in the build folder packs what `cmake --install` installs.
# FROSTWIPE_PACKAGE_MAINTAINER (the Maintainer field) is declared in desktop/CMakeLists.txt,
# whose changelog names it too.

set(CPACK_PACKAGE_NAME "frostwipe")
set(CPACK_PACKAGE_VENDOR "Frostwipe")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "game: wave at the webcam to wipe the ice off a window")
# Lines of the extended description stay under 80 characters.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "A frozen window, a summer day behind it, and a webcam: wherever the camera\n"
    "sees motion the ice is wiped away and the summer picture shows through,\n"
    "while the frost slowly creeps back. Made for children and families; no\n"
    "mouse or keyboard is needed during play, and the game starts without a\n"
    "webcam too. Camera pictures never leave the computer.")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${FROSTWIPE_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION "games")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# The windows name Arial and Courier New (the About title, the closing message drawn on the
# picture); Liberation's metric-compatible faces give those texts the widths they were laid out
# for. The libraries' packages are added to this by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# Runs natively on Wayland desktops with Qt's Wayland platform plugin.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/frostwipe/frostwipe")
# Depends comes from the libraries the program and its private libraries link (dpkg-shlibdeps),
# which must be told where the private ones are.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    "${CMAKE_BINARY_DIR}/platform/com" "${CMAKE_BINARY_DIR}/platform/toolkit")
include(CPack)
