# Dumps a data file to plain sources, builds it again from them and expects the same bytes.
# cmake -DDIS=<vx414-dis> -DFILE=<VX-414.dis> -DWORK=<scratch folder> -P round_trip.cmake
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${DIS} dump ${FILE} ${WORK}/sources COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${DIS} build -o ${WORK}/rebuilt.dis --glossary ${WORK}/sources/glossary.tsv
                        --sections ${WORK}/sources
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FILE} ${WORK}/rebuilt.dis RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "${FILE} built again from its dump differs")
endif()
file(REMOVE_RECURSE ${WORK})
