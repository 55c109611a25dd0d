# cmake --install: the two programs, the help file, the program icon, the desktop entry and the
# AppStream metadata, the manual pages, the systemd user service and the documentation files.
# cmake/Packaging.cmake turns the same installation into a Debian package.
include(GNUInstallDirs)

# The desktop finds the entry, the metadata and the icon by this one id.
set(KRONOLAB_APP_ID io.github.kronolab.Kronolab)
# Debian's place for the copyright file and the change log, named after the package.
set(KRONOLAB_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kronolab)

install(TARGETS kronolab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kronolab-cli)
  install(TARGETS kronolab-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${PROJECT_SOURCE_DIR}/resources/Kronolab.hlp
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kronolab)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/hicolor
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons
        FILES_MATCHING PATTERN "${KRONOLAB_APP_ID}.png")
install(FILES ${PROJECT_SOURCE_DIR}/resources/${KRONOLAB_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/${KRONOLAB_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

set(man_folder ${PROJECT_BINARY_DIR}/resources/man)
set(doc_folder ${PROJECT_BINARY_DIR}/resources/debian)
if(KRONOLAB_GZIP)
  install(FILES ${man_folder}/kronolab.1.gz ${man_folder}/kronolab-cli.1.gz
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${man_folder}/kronolab.ini.5.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
  install(FILES ${doc_folder}/changelog.gz DESTINATION ${KRONOLAB_DOCDIR})
else()
  install(FILES ${man_folder}/kronolab.1 ${man_folder}/kronolab-cli.1
          DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${man_folder}/kronolab.ini.5 DESTINATION ${CMAKE_INSTALL_MANDIR}/man5)
  install(FILES ${doc_folder}/changelog DESTINATION ${KRONOLAB_DOCDIR})
endif()
install(FILES ${doc_folder}/copyright DESTINATION ${KRONOLAB_DOCDIR})

# The user service names the installed kronolab-cli by its full path, which is known only when
# installing (cpack installs below its own prefix), so the unit is written then.
install(CODE "
  set(KRONOLAB_INSTALL_BINDIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
  set(unit \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/user/kronolab.service\")
  message(STATUS \"Installing: \$ENV{DESTDIR}\${unit}\")
  configure_file(\"${PROJECT_SOURCE_DIR}/resources/kronolab.service.in\"
                 \"\$ENV{DESTDIR}\${unit}\" @ONLY
                 FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${unit}\")
")
