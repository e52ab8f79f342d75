# Draws the artwork into a scratch folder and compares it byte for byte with what is committed
# in resources/ and tests/gui/data/: the bitmaps must be what the generators make from the
# current layout table. Run by CTest (artgen.reproducible):
#   cmake -DARTGEN=<artgen> -DTESTBITMAPS=<testbitmaps> -DSOURCE=<source dir> -DSCRATCH=<dir>
#         -P CheckReproducible.cmake
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}/resources" "${SCRATCH}/testdata")
execute_process(COMMAND "${ARTGEN}" "${SCRATCH}/resources" RESULT_VARIABLE art)
execute_process(COMMAND "${TESTBITMAPS}" "${SCRATCH}/testdata" RESULT_VARIABLE testart)
if(NOT art EQUAL 0 OR NOT testart EQUAL 0)
  message(FATAL_ERROR "the generators failed (${art}, ${testart})")
endif()
set(stale "")
foreach(pair "resources;resources" "testdata;tests/gui/data")
  list(GET pair 0 made)
  list(GET pair 1 committed)
  file(GLOB files RELATIVE "${SCRATCH}/${made}" "${SCRATCH}/${made}/*.bmp")
  foreach(name IN LISTS files)
    execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                    "${SCRATCH}/${made}/${name}" "${SOURCE}/${committed}/${name}"
                    RESULT_VARIABLE different)
    if(NOT different EQUAL 0)
      list(APPEND stale "${committed}/${name}")
    endif()
  endforeach()
endforeach()
if(stale)
  message(FATAL_ERROR "out of date, run the kestrane_artwork and kestrane_test_bitmaps targets "
                      "and commit: ${stale}")
endif()
message(STATUS "artwork reproduced byte for byte")
