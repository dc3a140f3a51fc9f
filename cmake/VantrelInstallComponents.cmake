# What `cmake --install` installs falls into two components, and each
# becomes a Debian package of its own:
#
#   VANTREL_TOOLS_COMPONENT   the programs without a window, their man pages
#                             and completion, the udev rule: all a headless
#                             bench PC needs, no Qt.
#   VANTREL_WINDOW_COMPONENT  the desktop window and whatever only it needs
#                             (desktop entry, icon, AppStream description).
#
# Every install() names one of them with COMPONENT. A windowed program added
# later installs with COMPONENT ${VANTREL_WINDOW_COMPONENT} (a helper into
# ${CMAKE_INSTALL_LIBEXECDIR}/vantrel/, its desktop entry into
# ${CMAKE_INSTALL_DATADIR}/applications) and so lands in the window's package
# by itself.
set(VANTREL_TOOLS_COMPONENT tools)
set(VANTREL_WINDOW_COMPONENT window)
set(VANTREL_TOOLS_PACKAGE vantrel-tools)
set(VANTREL_WINDOW_PACKAGE vantrel)
# Debian's revision of the packaging: a new one for a package rebuilt with
# other packaging but the same program version.
set(VANTREL_DEBIAN_REVISION 1)
set(VANTREL_DEBIAN_VERSION "${PROJECT_VERSION}-${VANTREL_DEBIAN_REVISION}")
