# SPDX-License-Identifier: MIT
# Installing the programs with what a desktop needs to offer them (menu entry,
# icons, AppStream metadata, manual pages), and packing that into a .deb.
#   cmake --install BUILD --prefix PREFIX
#   scripts/package                     (cpack; a Debian package)
include(GNUInstallDirs)

set(QUILL2_APP_NAME quill2-mapeditor)  # desktop entry, icon and package name
set(QUILL2_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

# The hicolor icons, drawn at build time from the emblem the program shows.
add_executable(quill2-icongen ${QUILL2_PACKAGING}/icongen.cpp ${PROJECT_SOURCE_DIR}/src/ui/Emblem.cpp)
target_include_directories(quill2-icongen PRIVATE ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(quill2-icongen PRIVATE Qt6::Gui)
set_target_properties(quill2-icongen PROPERTIES AUTOMOC OFF)

set(QUILL2_ICON_DIR ${CMAKE_BINARY_DIR}/icons/hicolor)
add_custom_command(
  OUTPUT ${QUILL2_ICON_DIR}/scalable/apps/${QUILL2_APP_NAME}.svg
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${QUILL2_ICON_DIR}
  COMMAND quill2-icongen ${QUILL2_ICON_DIR} ${QUILL2_APP_NAME}
  DEPENDS quill2-icongen
  COMMENT "Drawing the hicolor icons")

# Manual pages and the changelog, compressed as Debian keeps them.
find_program(QUILL2_GZIP gzip REQUIRED)
set(QUILL2_MAN_PAGES quill2-mapeditor.1 quill2-maptool.1)
set(QUILL2_MAN_FILES)
set(QUILL2_CHANGELOG ${CMAKE_BINARY_DIR}/doc/changelog.gz)
foreach(source ${QUILL2_MAN_PAGES} changelog)
  if(source STREQUAL changelog)
    set(out ${QUILL2_CHANGELOG})
  else()
    set(out ${CMAKE_BINARY_DIR}/man/${source}.gz)
    list(APPEND QUILL2_MAN_FILES ${out})
  endif()
  get_filename_component(out_dir ${out} DIRECTORY)
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND ${QUILL2_GZIP} -9 -n -c ${QUILL2_PACKAGING}/${source} > ${out}
    DEPENDS ${QUILL2_PACKAGING}/${source}
    VERBATIM)
endforeach()

add_custom_target(quill2-desktop-files ALL
  DEPENDS ${QUILL2_ICON_DIR}/scalable/apps/${QUILL2_APP_NAME}.svg ${QUILL2_MAN_FILES} ${QUILL2_CHANGELOG})

install(TARGETS quill2-mapeditor quill2-maptool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${QUILL2_PACKAGING}/${QUILL2_APP_NAME}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${QUILL2_PACKAGING}/org.quill2.mapeditor.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${QUILL2_ICON_DIR} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${QUILL2_MAN_FILES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The licence in Debian's machine-readable form, and the changelog.
install(FILES ${QUILL2_PACKAGING}/copyright ${QUILL2_CHANGELOG}
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${QUILL2_APP_NAME})

# ---- Debian package ----
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${QUILL2_APP_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quill2 MapEditor developers")
set(CPACK_PACKAGE_CONTACT "Quill2 MapEditor developers <developers@quill2-mapeditor.example>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${CPACK_PACKAGE_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "map editor for Quillmoor 2 cartridge images")
set(CPACK_PACKAGE_DESCRIPTION
    "A small, fast desktop map editor for the Game Boy game Quillmoor 2. It
opens the game's cartridge image, draws any of the 19 maps of its built-in
catalogue with the game's own tiles, lets the user stamp tiles or blocks of
tiles onto it with the mouse, and saves the map back into the same file.
The command-line companion quill2-maptool lists the maps and draws them to
PNG files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt 6 libraries (with the xcb and offscreen platform plugins in
# libqt6gui6) and the C++ runtime, read off the programs by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Tahoma face the windows are laid out for; the program registers the
# file from /usr/share/wine/fonts itself, so nothing changes for other
# programs, and without the package it falls back to the default face.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-wine)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
