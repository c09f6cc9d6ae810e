# cmake --build build --target package  writes build/korvane_<version>_amd64.deb
# from the install rules (cmake/KorvaneInstall.cmake) with prefix /usr. The
# dependencies are read from the program by dpkg-shlibdeps (Debian package
# dpkg-dev), never written by hand.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# The menu entry's command path is written at install time from
# CMAKE_INSTALL_PREFIX: staged through DESTDIR, that prefix is /usr itself,
# not a folder below the staging area.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_PACKAGE_CONTACT "Korvane developers <release@korvane.dev>")
set(CPACK_PACKAGE_VENDOR "Korvane developers")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://korvane.dev/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "puzzle-arcade game: drag paths through gems of one kind")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Korvane is a small single-player puzzle game for a desktop window. Press on
a gem and drag through neighbouring gems of the same kind; let go after three
or more and they are marked. Add more paths before the combo bar runs out:
then every marked gem shatters at once, and the round scores their number
times the number of paths.
.
Each round has a target score and a clock that only runs while nothing on the
board moves. Three difficulties keep their own rows of the ten best and the
ten last scores, saved in the player's own folder.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

include(CPack)

# Where the package lands, for the test that unpacks it.
execute_process(COMMAND dpkg --print-architecture
  OUTPUT_VARIABLE KORVANE_DEB_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE)
set(KORVANE_DEB_FILE ${CMAKE_BINARY_DIR}/korvane_${PROJECT_VERSION}_${KORVANE_DEB_ARCHITECTURE}.deb)
