# Sample volumes beside the executable: drives/A (FAT12 floppy), drives/C (FAT32) and
# drives/D (FAT16), made with mkfs.fat and mtools; and samples/L.img.gz, the same volumes
# compressed for installing (each user's copies are unpacked from them at first start). The default build makes each one only when
# it is missing, so a user's changes to these scratch copies survive a rebuild; the target
# `sample-volumes` makes all three anew. An entry that is a symbolic link (a user's own device
# or image) is never replaced by either.
# The build tree keeps its letters in drives/ beside the executable, sample volumes or not.
file(MAKE_DIRECTORY ${DULVEX_BIN_DIR}/drives)
if(NOT DULVEX_MKFS_FAT OR NOT DULVEX_MCOPY)
  message(WARNING "mkfs.fat or mtools not found: the sample volumes in drives/ are not made "
                  "(run scripts/setup.sh).")
  return()
endif()

set(DULVEX_DRIVES_DIR ${DULVEX_BIN_DIR}/drives)
set(DULVEX_MAKE_VOLUMES ${CMAKE_COMMAND} -E env MKFS_FAT=${DULVEX_MKFS_FAT}
  bash ${CMAKE_SOURCE_DIR}/scripts/make_sample_volumes.sh)

set(_dulvex_volume_outputs)
foreach(letter A C D)
  # No dependency on the script: the command runs only when drives/<letter> is missing.
  add_custom_command(
    OUTPUT ${DULVEX_DRIVES_DIR}/${letter}
    COMMAND ${DULVEX_MAKE_VOLUMES} ${DULVEX_DRIVES_DIR} ${letter}
    COMMENT "Making sample volume drives/${letter}"
    VERBATIM)
  list(APPEND _dulvex_volume_outputs ${DULVEX_DRIVES_DIR}/${letter})
endforeach()
add_custom_target(dulvex_drives ALL DEPENDS ${_dulvex_volume_outputs})

# Compressed again whenever a volume changes, so the installed samples always match drives/.
# A letter that is a symbolic link (the developer's own device or image) is not packed.
set(DULVEX_SAMPLES_DIR ${CMAKE_BINARY_DIR}/samples)
file(MAKE_DIRECTORY ${DULVEX_SAMPLES_DIR})
set(_dulvex_sample_outputs)
foreach(letter A C D)
  set(gz ${DULVEX_SAMPLES_DIR}/${letter}.img.gz)
  add_custom_command(
    OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DULVEX_SAMPLES_DIR}
    COMMAND sh -c "if [ -L \"$0\" ]; then echo \"$0 is a link: not packed\"; else gzip -9n -c \"$0\" > \"$1.new\" && mv \"$1.new\" \"$1\"; fi"
            ${DULVEX_DRIVES_DIR}/${letter} ${gz}
    DEPENDS ${DULVEX_DRIVES_DIR}/${letter}
    COMMENT "Compressing sample volume ${letter}"
    VERBATIM)
  list(APPEND _dulvex_sample_outputs ${gz})
endforeach()
add_custom_target(dulvex_samples ALL DEPENDS ${_dulvex_sample_outputs})

add_custom_target(sample-volumes
  COMMAND ${DULVEX_MAKE_VOLUMES} ${DULVEX_DRIVES_DIR} A C D
  COMMENT "Making the sample volumes in drives/ anew"
  VERBATIM)
