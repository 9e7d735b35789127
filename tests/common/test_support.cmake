# The support shared by the test programs: a temporary folder, the guard of
# the process-wide hooks (headers only), and on Windows the Wine helpers.
# Included by tests/unit and tests/win; each test program links it.
if(NOT TARGET varnel_test_support)
  set(support_sources ${CMAKE_CURRENT_LIST_DIR}/temp_folder.cpp)
  if(WIN32)
    list(APPEND support_sources ${CMAKE_CURRENT_LIST_DIR}/wine.cpp)
  endif()
  add_library(varnel_test_support STATIC ${support_sources})
  target_include_directories(varnel_test_support PUBLIC ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(varnel_test_support PUBLIC varnel_core)
  target_compile_definitions(varnel_test_support PRIVATE VARNEL_BINARY_DIR="${PROJECT_BINARY_DIR}")
  varnel_warnings(varnel_test_support)
endif()

# Adds the shared suites (tests/common/<name>_suite.cpp, run against each
# platform's reader or parser) to a test program.
function(varnel_shared_suites target)
  foreach(name IN LISTS ARGN)
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/common/${name}_suite.cpp)
  endforeach()
endfunction()

# Runs the host build's loopback servers (tests/win/service/loopback_servers.sh:
# the reference update service and the test responder) in the folder `work`
# around the test win.<sub>: CTest starts them in win.<sub>.<step>_start
# before it and stops them in win.<sub>.<step>_stop after it, as the fixture
# `fixture`.
function(varnel_loopback_servers sub step fixture work)
  set(script ${PROJECT_SOURCE_DIR}/tests/win/service/loopback_servers.sh)
  add_test(NAME win.${sub}.${step}_start COMMAND sh ${script} start ${VARNEL_HOST_BUILD_DIR} ${work})
  add_test(NAME win.${sub}.${step}_stop COMMAND sh ${script} stop ${work})
  set_tests_properties(win.${sub}.${step}_start PROPERTIES FIXTURES_SETUP ${fixture} TIMEOUT 60)
  set_tests_properties(win.${sub}.${step}_stop PROPERTIES FIXTURES_CLEANUP ${fixture} TIMEOUT 60)
  varnel_loopback_client(win.${sub} ${fixture} ${work})
endfunction()

# Makes the test `test` need the loopback servers of `fixture`, run in
# `work`; the test program finds their ports and the service's log through
# its environment.
function(varnel_loopback_client test fixture work)
  set_tests_properties(${test} PROPERTIES
    FIXTURES_REQUIRED ${fixture}
    ENVIRONMENT "VARNEL_WINEPREFIX=${VARNEL_WINEPREFIX};VARNEL_SERVICE_PORT_FILE=${work}/service.port;VARNEL_RESPONDER_PORT_FILE=${work}/responder.port;VARNEL_SERVICE_LOG=${work}/service.log")
endfunction()

# Builds the program's resource script (its dialogs, menus, strings and
# icons) into the Windows test program `target`, for tests that open the
# program's windows. The caller enables the RC language first.
function(varnel_test_resources target)
  set(script ${PROJECT_SOURCE_DIR}/resources/varnel.rc)
  target_sources(${target} PRIVATE ${script})
  set_source_files_properties(${script} PROPERTIES
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/resources/strings.inc;${PROJECT_SOURCE_DIR}/resources/varnel.manifest;${PROJECT_SOURCE_DIR}/resources/resource.h;${PROJECT_SOURCE_DIR}/resources/varnel.ico;${VARNEL_PULSE_DIR}/pulse_icons.rc;${VARNEL_EVENT_MESSAGES_OUTPUTS}")
  add_dependencies(${target} varnel_pulse_icons varnel_event_messages)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/resources ${VARNEL_PULSE_DIR}
    ${VARNEL_EVENT_MESSAGES_DIR})
endfunction()
