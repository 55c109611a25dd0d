# cmake --install: the two programs, the help file, the icon and the desktop entry.
include(GNUInstallDirs)
install(TARGETS kronolab RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET kronolab-cli)
  install(TARGETS kronolab-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(EXISTS ${PROJECT_SOURCE_DIR}/resources/Kronolab.hlp)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/Kronolab.hlp
          DESTINATION ${CMAKE_INSTALL_DATADIR}/kronolab)
endif()
install(FILES ${PROJECT_SOURCE_DIR}/resources/kronolab.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/128x128/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/kronolab.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
