# The OBD decoders (readiness, freeze frame, permanent codes, VIN) and assembleVehicleInfo
# over arbitrary message bytes.
vx414_add_fuzzer(NAME obd_decoders SOURCES ${CMAKE_CURRENT_LIST_DIR}/obd_decoders.cpp LIBS vx414_reader)
