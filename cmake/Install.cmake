# The files that live beside the executable, and the installed layout:
#
#   <prefix>/bin/dulvex                         the program
#   <prefix>/share/dulvex/HELP.rtf              its guide
#   <prefix>/share/dulvex/samples/L.img.gz      the sample volumes, compressed; each user's
#                                               copies are unpacked at their first start
#   <prefix>/share/applications/example.dulvex.hexeditor.desktop
#                                               menu entry, "Open with" for floppy images
#   <prefix>/share/mime/packages/dulvex.xml     *.ima and *.vfd as raw floppy images
#   <prefix>/share/metainfo/...metainfo.xml     AppStream
#   <prefix>/share/icons/hicolor/<size>x<size>/apps/dulvex.png
#   <prefix>/share/man/man1/dulvex.1.gz
#   <prefix>/share/doc/dulvex/{copyright,changelog.gz}
#   <prefix>/share/lintian/overrides/dulvex     lintian's notes that do not apply
#
# The program finds its data in ../share/dulvex from its real executable (or beside it, in
# the build tree and a portable copy). No drives/ folder is installed: without one beside
# the executable, the program keeps its letters in $XDG_DATA_HOME/dulvex/drives.
# `cpack -G DEB` packs the same tree.

# The guide beside the executable in the build tree.
add_custom_command(
  OUTPUT ${DULVEX_BIN_DIR}/HELP.rtf
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/assets/HELP.rtf ${DULVEX_BIN_DIR}/HELP.rtf
  DEPENDS ${CMAKE_SOURCE_DIR}/assets/HELP.rtf
  COMMENT "Copying HELP.rtf beside the executable"
  VERBATIM)
add_custom_target(dulvex_help_file ALL DEPENDS ${DULVEX_BIN_DIR}/HELP.rtf)
add_dependencies(dulvex dulvex_help_file)

# Compressed documents: the manual page and the changelog (gzip -n: the same bytes each time).
set(DULVEX_PACKAGING_DIR ${CMAKE_BINARY_DIR}/packaging)
set(_dulvex_gz)
foreach(pair "docs/dulvex.1:dulvex.1.gz" "packaging/changelog:changelog.gz")
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 source)
  list(GET pair 1 output)
  add_custom_command(
    OUTPUT ${DULVEX_PACKAGING_DIR}/${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DULVEX_PACKAGING_DIR}
    COMMAND sh -c "gzip -9n -c \"$0\" > \"$1\"" ${CMAKE_SOURCE_DIR}/${source}
            ${DULVEX_PACKAGING_DIR}/${output}
    DEPENDS ${CMAKE_SOURCE_DIR}/${source}
    VERBATIM)
  list(APPEND _dulvex_gz ${DULVEX_PACKAGING_DIR}/${output})
endforeach()
add_custom_target(dulvex_docs ALL DEPENDS ${_dulvex_gz})

set(DULVEX_INSTALL_DATADIR share/dulvex)  # architecture-independent: the guide, the samples

install(TARGETS dulvex RUNTIME DESTINATION bin)
# A stripped program loses the compiler's notes too, as Debian's dh_strip does it.
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment
                            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/dulvex\")
  endif()")
install(FILES ${CMAKE_SOURCE_DIR}/assets/HELP.rtf DESTINATION ${DULVEX_INSTALL_DATADIR})
if(DEFINED DULVEX_SAMPLES_DIR)
  install(DIRECTORY ${DULVEX_SAMPLES_DIR}/ DESTINATION ${DULVEX_INSTALL_DATADIR}/samples
          FILES_MATCHING PATTERN "*.img.gz")
endif()
install(FILES ${CMAKE_SOURCE_DIR}/packaging/example.dulvex.hexeditor.desktop
        DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/dulvex-mime.xml DESTINATION share/mime/packages
        RENAME dulvex.xml)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/example.dulvex.hexeditor.metainfo.xml
        DESTINATION share/metainfo)
foreach(size 16 32 48 64 128 256)
  install(FILES ${CMAKE_SOURCE_DIR}/assets/icons/dulvex-${size}.png
          DESTINATION share/icons/hicolor/${size}x${size}/apps RENAME dulvex.png)
endforeach()
install(FILES ${DULVEX_PACKAGING_DIR}/dulvex.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/copyright ${DULVEX_PACKAGING_DIR}/changelog.gz
        DESTINATION share/doc/dulvex)
install(FILES ${CMAKE_SOURCE_DIR}/packaging/lintian-overrides DESTINATION share/lintian/overrides
        RENAME dulvex)

# Debian package.
set(CPACK_PACKAGE_NAME dulvex)
set(CPACK_PACKAGE_VENDOR Morlentis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hex editor for the raw sectors of FAT volumes")
set(CPACK_PACKAGE_DESCRIPTION
    "Dulvex Hex Editor shows any 512-byte sector of a disk image or a block device
as hexadecimal cells beside the same bytes as characters. It reads the boot
sector of a FAT12, FAT16 or FAT32 volume, works out where the FATs, the root
directory and the data region begin, and names each sector by its role.
Directory sectors are decoded entry by entry. Bytes can be copied, edited and
written back one sector at a time after confirmation. A built-in guide explains
the FAT structures.
.
Volumes are opened from the command line, from a file dialog, from a list of
the machine's block devices or by dropping an image on the window. Sample FAT
volumes are unpacked for each user at the first start.")
set(CPACK_PACKAGE_CONTACT "Morlentis <dulvex@dulvex.example>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Morlentis <dulvex@dulvex.example>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://dulvex.example/hex-editor)
execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE _dulvex_arch
                OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(_dulvex_arch)
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${_dulvex_arch})
endif()
# The libraries the binary links come from dpkg-shlibdeps; the Qt platform plugins are
# loaded at run time, so dpkg-shlibdeps cannot see them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Liberation Mono is metric-compatible with the design's Courier New: without it the wider
# fallback font clips captions ("CURRENT SECTOR").
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "dosfstools, mtools")
include(CPack)
