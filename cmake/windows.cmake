# Windows build (MinGW-w64): the program, the Win32 test programs and the
# stand-ins for what Wine lacks. The tests run under Wine through
# tests/wine/tools/run-wine-test.sh in a throwaway prefix under the build
# folder. tests/wine/ holds the test programs, tests/wine/support/ their
# helpers, tests/wine/tools/ the programs and scripts that drive or observe
# the program for them.
enable_language(RC)

set(SIZE_FLAGS -Os -ffunction-sections -fdata-sections)
set(STATIC_LINK -static -municode -Wl,--gc-sections -s)
# Build paths stay out of every image; the link writes no time of its own.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}/= -ffile-prefix-map=${CMAKE_BINARY_DIR}/=)
# The program's own defences: stack canaries and checked copies (the GNU
# runtime's libssp, linked in statically), and an image that Windows may
# place anywhere, never runs from data, and treats as aware of Remote
# Desktop sessions, where it is meant to run.
set(HARDENING_FLAGS -fstack-protector-strong -D_FORTIFY_SOURCE=2)
set(HARDENED_LINK -fstack-protector-strong -Wl,--no-insert-timestamp -Wl,--dynamicbase
  -Wl,--high-entropy-va -Wl,--nxcompat -Wl,--tsaware)
# The header's TimeDateStamp, in seconds since 1970: the release command
# passes the commit's time (SOURCE_DATE_EPOCH); other builds carry none.
set(ZV_TIMESTAMP 0 CACHE STRING "TimeDateStamp of the program's image")
set(PROGRAM_LIBS ws2_32 comctl32 gdi32 user32 advapi32 shell32)
set(SYSTEM_LIBS ${PROGRAM_LIBS} iphlpapi)

set(ADAPTER_SOURCES
  adapters/firewall.cpp
  adapters/probes.cpp
  adapters/sysload.cpp
  adapters/registry.cpp
  adapters/services.cpp)
set(SHELL_SOURCES
  shell/buttons.cpp
  shell/status.cpp
  shell/window.cpp)

add_executable(ZelvorTarnwick WIN32
  shell/main.cpp shell/elevation.cpp shell/loadconfig.cpp ${SHELL_SOURCES} ${ADAPTER_SOURCES} ${CORE_SOURCES}
  res/app.rc)
target_compile_options(ZelvorTarnwick PRIVATE ${SIZE_FLAGS} ${HARDENING_FLAGS})
target_compile_definitions(ZelvorTarnwick PRIVATE UNICODE _UNICODE)
target_link_options(ZelvorTarnwick PRIVATE ${STATIC_LINK} ${HARDENED_LINK} -mwindows
  -Wl,--require-defined=_load_config_used -Wl,-Map=${CMAKE_BINARY_DIR}/ZelvorTarnwick.map)
target_link_libraries(ZelvorTarnwick PRIVATE ${PROGRAM_LIBS})
# GNU ld keeps the load configuration but leaves its directory entry empty;
# the step also enters the timestamp and the header's checksum.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(TARGET ZelvorTarnwick POST_BUILD
  COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/cmake/pe-post-link.py
    $<TARGET_FILE:ZelvorTarnwick> ${CMAKE_BINARY_DIR}/ZelvorTarnwick.map ${ZV_TIMESTAMP}
  VERBATIM)
set_source_files_properties(res/app.rc PROPERTIES
  OBJECT_DEPENDS "${CMAKE_SOURCE_DIR}/res/app.manifest;${CMAKE_SOURCE_DIR}/res/app.ico")

# Win32 programs used only by the tests.
function(add_wine_program name)
  cmake_parse_arguments(P "WINDOWS" "" "SOURCES" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_compile_definitions(${name} PRIVATE UNICODE _UNICODE)
  target_link_options(${name} PRIVATE ${STATIC_LINK})
  if(P_WINDOWS)
    target_link_options(${name} PRIVATE -mwindows)
  endif()
  target_link_libraries(${name} PRIVATE ${SYSTEM_LIBS})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine/support)
endfunction()

add_wine_program(rdpsvc SOURCES tests/standins/rdpsvc_service.cpp tests/standins/rdpsvc.cpp)
add_wine_program(netsh_standin SOURCES tests/standins/netsh.cpp)
# Of the GUI subsystem, so that Wine gives it no console of its own: a
# console program started with CREATE_NO_WINDOW gets a headless conhost.exe
# each time, and now and then one of those runs reported a failure for a
# command that had done its work.
target_link_options(netsh_standin PRIVATE -Wl,--subsystem,windows)
add_wine_program(planted_netsh SOURCES tests/standins/planted_netsh.cpp)
add_wine_program(standin_setup SOURCES tests/standins/setup.cpp)

