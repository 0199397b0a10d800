# The ELM327 answer parser over arbitrary adapter text.
vx414_add_fuzzer(NAME elm327_answer SOURCES ${CMAKE_CURRENT_LIST_DIR}/elm327_answer.cpp LIBS vx414_reader)
