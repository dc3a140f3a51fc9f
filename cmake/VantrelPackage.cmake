# The Debian packages: cpack -G DEB in a build directory makes one package
# per install component (cmake/VantrelInstallComponents.cmake), from what
# `cmake --install` installs, under /usr: vantrel-tools, and with the window
# vantrel, which needs it. Included last from the top-level CMakeLists, once
# every install rule is known.

# A file installed without a component would fall into none of the packages.
set(VANTREL_PACKAGED_COMPONENTS ${VANTREL_TOOLS_COMPONENT})
if(VANTREL_GUI)
    list(APPEND VANTREL_PACKAGED_COMPONENTS ${VANTREL_WINDOW_COMPONENT})
endif()
get_cmake_property(installed_components COMPONENTS)
list(REMOVE_ITEM installed_components ${VANTREL_PACKAGED_COMPONENTS})
if(installed_components)
    message(FATAL_ERROR "Installed in no package: the components ${installed_components}; "
                        "install with COMPONENT \${VANTREL_TOOLS_COMPONENT} or "
                        "\${VANTREL_WINDOW_COMPONENT}")
endif()

set(CPACK_PACKAGE_NAME vantrel)
set(CPACK_PACKAGE_VENDOR "${VANTREL_COPYRIGHT_HOLDER}")
set(CPACK_PACKAGE_CONTACT "${VANTREL_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${VANTREL_HOMEPAGE}")

# A package's files live under /usr, whatever CMAKE_INSTALL_PREFIX says for
# `cmake --install`.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${VANTREL_PACKAGED_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VANTREL_DEBIAN_REVISION})
# Both packages come from one source, this project.
set(CPACK_DEBIAN_PACKAGE_SOURCE vantrel)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Debian ships programs without their debugging symbols.
set(CPACK_STRIP_FILES ON)
# The libraries each package's programs link (Qt, libudev, SQLite, libpq...),
# found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# Directories and control files with the modes dpkg and lintian expect.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

string(TOUPPER ${VANTREL_TOOLS_COMPONENT} tools_id)
set(CPACK_DEBIAN_${tools_id}_PACKAGE_NAME ${VANTREL_TOOLS_PACKAGE})
set(CPACK_DEBIAN_${tools_id}_DESCRIPTION
    "write firmware into QRN7700 set-top boxes over RS-232, without a window
Vantrel writes a firmware image, a module, into the flash memory of a
QRN7700 set-top box over an RS-232 serial line, in a lock-step dialogue with
the box's boot loader.

This package holds what a bench PC without a desktop needs: vantrel-cli for
scripts and test benches, vantrel-station to update several boxes at once
and record every unit, vantrel-records to list or export those records, and
vantrel-boxsim, a stand-in for the box on a pseudo-terminal. A udev rule
gives common USB serial adapters to the dialout group.")

string(TOUPPER ${VANTREL_WINDOW_COMPONENT} window_id)
set(CPACK_DEBIAN_${window_id}_PACKAGE_NAME ${VANTREL_WINDOW_PACKAGE})
set(CPACK_DEBIAN_${window_id}_DESCRIPTION
    "write firmware into QRN7700 set-top boxes over RS-232
Vantrel writes a firmware image, a module, into the flash memory of a
QRN7700 set-top box over an RS-232 serial line, in a lock-step dialogue with
the box's boot loader.

This package holds the desktop tool vantrel: port, image, Start, a status
line, a log pane and a progress bar. The programs for terminals and
production lines come with vantrel-tools.")
# The window is the tools' logic behind a window: the same version of them.
# Its SVG icon also needs Qt's SVG plugin, which no program links but Qt
# loads.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_${window_id}_DEPENDS ${VANTREL_TOOLS_COMPONENT})
set(CPACK_DEBIAN_${window_id}_PACKAGE_DEPENDS "libqt6svg6")

include(CPack)
