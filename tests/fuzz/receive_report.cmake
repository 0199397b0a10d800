# ReceiveReport fed from the fuzzer's bytes.
vx414_add_fuzzer(NAME receive_report SOURCES ${CMAKE_CURRENT_LIST_DIR}/receive_report.cpp LIBS vx414_reader)
