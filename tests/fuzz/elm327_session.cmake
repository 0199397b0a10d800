# The ELM327 session over a scripted adapter whose answers are the fuzzer's bytes.
vx414_add_fuzzer(NAME elm327_session SOURCES ${CMAKE_CURRENT_LIST_DIR}/elm327_session.cpp LIBS vx414_reader_testing)
