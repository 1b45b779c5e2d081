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
  tests/unit/report_test.cpp
  tests/unit/restart_test.cpp
  tests/unit/validate_test.cpp)
target_link_libraries(unit_tests PRIVATE core fakes GTest::gtest_main)
gtest_discover_tests(unit_tests DISCOVERY_TIMEOUT 30)