set(WINE_TESTS
  conversion_test
  registry_test
  services_test
  waits_test
  firewall_test)

add_library(wine_support STATIC tests/wine/support/check.cpp tests/wine/support/prefix.cpp
  tests/wine/support/sockets.cpp)
target_compile_definitions(wine_support PRIVATE UNICODE _UNICODE)
target_link_libraries(wine_support PUBLIC ${SYSTEM_LIBS})

function(add_wine_test name)
  add_wine_program(${name} SOURCES tests/wine/${name}.cpp ${ARGN})
  target_link_libraries(${name} PRIVATE wine_support)
endfunction()
# A program that drives or observes the program for the tests.
function(add_wine_tool name)
  add_wine_program(${name} SOURCES tests/wine/tools/${name}.cpp ${ARGN})
  target_link_libraries(${name} PRIVATE wine_support)
endfunction()

add_wine_test(conversion_test shell/status.cpp adapters/registry.cpp workflow/portconv.cpp ${COMMON_SOURCES})
add_wine_test(registry_test adapters/registry.cpp)
add_wine_test(probes_test adapters/probes.cpp adapters/sysload.cpp adapters/probe_rules.cpp)
add_wine_test(services_test adapters/services.cpp adapters/probes.cpp adapters/sysload.cpp adapters/probe_rules.cpp workflow/restart.cpp
  shell/status.cpp adapters/registry.cpp ${COMMON_SOURCES})
add_wine_test(waits_test shell/status.cpp adapters/registry.cpp ${COMMON_SOURCES})
add_wine_test(firewall_test adapters/firewall.cpp adapters/netsh_text.cpp ${COMMON_SOURCES})

set(WINE_TOOLS ${CMAKE_SOURCE_DIR}/tests/wine/tools)
set(WINE_RUNNER ${WINE_TOOLS}/run-wine-test.sh)
add_test(NAME wine_prefix COMMAND ${WINE_RUNNER} --prepare ${CMAKE_BINARY_DIR})
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine RUN_SERIAL TRUE)
# A test in the shared prefix: after it is prepared, one at a time.
function(add_prefix_test name)
  add_test(NAME ${name} COMMAND ${ARGN})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine RUN_SERIAL TRUE)
endfunction()
foreach(t ${WINE_TESTS})
  add_prefix_test(${t} ${WINE_RUNNER} ${CMAKE_BINARY_DIR} ${t}.exe)
endforeach()
# The probes get a network namespace with a non-loopback address and IPv6.
add_prefix_test(probes_test ${WINE_TOOLS}/in-test-netns.sh
  ${WINE_RUNNER} ${CMAKE_BINARY_DIR} probes_test.exe)

# The loopback probe under the Windows versions Wine can report.
add_wine_tool(probe_version_check adapters/probes.cpp adapters/sysload.cpp adapters/probe_rules.cpp)
add_prefix_test(probe_versions_test ${WINE_TOOLS}/probe-versions-test.sh ${CMAKE_BINARY_DIR})

# The window, driven in this process (with a scripted DoApply) and from
# another process against the real program; its resources; its imports.
add_library(wine_capture STATIC tests/wine/support/capture.cpp tests/wine/support/app.cpp)
target_compile_definitions(wine_capture PRIVATE UNICODE _UNICODE)
target_link_libraries(wine_capture PUBLIC wine_support)
add_wine_test(window_unit_test shell/window.cpp shell/buttons.cpp shell/status.cpp adapters/registry.cpp
  ${COMMON_SOURCES})
target_link_libraries(window_unit_test PRIVATE wine_capture)
add_wine_test(window_test)
target_link_libraries(window_test PRIVATE wine_capture wine_support)
add_wine_test(resource_test)
add_dependencies(window_test ZelvorTarnwick)
add_dependencies(resource_test ZelvorTarnwick)
foreach(t window_unit_test window_test resource_test)
  add_prefix_test(${t} ${WINE_RUNNER} ${CMAKE_BINARY_DIR} ${t}.exe)
