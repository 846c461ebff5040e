# Builds a Debian package from the install rules: `cmake --build build --target package` writes
# quorvane_<version>-<revision>~<release>_<arch>.deb into the build folder. Its dependencies are read from
# the shared libraries of what it installs (dpkg-shlibdeps, from dpkg-dev), so a library that a
# program or helper starts to link is covered without a line here.
#
# Files that only a Debian package carries (its changelog) belong to the install component
# "debian", which `cmake --install` leaves out unless asked for by name.
set(QUORVANE_DEB_REVISION 1)
set(QUORVANE_MAINTAINER "The Quorvane developers <developers@quorvane.org>")

# The package depends on the libraries of the release it is built on (libgumbo1 on Debian 12,
# libgumbo3 on Debian 13), so each release gets a package of its own. The release goes into the
# version after a tilde, as in Debian's own rebuilds for a release: 1~deb12 sorts before 1~deb13,
# so upgrading the system upgrades the package, and the file name says where it installs.
cmake_host_system_information(RESULT quorvane_os QUERY DISTRIB_ID DISTRIB_VERSION_ID)
list(GET quorvane_os 0 quorvane_os_id)
list(GET quorvane_os 1 quorvane_os_version)
if(quorvane_os_id STREQUAL "debian")
    set(quorvane_os_id deb)
endif()
set(QUORVANE_DEB_RELEASE "${quorvane_os_id}${quorvane_os_version}" CACHE STRING
    "The release the Debian package is built for, as its version ends (deb12, deb13)")
set(QUORVANE_DEB_VERSION ${PROJECT_VERSION}-${QUORVANE_DEB_REVISION})
if(QUORVANE_DEB_RELEASE)
    string(APPEND QUORVANE_DEB_VERSION "~${QUORVANE_DEB_RELEASE}")
endif()

# The changelog's latest entry names the version as built for this release.
set(quorvane_changelog ${PROJECT_BINARY_DIR}/data/debian/changelog.Debian)
file(READ ${PROJECT_SOURCE_DIR}/data/debian/changelog quorvane_changelog_text)
string(REGEX REPLACE "^quorvane \\(${PROJECT_VERSION}-${QUORVANE_DEB_REVISION}\\)"
       "quorvane (${QUORVANE_DEB_VERSION})" quorvane_changelog_text "${quorvane_changelog_text}")
file(CONFIGURE OUTPUT ${quorvane_changelog} CONTENT "${quorvane_changelog_text}" @ONLY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
             ${PROJECT_SOURCE_DIR}/data/debian/changelog)
quorvane_gzip(${quorvane_changelog} ${quorvane_changelog}.gz)
install(FILES ${quorvane_changelog}.gz DESTINATION ${CMAKE_INSTALL_DOCDIR}
        COMPONENT debian EXCLUDE_FROM_ALL)

# The AppArmor profile that lets the engine's helper have its user namespace where AppArmor
# restricts them. It names the helper where the package puts it, and an AppArmor too old for its
# rule would refuse it at boot, so it is shipped aside and the maintainer scripts put it in
# /etc/apparmor.d only where this system's AppArmor understands it, and take it away with the
# package.
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/apparmor/quorvane-engine
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvane/apparmor COMPONENT debian EXCLUDE_FROM_ALL)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/data/debian/postinst
    ${PROJECT_SOURCE_DIR}/data/debian/prerm ${PROJECT_SOURCE_DIR}/data/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VENDOR "The Quorvane developers")
set(CPACK_PACKAGE_CONTACT ${QUORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop reader for the logs of a small ADSL router")
# Lines of at most 79 characters once the control file indents them by one.
set(CPACK_PACKAGE_DESCRIPTION
    "Quorvane fetches the system log or the security log from the built-in web
server of a small ADSL router and picks out what matters: the WAN IP address,
the DNS servers, the attacks that the router's firewall blocked, the router
and ADSL uptimes, or this year's security log lines.

On request it appends the dated log lines to the file syslog.txt, in the
user's data folder (~/.local/share/Quorvane) when the program's folder cannot
be written, and asks the router to clear the log it has read once that log is
safely copied.")
# Everything in /usr, as a package should; nothing under /usr/local.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The whole project's rules, and the Debian-only files beside them.
set(CPACK_INSTALL_CMAKE_PROJECTS
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};Unspecified;/"
    "${PROJECT_BINARY_DIR};${PROJECT_NAME};debian;/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
string(REPLACE "${PROJECT_VERSION}-" "" CPACK_DEBIAN_PACKAGE_RELEASE ${QUORVANE_DEB_VERSION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QUORVANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's Wayland platform plugin, so that a Wayland session draws the window natively.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-wayland)
# Qt WebEngine's helper process QtWebEngineProcess, which Debian ships apart from the library,
# comes along too: the library's symbols file names its package beside the library's own.
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

include(CPack)
