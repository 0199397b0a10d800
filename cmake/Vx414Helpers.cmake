# Compiler settings shared by every target of the project, and the one helper that
# registers a test.

add_library(vx414_warnings INTERFACE)
target_compile_options(vx414_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-align
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(VX414_WERROR)
  target_compile_options(vx414_warnings INTERFACE -Werror)
endif()

if(VX414_FUZZERS)
  # Coverage for libFuzzer in every library a fuzzer links; clang only.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
elseif(VX414_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()

# vx414_optional_part(<VAR> <package> <what> <debian packages>)
# Turns <VAR> from AUTO, ON or OFF into ON or OFF: AUTO is ON when find_package finds
# <package>, else OFF with a note saying what is left out and what would bring it; ON
# requires the package.
macro(vx414_optional_part var package what debian)
  if(${var} STREQUAL "AUTO")
    find_package(${package} QUIET)
    if(${package}_FOUND)
      set(${var} ON)
    else()
      set(${var} OFF)
      message(STATUS "Not building ${what}: ${package} is missing (Debian's ${debian}; "
                     "tools/install-deps.sh --test installs it)")
    endif()
  elseif(${var})
    set(${var} ON)
    find_package(${package} REQUIRED)
  else()
    set(${var} OFF)
  endif()
endmacro()

# vx414_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [QT])
# Builds one GoogleTest executable and registers it with CTest. QT gives it a main
# that creates the QApplication first (widget tests) and runs it offscreen.
function(vx414_add_test)
  cmake_parse_arguments(T "QT" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VX414_TESTS)
    return()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  set_target_properties(${T_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
  target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} vx414_warnings GTest::gtest GTest::gmock)
  if(T_QT)
    target_link_libraries(${T_NAME} PRIVATE vx414_qt_test_main)
  else()
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest_main)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  # The programs keep the chosen adapter and units under XDG_CONFIG_HOME and the reads kept
  # before a clear under XDG_DATA_HOME: a test sees neither the user's own nor another test's
  # unless it sets them up itself.
  set_tests_properties(${T_NAME} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VX414_BUILD_DIR=${PROJECT_BINARY_DIR};VX414_SOURCE_DIR=${PROJECT_SOURCE_DIR};XDG_CONFIG_HOME=${PROJECT_BINARY_DIR}/test-home/${T_NAME}/config;XDG_DATA_HOME=${PROJECT_BINARY_DIR}/test-home/${T_NAME}/data"
    TIMEOUT 600)
endfunction()

# vx414_add_benchmark(NAME <name> SOURCES <files...> LIBS <targets...>)
function(vx414_add_benchmark)
  cmake_parse_arguments(B "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VX414_BENCHMARKS)
    return()
  endif()
  add_executable(${B_NAME} ${B_SOURCES})
  set_target_properties(${B_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/bench)
  target_link_libraries(${B_NAME} PRIVATE ${B_LIBS} vx414_warnings benchmark::benchmark)
endfunction()

# vx414_add_fuzzer(NAME <name> SOURCES <files...> LIBS <targets...>)
# A libFuzzer target; its seed corpus lives in tests/fuzz/corpus/<name>/.
function(vx414_add_fuzzer)
  cmake_parse_arguments(F "" "NAME" "SOURCES;LIBS" ${ARGN})
  if(NOT VX414_FUZZERS)
    return()
  endif()
  add_executable(${F_NAME} ${F_SOURCES})
  set_target_properties(${F_NAME} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/fuzz)
  target_link_libraries(${F_NAME} PRIVATE ${F_LIBS} vx414_warnings)
  target_link_options(${F_NAME} PRIVATE -fsanitize=fuzzer)
  add_dependencies(fuzzers ${F_NAME})
endfunction()
