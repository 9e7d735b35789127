# The XML-RPC client library, XmlRpc++ (Debian package flxmlrpc), as the
# target varnel_xmlrpc. On Linux it is Debian's libflxmlrpc-dev; for Windows
# the Debian source package is unpacked into the build folder
# (scripts/flxmlrpc-source.sh) and its client half cross-compiled over
# Winsock. Either way code includes "XmlRpc.h".
if(TARGET varnel_xmlrpc)
  return()
endif()

if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(FLXMLRPC REQUIRED IMPORTED_TARGET flxmlrpc)
  add_library(varnel_xmlrpc INTERFACE)
  target_link_libraries(varnel_xmlrpc INTERFACE PkgConfig::FLXMLRPC)
  return()
endif()

set(flxmlrpc_dir ${CMAKE_BINARY_DIR}/third_party/flxmlrpc)
execute_process(
  COMMAND sh ${PROJECT_SOURCE_DIR}/scripts/flxmlrpc-source.sh ${flxmlrpc_dir}
  RESULT_VARIABLE flxmlrpc_result)
if(NOT flxmlrpc_result EQUAL 0 OR NOT EXISTS ${flxmlrpc_dir}/src/XmlRpcClient.cpp)
  message(FATAL_ERROR "Could not unpack the flxmlrpc source package into ${flxmlrpc_dir}")
endif()

set(flxmlrpc_sources)
foreach(name XmlRpcClient XmlRpcDispatch XmlRpcMutex XmlRpcSocket XmlRpcSource XmlRpcUtil XmlRpcValue)
  list(APPEND flxmlrpc_sources ${flxmlrpc_dir}/src/${name}.cpp)
endforeach()
add_library(varnel_xmlrpc STATIC ${flxmlrpc_sources})
# Ours first: compat.h and an empty config.h in place of the Linux one.
target_include_directories(varnel_xmlrpc BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/cmake/flxmlrpc)
target_include_directories(varnel_xmlrpc SYSTEM PUBLIC ${flxmlrpc_dir}/include)
# _WINDOWS sizes the library's socket handle (XmlRpcSocket::Socket, a member
# of every client) for Winsock: code that includes the headers must see the
# same definition, or a client it allocates has another layout than the one
# the library's code fills in.
target_compile_definitions(varnel_xmlrpc PUBLIC _WINDOWS)
# Third-party code: its warnings are not ours to fix.
target_compile_options(varnel_xmlrpc PRIVATE -w)
target_link_libraries(varnel_xmlrpc PUBLIC ws2_32)
