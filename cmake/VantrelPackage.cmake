# The Debian package: cpack -G DEB in a build directory makes
# vantrel_<version>_<arch>.deb from what `cmake --install` installs, under
# /usr. Included last from the top-level CMakeLists, once every install rule
# is known.

set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "The Vantrel developers")
set(CPACK_PACKAGE_CONTACT "The Vantrel developers <vantrel@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://vantrel.example.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "write firmware into QRN7700 set-top boxes over RS-232")
set(CPACK_PACKAGE_DESCRIPTION
    "Vantrel writes a firmware image, a module, into the flash memory of a
QRN7700 set-top box over an RS-232 serial line, in a lock-step dialogue with
the box's boot loader.
.
The package holds the desktop tool vantrel, vantrel-cli for scripts and test
benches, vantrel-station to update several boxes at once and record every
unit, vantrel-records to list or export those records, and vantrel-boxsim, a
stand-in for the box on a pseudo-terminal. A udev rule gives common USB
serial adapters to the dialout group.")

# A package's files live under /usr, whatever CMAKE_INSTALL_PREFIX says for
# `cmake --install`.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Debian ships programs without their debugging symbols.
set(CPACK_STRIP_FILES ON)
# The libraries the programs link (Qt, libudev, SQLite, libpq...), found by
# dpkg-shlibdeps; the window's SVG icon also needs Qt's SVG plugin, which no
# program links but Qt loads.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(VANTREL_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
endif()
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# Directories and control files with the modes dpkg and lintian expect.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
