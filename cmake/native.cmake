# Native build: the pure logic with its unit tests. The adapters and the
# window's functions are replaced at link time by the fakes under tests/fakes.
option(SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(GTest REQUIRED)
include(GoogleTest)

add_library(core STATIC ${CORE_SOURCES})
add_library(fakes STATIC tests/fakes/fake_system.cpp)

add_executable(unit_tests
  tests/unit/apply_test.cpp
  tests/unit/netsh_text_test.cpp
  tests/unit/portconv_test.cpp
  tests/unit/probe_rules_test.cpp
  tests/unit/report_test.cpp
  tests/unit/restart_test.cpp
  tests/unit/validate_test.cpp)
target_link_libraries(unit_tests PRIVATE core fakes GTest::gtest_main)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30)

# Includes run downward only (shell -> workflow -> adapters -> common).
if(NOT SANITIZE)
  add_test(NAME layering_test COMMAND ${CMAKE_SOURCE_DIR}/tests/layering-test.sh ${CMAKE_SOURCE_DIR})
endif()

# libFuzzer target over the port text (clang only); scripts/test.sh runs it
# for a short while, scripts/fuzz.sh for as long as you like.
option(FUZZ "Build the libFuzzer target" OFF)
if(FUZZ)
  add_executable(port_text_fuzz tests/fuzz/port_text_fuzz.cpp)
  target_compile_options(port_text_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_options(port_text_fuzz PRIVATE -fsanitize=fuzzer)
  target_link_libraries(port_text_fuzz PRIVATE core fakes)
  set(FUZZ_SECONDS 30 CACHE STRING "How long the fuzz test runs")
  add_test(NAME port_text_fuzz COMMAND port_text_fuzz -max_total_time=${FUZZ_SECONDS}
    -max_len=96 -print_final_stats=1 ${CMAKE_BINARY_DIR}/fuzz-corpus)
  file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/fuzz-corpus)
endif()
