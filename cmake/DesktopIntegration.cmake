# What a desktop needs to know about Quarrow, installed beside the program:
# the launcher entry (also the telnet:// link handler), the icon in the
# hicolor sizes, the AppStream metadata and the manual pages. The PNG icons
# are rendered from the SVG at build time; manual pages are compressed as
# Debian installs them.
set(QUARROW_RESOURCES ${CMAKE_SOURCE_DIR}/app/resources)
set(QUARROW_ICON_SIZES 48 64 128 256)

install(FILES ${QUARROW_RESOURCES}/quarrow.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUARROW_RESOURCES}/io.github.quarrow.Quarrow.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${QUARROW_RESOURCES}/quarrow.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

find_program(QUARROW_RSVG_CONVERT rsvg-convert)
find_program(QUARROW_GZIP gzip REQUIRED)
set(generated)
if(QUARROW_RSVG_CONVERT)
  foreach(size IN LISTS QUARROW_ICON_SIZES)
    set(folder ${CMAKE_BINARY_DIR}/icons/${size}x${size})
    add_custom_command(OUTPUT ${folder}/quarrow.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${QUARROW_RSVG_CONVERT} --width ${size} --height ${size} --output ${folder}/quarrow.png
              ${QUARROW_RESOURCES}/quarrow.svg
      DEPENDS ${QUARROW_RESOURCES}/quarrow.svg
      COMMENT "Rendering the ${size}x${size} icon" VERBATIM)
    list(APPEND generated ${folder}/quarrow.png)
    install(FILES ${folder}/quarrow.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
else()
  message(WARNING "rsvg-convert (package librsvg2-bin) was not found: only the scalable icon is installed")
endif()

foreach(page quarrow.1 quarrow-viewer.1)
  set(compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${compressed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND ${QUARROW_GZIP} -9n -c ${CMAKE_SOURCE_DIR}/docs/man/${page} > ${compressed}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}
    COMMENT "Compressing the manual page ${page}")
  list(APPEND generated ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

add_custom_target(quarrow_desktop_files ALL DEPENDS ${generated})
