# A read kept before a clear, read back from arbitrary bytes.
vx414_add_fuzzer(NAME kept_read SOURCES ${CMAKE_CURRENT_LIST_DIR}/kept_read.cpp LIBS vx414_report)
