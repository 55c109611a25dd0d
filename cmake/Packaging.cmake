# cpack -G DEB: a Debian package of everything cmake/Install.cmake installs, below /usr. The
# libraries it needs are found by dpkg-shlibdeps (package dpkg-dev); what is only loaded at
# run time is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kronolab)
set(CPACK_PACKAGE_VENDOR Kronolab-Team)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${KRONOLAB_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal task scheduler with the moon phase in the tray")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/resources/debian/description)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${KRONOLAB_HOMEPAGE}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Qt loads its window-system plugins at run time: without them the tray program cannot start.
set(depends qt6-qpa-plugins)
# The run journal goes through Qt Sql's SQLite plugin, which is loaded by name.
get_target_property(engine_libraries kronolab_core LINK_LIBRARIES)
if("Qt6::Sql" IN_LIST engine_libraries)
  list(APPEND depends libqt6sql6-sqlite)
endif()
list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Qt's own dialogs and buttons in German.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS qt6-translations-l10n)

include(CPack)
