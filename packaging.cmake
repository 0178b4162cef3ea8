# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` installs;
# in the Windows build, `cpack -G "ZIP;NSIS"` makes the portable zip and the installer.
set(CPACK_PACKAGE_NAME varnolt)
set(CPACK_PACKAGE_VENDOR "Varnolt")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bulk downloader of a forum's picture albums")
set(CPACK_PACKAGE_DESCRIPTION
    "Varnolt downloads, in bulk, the picture albums of one forum of a web forum service, \
from a small window or from the command line.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Varnolt developers <varnolt@localhost>")
set(CPACK_STRIP_FILES ON)

if(WIN32)
    set(CPACK_PACKAGE_FILE_NAME varnolt-${PROJECT_VERSION}-win64)
    set(CPACK_PACKAGE_INSTALL_DIRECTORY Varnolt)
    set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/doc/copyright)
    # The installer: Program Files, a Start-menu entry for the window, an uninstaller that
    # Windows lists, an older copy removed first. Its own name is set per generator.
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
    set(CPACK_PACKAGE_EXECUTABLES varnolt Varnolt)
    set(CPACK_NSIS_INSTALLED_ICON_NAME varnolt.exe)
    set(CPACK_NSIS_DISPLAY_NAME Varnolt)
    set(CPACK_NSIS_PACKAGE_NAME Varnolt)
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/app/icons/varnolt.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/app/icons/varnolt.ico)
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
    # A 64-bit installer for a 64-bit program (NSIS makes 32-bit ones by default).
    set(CPACK_NSIS_DEFINES "Target amd64-unicode")
    set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cmake/cpackgenerators.cmake)
    include(CPack)
    return()
endif()

set(CPACK_PACKAGING_INSTALL_PREFIX /usr)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The shared libraries the program links (Qt and libcurl among them) are found by
# dpkg-shlibdeps, which also needs `file`. Qt's window plugins are loaded at run time, so no
# library names them: they are declared here, and nothing dpkg-shlibdeps names is repeated.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own Chinese texts, and a font that has the window's characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk | fonts-wqy-zenhei")

include(CPack)
