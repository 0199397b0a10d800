# The generic extension's reader over arbitrary bytes where its header lies.
vx414_add_fuzzer(NAME generic_extension SOURCES ${CMAKE_CURRENT_LIST_DIR}/generic_extension.cpp LIBS vx414_definitions)
