# cmake --install: the game where a Linux desktop expects it.
#   bin/korvane                         the program
#   bin/korvane-launch                  starts it in the player's own folder
#                                       (tools/korvane-launch.sh, also used by
#                                       tools/play.sh)
#   share/korvane/data/                 the generated data
#   share/applications/korvane.desktop  the menu entry (runs the launcher)
#   share/icons/hicolor/NxN/apps/korvane.png  the icon at 32, 64 and 128 pixels
# The launcher finds the program beside itself and the data in
# ../share/korvane/data, so the bin and data folders keep their usual names.
include(GNUInstallDirs)

install(TARGETS korvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/korvane-launch.sh
  DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME korvane-launch)
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/data)
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor)

# The menu entry names the launcher by its full installed path, which is known
# only at install time (cmake --install --prefix may change it).
install(CODE "
  set(KORVANE_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/korvane-launch\")
  configure_file(\"${PROJECT_SOURCE_DIR}/tools/korvane.desktop.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/korvane.desktop\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/korvane.desktop\")
")
