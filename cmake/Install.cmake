# The files that live beside the executable, and the installed layout:
#
#   <prefix>/lib/dulvex/dulvex          the program
#   <prefix>/lib/dulvex/HELP.rtf        its guide, read from the executable's folder
#   <prefix>/lib/dulvex/drives/         the sample volumes (when the build made them)
#   <prefix>/bin/dulvex                 launcher: gives each user a writable copy (see there)
#   <prefix>/share/applications/dulvex.desktop
#   <prefix>/share/icons/hicolor/<size>x<size>/apps/dulvex.png
#
# `cpack -G DEB` in the build folder packs the same tree into a Debian package.

# The guide beside the executable in the build tree.
add_custom_command(
  OUTPUT ${DULVEX_BIN_DIR}/HELP.rtf
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/assets/HELP.rtf ${DULVEX_BIN_DIR}/HELP.rtf
  DEPENDS ${CMAKE_SOURCE_DIR}/assets/HELP.rtf
  COMMENT "Copying HELP.rtf beside the executable"
  VERBATIM)
add_custom_target(dulvex_help_file ALL DEPENDS ${DULVEX_BIN_DIR}/HELP.rtf)
add_dependencies(dulvex dulvex_help_file)

set(DULVEX_INSTALL_LIBDIR lib/dulvex)

install(TARGETS dulvex RUNTIME DESTINATION ${DULVEX_INSTALL_LIBDIR})
install(FILES ${CMAKE_SOURCE_DIR}/assets/HELP.rtf DESTINATION ${DULVEX_INSTALL_LIBDIR})
# The drives/ folder always exists; it holds the sample volumes A, C and D when the build
# made them. Only regular files go in: a letter the developer bound to a device or an image
# of their own (a symbolic link) stays out of the installed tree and the package.
install(DIRECTORY DESTINATION ${DULVEX_INSTALL_LIBDIR}/drives)
install(CODE "
  foreach(letter A C D)
    set(volume \"${DULVEX_BIN_DIR}/drives/\${letter}\")
    if(EXISTS \"\${volume}\" AND NOT IS_SYMLINK \"\${volume}\")
      file(INSTALL \"\${volume}\"
           DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${DULVEX_INSTALL_LIBDIR}/drives\")
    endif()
  endforeach()")
install(PROGRAMS ${CMAKE_SOURCE_DIR}/packaging/dulvex-launcher.sh DESTINATION bin RENAME dulvex)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/dulvex.desktop DESTINATION share/applications)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/dulvex-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME dulvex.png)
endforeach()

# Debian package.
set(CPACK_PACKAGE_NAME dulvex)
set(CPACK_PACKAGE_VENDOR Morlentis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Hex editor for the raw sectors of FAT volumes, with a guide to FAT12/16/32")
set(CPACK_PACKAGE_CONTACT "Morlentis <dulvex@dulvex.example>")
set(CPACK_PACKAGE_FILE_NAME dulvex_${PROJECT_VERSION}_amd64)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morlentis <dulvex@dulvex.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://dulvex.example/hex-editor)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6widgets6 (>= 6.2), libqt6gui6 (>= 6.2), libqt6core6 (>= 6.2), qt6-qpa-plugins, libc6, libstdc++6")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dosfstools, mtools")
include(CPack)
