# Runs the kernel generator and compares what it writes with the committed kernel data, byte
# for byte. Called by CTest: cmake -DGENERATOR=... -DEXPECTED=... -DOUTPUT=... -P <this file>
execute_process(COMMAND ${GENERATOR} ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "kernel generator failed: ${status}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUTPUT} ${EXPECTED} RESULT_VARIABLE differs)
if(NOT differs EQUAL 0)
  message(FATAL_ERROR "${EXPECTED} is not what the generator writes (see ${OUTPUT})")
endif()
