# A Debian package of everything `cmake --install` puts in place:
#   cpack -G DEB            (in the build folder) -> quarrow_<version>_amd64.deb
# Depends comes from dpkg-shlibdeps. Binaries are stripped in the package.
set(QUARROW_PACKAGING ${CMAKE_SOURCE_DIR}/packaging)

# Debian wants a copyright file and a compressed changelog in the package's
# documentation folder (changelog.gz: the version has no Debian revision, so
# the package is a native one).
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
  COMMAND ${QUARROW_GZIP} -9n -c ${QUARROW_PACKAGING}/changelog > ${CMAKE_BINARY_DIR}/packaging/changelog.gz
  DEPENDS ${QUARROW_PACKAGING}/changelog
  COMMENT "Compressing the Debian changelog")
add_custom_target(quarrow_package_files ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${QUARROW_PACKAGING}/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quarrow)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarrow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quarrow developers")
set(CPACK_PACKAGE_CONTACT "The Quarrow developers <quarrow@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "client for text games (MUDs) played over telnet")
# CPack puts the summary above this as the synopsis line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Quarrow plays multi-user text games over telnet with ANSI colour. It keeps
 game servers as connections, logs in, and shows each game in a window with
 its own triggers, aliases, notes and timers, scripted in JavaScript. It
 opens telnet:// links, and quarrow-viewer watches and drives a shared
 session from a terminal.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A client, not a game: lintian keeps section games for programs in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/quarrow/quarrow)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
