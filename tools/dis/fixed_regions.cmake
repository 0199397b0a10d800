# Builds the data file again without the generic titles and expects the glossary and every
# make section byte for byte as in FILE: the titles change the generic section and add the
# extension, nothing else.
# cmake -DDIS=<vx414-dis> -DFILE=<VX-414.dis> -DGLOSSARY=<glossary.tsv> -DCODES=<codes.dat>
#       -DMAKES=<make texts folder> -DWORK=<scratch folder> -P fixed_regions.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${DIS} build -o ${WORK}/plain.dis --glossary ${GLOSSARY} --codes ${CODES} --makes ${MAKES}
                OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
# File positions (1-based): the generic section starts at 54241, the first make section
# ("acura") at 427189, and the last ("volvo") ends before 10217473.
set(glossary_bytes 54240)
set(makes_skip 427188)
math(EXPR makes_bytes "10217472 - ${makes_skip}")
execute_process(COMMAND cmp -n ${glossary_bytes} ${FILE} ${WORK}/plain.dis RESULT_VARIABLE glossary_differs)
execute_process(COMMAND cmp -n ${makes_bytes} -i ${makes_skip}:${makes_skip} ${FILE} ${WORK}/plain.dis
                RESULT_VARIABLE makes_differ)
if(glossary_differs OR makes_differ)
  message(FATAL_ERROR "glossary (${glossary_differs}) or make sections (${makes_differ}) differ from the build without the generic titles")
endif()
file(REMOVE_RECURSE ${WORK})
