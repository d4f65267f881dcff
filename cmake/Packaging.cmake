# Installing on Linux and other freedesktop systems: the launcher, the manual pages, the optional
# autostart entry, and the Debian package (cpack -G DEB). The programs, the help page, the pictures
# and the icon theme entries are installed by their own folders.

set(man_pages litvorot-convert)
if(LITVOROT_GUI)
    list(APPEND man_pages litvorot)
    # The launcher for application menus.
    install(FILES ${PROJECT_SOURCE_DIR}/resources/litvorot.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
endif()

# Start with the desktop session, for every user. XDG autostart directories are
# $XDG_CONFIG_DIRS/autostart, which is /etc/xdg/autostart whatever the installation prefix.
option(LITVOROT_INSTALL_AUTOSTART "Install an XDG autostart entry that starts Litvorot at log-in"
    OFF)
set(LITVOROT_AUTOSTART_DIR "/etc/xdg/autostart" CACHE PATH
    "Where LITVOROT_INSTALL_AUTOSTART puts the autostart entry")
if(LITVOROT_GUI AND LITVOROT_INSTALL_AUTOSTART)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/litvorot.desktop
        DESTINATION ${LITVOROT_AUTOSTART_DIR})
    # A file under /etc in a Debian package is the administrator's: dpkg keeps their changes.
    if(LITVOROT_AUTOSTART_DIR MATCHES "^/etc/")
        file(WRITE ${PROJECT_BINARY_DIR}/debian/conffiles
            "${LITVOROT_AUTOSTART_DIR}/litvorot.desktop\n")
        set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/debian/conffiles)
    endif()
endif()

# Manual pages, with the version filled in.
set(LITVOROT_MAN_DATE "December 2026")
foreach(page ${man_pages})
    configure_file(${PROJECT_SOURCE_DIR}/man/${page}.1.in ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
    install(FILES ${PROJECT_BINARY_DIR}/man/${page}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# The Debian package: litvorot_<version>_<arch>.deb, its dependencies computed by dpkg-shlibdeps
# (package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME litvorot)
set(CPACK_PACKAGE_VENDOR "Litvorot developers")
set(CPACK_PACKAGE_CONTACT "Litvorot developers <litvorot@litvorot.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# A converter of text encodings, as recode and konwert are.
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${PROJECT_HOMEPAGE_URL}")
# The tray needs a notification area; GNOME Shell has one only with this extension.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-shell-extension-appindicator")
# Qt's Wayland platform, which a Wayland session without XWayland runs the program on (a plugin,
# so dpkg-shlibdeps cannot see it).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# The long description; the summary above is its first line.
set(CPACK_PACKAGE_DESCRIPTION
    "Litvorot lives in the system tray and converts Russian text on the clipboard
between Translit (Russian written in Latin letters), KOI8, CP 1251 and
Unicode when Ctrl+Space is pressed. The package also holds litvorot-convert,
which converts files and standard input the same way.")
# Compressed manual pages, the copyright file and the changelog, as Debian wants them; the
# changelog's latest entry is for this version.
set(CPACK_LITVOROT_DEBIAN_DIR ${PROJECT_SOURCE_DIR}/cmake/debian)
set(CPACK_LITVOROT_DEBIAN_DOC ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(CPACK_LITVOROT_DEBIAN_MAN ${CMAKE_INSTALL_MANDIR}/man1)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianPackageFiles.cmake)
file(STRINGS ${CPACK_LITVOROT_DEBIAN_DIR}/changelog changelog_top LIMIT_COUNT 1)
if(NOT changelog_top MATCHES "^litvorot \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/debian/changelog has no entry for version ${PROJECT_VERSION} on top: "
        "${changelog_top}")
endif()
include(CPack)

if(BUILD_TESTING AND LITVOROT_GUI)
    add_subdirectory(tests/install)
endif()
