# The tarvex program from a shell: --help and --version answer without a
# display, and a file named on the command line opens with its name in the
# title (under the offscreen platform, in a data folder of its own).
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
foreach(option --help --version)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                          --unset=QT_QPA_PLATFORM ${TARVEX} ${option}
                  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 30)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "tarvex ${option} without a display failed (${rc}): ${err}")
  endif()
  if(option STREQUAL "--help" AND NOT out MATCHES "usage: tarvex")
    message(FATAL_ERROR "tarvex --help printed: ${out}")
  endif()
  if(option STREQUAL "--version" AND NOT out MATCHES "^tarvex [0-9]")
    message(FATAL_ERROR "tarvex --version printed: ${out}")
  endif()
endforeach()
execute_process(COMMAND ${CLI} --data-root ${WORK}/cli process ramp --save-fits ${WORK}/Orion.FIT
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "tarvex-cli could not write the FITS file (${rc})")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=${WORK}/xdg
                        ${TARVEX} ${WORK}/Orion.FIT --screenshot ${WORK}/shot.png
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 0 OR NOT out MATCHES "\"Tarvex - Orion.FIT\"")
  message(FATAL_ERROR "tarvex FILE did not show the file (${rc}): ${out} ${err}")
endif()
if(NOT EXISTS ${WORK}/xdg/tarvex/recent-files)
  message(FATAL_ERROR "the opened file was not added to the recent files list")
endif()
# An option it does not know is a usage error.
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen XDG_DATA_HOME=${WORK}/xdg
                        ${TARVEX} --frobnicate
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET TIMEOUT 60)
if(NOT rc EQUAL 2)
  message(FATAL_ERROR "tarvex --frobnicate ended with ${rc}, not 2")
endif()
