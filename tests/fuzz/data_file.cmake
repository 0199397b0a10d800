# The item reader and the section walk over an arbitrary file.
vx414_add_fuzzer(NAME data_file SOURCES ${CMAKE_CURRENT_LIST_DIR}/data_file.cpp LIBS vx414_definitions)
