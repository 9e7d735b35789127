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