endforeach()
add_test(NAME imports_test COMMAND ${CMAKE_SOURCE_DIR}/tests/imports-test.sh
  ${CMAKE_OBJDUMP} $<TARGET_FILE:ZelvorTarnwick>)

# End to end: the real program driven through its window, one CTest test a
# scenario; transcripts go to build/mingw/artifacts/e2e.
add_wine_tool(ui_driver)
target_link_libraries(ui_driver PRIVATE wine_capture wine_support)
add_dependencies(ui_driver ZelvorTarnwick)
file(GLOB E2E_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.scenario)
# Scenarios whose listener needs a non-loopback address get a network
# namespace of their own, as probes_test does.
set(E2E_IN_NETNS 19-listener-table-only)
foreach(scenario ${E2E_SCENARIOS})
  get_filename_component(name ${scenario} NAME_WE)
  if(name IN_LIST E2E_IN_NETNS)
    add_prefix_test(e2e_${name} ${WINE_TOOLS}/in-test-netns.sh
      ${WINE_RUNNER} ${CMAKE_BINARY_DIR} ui_driver.exe Z:${scenario})
  else()
    add_prefix_test(e2e_${name} ${WINE_RUNNER} ${CMAKE_BINARY_DIR} ui_driver.exe Z:${scenario})
  endif()
endforeach()
# The happy path and a refused first probe again under the generations of
# Server 2012 R2 (6.3) and Server 2019 (10.0), as Wine reports them to the
# program; the same expected transcripts, and Wine's traces as witnesses
# that the version reached the program.
foreach(name 01-happy-path 09-late-listener)
  foreach(version win81 win10)
    add_prefix_test(e2e_${name}-${version} ${WINE_TOOLS}/e2e-version-run.sh
      ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}/tests/e2e/${name}.scenario ${version})
  endforeach()
endforeach()

# The README's pictures (scripts/screenshot.sh) and the browser test's look
# into the prefix of the run command.
add_wine_tool(screenshot)
target_link_libraries(screenshot PRIVATE wine_capture)
add_dependencies(screenshot ZelvorTarnwick)
add_wine_tool(window_probe)
target_link_libraries(window_probe PRIVATE wine_capture)

