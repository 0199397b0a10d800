# Dumps a data file to plain sources, builds it again from them and expects the same bytes.
# cmake -DDIS=<vx414-dis> -DFILE=<VX-414.dis> -DWORK=<scratch folder> -P round_trip.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${DIS} dump ${FILE} ${WORK}/sources COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${DIS} build -o ${WORK}/rebuilt.dis --glossary ${WORK}/sources/glossary.tsv
                        --sections ${WORK}/sources
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${FILE} ${WORK}/rebuilt.dis RESULT_VARIABLE differ)
if(differ)
  message(FATAL_ERROR "${FILE} built again from its dump differs")
endif()

# The same file cut short is refused by both commands with the message the program gives
# for a file it cannot use, naming the file.
file(SIZE ${FILE} size)
math(EXPR third "${size} / 3")
execute_process(COMMAND head -c ${third} ${FILE} OUTPUT_FILE ${WORK}/cut.dis COMMAND_ERROR_IS_FATAL ANY)
foreach(command verify dump)
  set(arguments ${WORK}/cut.dis)
  if(command STREQUAL dump)
    list(APPEND arguments ${WORK}/cut-sources)
  endif()
  execute_process(COMMAND ${DIS} ${command} ${arguments} RESULT_VARIABLE status ERROR_VARIABLE said OUTPUT_QUIET)
  if(status EQUAL 0 OR NOT said MATCHES "^vx414-dis:  Cannot identify data file : ${WORK}/cut.dis \\(")
    message(FATAL_ERROR "${command} of a cut file: status ${status}, said: ${said}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
