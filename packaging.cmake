# `cpack -G DEB` in the build folder makes a Debian package of what `cmake --install` installs.
set(CPACK_PACKAGE_NAME varnolt)
set(CPACK_PACKAGE_VENDOR "Varnolt")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Bulk downloader of a forum's picture albums")
set(CPACK_PACKAGE_DESCRIPTION
    "Varnolt downloads, in bulk, the picture albums of one forum of a web forum service, \
from a small window or from the command line.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Varnolt developers <varnolt@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The shared libraries the program links (Qt among them) are found by dpkg-shlibdeps. Qt's
# window plugins are loaded at run time, so no library names them: they are declared here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libcurl4 (>= 7.85)")
# Qt's own Chinese texts, and a font that has the window's characters.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "qt6-translations-l10n, fonts-wqy-microhei | fonts-noto-cjk | fonts-wqy-zenhei")

include(CPack)
