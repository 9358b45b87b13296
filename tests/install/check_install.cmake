# Installs the build into a temporary prefix and checks the tree: the program, its guide
# and drives/ together under lib/dulvex, the launcher, the desktop entry and the icons; then
# starts the launcher once (offscreen, stopped after a moment) and checks the per-user folder
# it prepares; then lets the help rules find the guide from both folders.
# Arguments: BUILD_DIR, PREFIX, TESTS_EXE.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()

foreach(f lib/dulvex/dulvex lib/dulvex/HELP.rtf bin/dulvex share/applications/dulvex.desktop
          share/icons/hicolor/16x16/apps/dulvex.png share/icons/hicolor/256x256/apps/dulvex.png)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "missing from the installed tree: ${f}")
  endif()
endforeach()
if(NOT IS_DIRECTORY ${PREFIX}/lib/dulvex/drives)
  message(FATAL_ERROR "missing from the installed tree: lib/dulvex/drives/")
endif()
# The sample volumes the build made (regular files; symbolic links stay out).
set(samples)
foreach(letter A C D)
  set(volume ${BUILD_DIR}/bin/drives/${letter})
  if(EXISTS ${volume} AND NOT IS_SYMLINK ${volume})
    list(APPEND samples ${volume})
  endif()
endforeach()
foreach(s ${samples})
  get_filename_component(letter ${s} NAME)
  if(NOT EXISTS ${PREFIX}/lib/dulvex/drives/${letter})
    message(FATAL_ERROR "sample volume ${letter} not installed")
  endif()
endforeach()

# The launcher prepares ~/.local/share/dulvex and starts the program there. The first run
# names a display platform that does not exist, so the program stops at once however long
# the copying took; the files are checked after it.
set(home ${PREFIX}/home)
file(MAKE_DIRECTORY ${home})
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env HOME=${home} --unset=XDG_DATA_HOME
          QT_QPA_PLATFORM=no-such-platform ${PREFIX}/bin/dulvex
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
set(data ${home}/.local/share/dulvex)
foreach(f dulvex HELP.rtf drives)
  if(NOT EXISTS ${data}/${f})
    message(FATAL_ERROR "the launcher did not prepare ${data}/${f}")
  endif()
endforeach()
foreach(s ${samples})
  get_filename_component(letter ${s} NAME)
  if(NOT EXISTS ${data}/drives/${letter})
    message(FATAL_ERROR "the launcher did not copy sample volume ${letter}")
  endif()
endforeach()

# The second run starts the prepared program offscreen; it must still be running when
# stopped after three seconds.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env HOME=${home} --unset=XDG_DATA_HOME QT_QPA_PLATFORM=offscreen
          timeout 3 ${PREFIX}/bin/dulvex
  RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(NOT rc EQUAL 124)
  message(FATAL_ERROR "the installed program did not keep running: ${rc}")
endif()

execute_process(
  COMMAND ${CMAKE_COMMAND} -E env "DULVEX_INSTALLED_EXE_DIRS=${PREFIX}/lib/dulvex:${data}"
          ${TESTS_EXE} --gtest_filter=InstalledTree.*
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0 OR out MATCHES "SKIPPED" OR NOT out MATCHES "PASSED")
  message(FATAL_ERROR "the help rules did not find the installed guide:\n${out}")
endif()
message(STATUS "installed tree in ${PREFIX} checked")
