# cmake --install and the Debian package share one layout, the one Debian
# uses for games (paths relative to the prefix, /usr in the package):
#   games/korvane                        the command: starts the game in the
#                                        player's own folder
#                                        (tools/korvane-launch.sh, also used
#                                        by tools/play.sh)
#   lib/games/korvane/korvane            the program itself
#   share/games/korvane/                 the generated data
#   share/applications/korvane.desktop   the menu entry (runs the command)
#   share/icons/hicolor/*/apps/korvane.* the icon at 32, 64 and 128 pixels and
#                                        as a scalable drawing
#   share/metainfo/                      the AppStream description
#   share/man/man6/korvane.6.gz          the manual page
#   share/doc/korvane/                   copyright and changelog
# The launcher finds the program and the data from its own folder, so any
# prefix works.
set(KORVANE_GAMES_DIR games)
set(KORVANE_PROGRAM_DIR lib/games/korvane)
set(KORVANE_DATA_INSTALL_DIR share/games/korvane)
set(KORVANE_APPSTREAM_ID dev.korvane.Korvane)
set(KORVANE_PACKAGE_BUILD_DIR ${CMAKE_BINARY_DIR}/package-files)
set(KORVANE_PACKAGE_SOURCE_DIR ${PROJECT_SOURCE_DIR}/tools/package)

# The manual page, the changelog and the AppStream description carry the
# version and the release date; the first two are compressed as Debian wants
# (gzip -n: no name or time stamp, so equal input gives equal bytes).
execute_process(COMMAND date -u -R -d "${KORVANE_RELEASE_DATE} 12:00"
  OUTPUT_VARIABLE KORVANE_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
configure_file(${KORVANE_PACKAGE_SOURCE_DIR}/korvane.6.in ${KORVANE_PACKAGE_BUILD_DIR}/korvane.6 @ONLY)
configure_file(${KORVANE_PACKAGE_SOURCE_DIR}/changelog.in ${KORVANE_PACKAGE_BUILD_DIR}/changelog @ONLY)
configure_file(${KORVANE_PACKAGE_SOURCE_DIR}/${KORVANE_APPSTREAM_ID}.metainfo.xml.in
  ${KORVANE_PACKAGE_BUILD_DIR}/${KORVANE_APPSTREAM_ID}.metainfo.xml @ONLY)
set(compressed)
foreach(name korvane.6 changelog)
  set(plain ${KORVANE_PACKAGE_BUILD_DIR}/${name})
  add_custom_command(OUTPUT ${plain}.gz
    COMMAND gzip -9 -n -f -k ${plain}
    DEPENDS ${plain}
    VERBATIM)
  list(APPEND compressed ${plain}.gz)
endforeach()
add_custom_target(korvane_package_files ALL DEPENDS ${compressed})

install(TARGETS korvane RUNTIME DESTINATION ${KORVANE_PROGRAM_DIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/korvane-launch.sh
  DESTINATION ${KORVANE_GAMES_DIR} RENAME korvane)
install(DIRECTORY ${CMAKE_BINARY_DIR}/data/ DESTINATION ${KORVANE_DATA_INSTALL_DIR})
install(DIRECTORY ${CMAKE_BINARY_DIR}/icons/ DESTINATION share/icons/hicolor)
install(FILES ${KORVANE_PACKAGE_BUILD_DIR}/${KORVANE_APPSTREAM_ID}.metainfo.xml DESTINATION share/metainfo)
install(FILES ${KORVANE_PACKAGE_BUILD_DIR}/korvane.6.gz DESTINATION share/man/man6)
install(FILES ${KORVANE_PACKAGE_SOURCE_DIR}/copyright
              ${KORVANE_PACKAGE_BUILD_DIR}/changelog.gz
  DESTINATION share/doc/korvane)

# The menu entry names the command by its full installed path, which is known
# only at install time (cmake --install --prefix may change it).
install(CODE "
  set(KORVANE_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/${KORVANE_GAMES_DIR}/korvane\")
  configure_file(\"${PROJECT_SOURCE_DIR}/tools/korvane.desktop.in\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/korvane.desktop\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/share/applications/korvane.desktop\")
")
