# Runs a libFuzzer program from an empty scratch corpus (so every run does the same work):
#   cmake -DFUZZER=<program> -DSCRATCH=<folder> -DARGS=<option|...> -DCORPORA=<folder|...>
#         -P RunFuzzer.cmake
# Fails when the fuzzer reports a finding (a non-zero exit).
string(REPLACE "|" ";" ARGS "${ARGS}")
string(REPLACE "|" ";" CORPORA "${CORPORA}")
file(REMOVE_RECURSE ${SCRATCH})
file(MAKE_DIRECTORY ${SCRATCH})
execute_process(COMMAND ${FUZZER} ${ARGS} ${SCRATCH} ${CORPORA} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} found a fault (exit ${result}); its input is in the artifacts folder")
endif()