# The run command without a display, used through headless Chromium.
add_test(NAME browser_test COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/browser/browser_test.py
  ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(browser_test PROPERTIES RUN_SERIAL TRUE TIMEOUT 1200)

# Soak: 50 commands in one run of the program (about five minutes).
add_wine_test(soak_test)
target_link_libraries(soak_test PRIVATE wine_capture wine_support)
add_dependencies(soak_test ZelvorTarnwick)
add_prefix_test(soak_test ${WINE_RUNNER} ${CMAKE_BINARY_DIR} soak_test.exe)

# The benchmark (scripts/bench.sh); not a test.
add_wine_program(minimal_window WINDOWS SOURCES tests/bench/minimal_window.cpp)
add_wine_program(bench SOURCES tests/bench/bench.cpp)
target_link_libraries(bench PRIVATE wine_capture wine_support)
add_dependencies(bench ZelvorTarnwick minimal_window)

# DLL planting: marker DLLs under the names the program loads, each
# forwarding to the system directory's DLL of that name (its .def made from
# Wine's own copy), a control program without defences, and the test that
# plants them beside a copy of the program.
# A marker DLL (tests/standins/marker_dll.cpp) built as NAME.dll, with
# extra sources such as a .def file.
function(add_marker_dll target name)
  add_library(${target} SHARED tests/standins/marker_dll.cpp ${ARGN})
  set_target_properties(${target} PROPERTIES OUTPUT_NAME ${name} PREFIX "" IMPORT_PREFIX "marker_")
  target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
  target_link_options(${target} PRIVATE -static -s)
endfunction()
set(WINE_DLL_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH "Wine's own 64-bit DLLs")
set(PLANTED_NAMES iphlpapi dnsapi comctl32)
set(PLANTED_TARGETS)
foreach(name ${PLANTED_NAMES})
  set(def ${CMAKE_BINARY_DIR}/planted-defs/${name}.def)
  add_custom_command(OUTPUT ${def}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/planted-defs
    COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/standins/marker_def.py ${WINE_DLL_DIR}/${name}.dll ${name} ${def}
    DEPENDS ${CMAKE_SOURCE_DIR}/tests/standins/marker_def.py ${WINE_DLL_DIR}/${name}.dll
    VERBATIM)
  add_marker_dll(marker_${name} ${name} ${def})
  set_target_properties(marker_${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/planted)
  list(APPEND PLANTED_TARGETS marker_${name})
endforeach()
add_wine_program(planted_control SOURCES tests/standins/planted_control.cpp)
add_wine_test(planted_test)
target_link_libraries(planted_test PRIVATE wine_capture)
add_dependencies(planted_test ZelvorTarnwick planted_control ${PLANTED_TARGETS})
add_prefix_test(planted_test ${WINE_RUNNER} ${CMAKE_BINARY_DIR} planted_test.exe)
# Windows' search order for the planted names: a DLL beside the program first.
string(REPLACE ";" "," PLANTED_LIST "${PLANTED_NAMES}")
set_tests_properties(planted_test PROPERTIES ENVIRONMENT "ZV_DLLOVERRIDES=${PLANTED_LIST}=n,b")

# Start-up decisions: wWinMain linked with faked elevation calls, and the
# real relaunch in a helper.
add_wine_program(relaunch_probe SOURCES tests/wine/tools/relaunch_probe.cpp shell/elevation.cpp)
add_wine_test(startup_test shell/main.cpp ${SHELL_SOURCES} ${ADAPTER_SOURCES} ${CORE_SOURCES})
target_link_libraries(startup_test PRIVATE wine_capture)
# A DLL beside startup_test.exe that only a search of the program's folder finds.
add_marker_dll(zv_search_marker zv_search_marker)
add_dependencies(startup_test relaunch_probe zv_search_marker)
add_prefix_test(startup_test ${WINE_RUNNER} ${CMAKE_BINARY_DIR} startup_test.exe)

# The release command (scripts/release.sh): the same bytes from two clones
# at different paths and times; its headers; its signature.
set(RELEASE_WORK ${CMAKE_BINARY_DIR}/release-check)
add_test(NAME release_repro_test COMMAND ${CMAKE_SOURCE_DIR}/tests/release/repro-test.sh
  ${CMAKE_SOURCE_DIR} ${RELEASE_WORK})
set_tests_properties(release_repro_test PROPERTIES FIXTURES_SETUP release RUN_SERIAL TRUE TIMEOUT 900)
add_test(NAME release_headers_test COMMAND ${CMAKE_SOURCE_DIR}/tests/release/headers-test.sh ${RELEASE_WORK}/a/src)
set_tests_properties(release_headers_test PROPERTIES FIXTURES_REQUIRED release)
add_wine_tool(shows_window)
target_link_libraries(shows_window PRIVATE wine_capture)
add_prefix_test(release_signing_test ${CMAKE_SOURCE_DIR}/tests/release/signing-test.sh
  ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR}/release-signing ${RELEASE_WORK}/a/src ${CMAKE_BINARY_DIR})
set_tests_properties(release_signing_test PROPERTIES FIXTURES_REQUIRED "wine;release")

# The listener table where the loader refuses LOAD_LIBRARY_SEARCH_SYSTEM32:
# the test replaces adapters/sysload.cpp and plants iphlpapi and dnsapi.
add_wine_program(probe_fallback_child SOURCES tests/wine/tools/probe_fallback_child.cpp tests/wine/support/check.cpp
  tests/wine/support/sockets.cpp
  adapters/probes.cpp adapters/probe_rules.cpp)
add_wine_test(probe_fallback_test)
add_dependencies(probe_fallback_test probe_fallback_child marker_iphlpapi marker_dnsapi)
add_prefix_test(probe_fallback_test ${WINE_RUNNER} ${CMAKE_BINARY_DIR} probe_fallback_test.exe)
set_tests_properties(probe_fallback_test PROPERTIES ENVIRONMENT "ZV_DLLOVERRIDES=iphlpapi,dnsapi=n,b")

# The documents' manual recovery, after a completed change.
add_wine_test(recovery_test)
target_link_libraries(recovery_test PRIVATE wine_capture)
add_dependencies(recovery_test ZelvorTarnwick)
add_prefix_test(recovery_test ${CMAKE_SOURCE_DIR}/tests/docs/recovery-test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})

# The run command stopped with Ctrl+C.
add_test(NAME run_interrupt_test COMMAND ${CMAKE_SOURCE_DIR}/tests/run-interrupt-test.sh ${CMAKE_SOURCE_DIR} ${CMAKE_BINARY_DIR})
set_tests_properties(run_interrupt_test PROPERTIES RUN_SERIAL TRUE TIMEOUT 600)
