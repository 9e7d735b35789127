# Code signing in the Windows build. By default the build makes a test root CA
# and test code-signing certificates (scripts/make-test-certs.sh, under
# <build>/signing, never committed) and signs as the test "Harbinel"; a
# release build names the maker's certificate and key instead (see README).
find_program(VARNEL_OSSLSIGNCODE osslsigncode REQUIRED)
find_program(VARNEL_OPENSSL openssl REQUIRED)
find_program(VARNEL_WIXL wixl REQUIRED)
set(VARNEL_TEST_CERTS ${PROJECT_BINARY_DIR}/signing)
set(VARNEL_SIGNING_CERT ${VARNEL_TEST_CERTS}/harbinel.crt CACHE FILEPATH "Certificate (chain) that signs varnel.exe and varnel.msi")
set(VARNEL_SIGNING_KEY ${VARNEL_TEST_CERTS}/harbinel.key CACHE FILEPATH "Private key of VARNEL_SIGNING_CERT")
set(VARNEL_SIGNING_TIMESTAMP "" CACHE STRING "Time-stamping service (RFC 3161) for release signatures; empty: none")

if(NOT TARGET varnel_test_certs)
  add_custom_command(OUTPUT ${VARNEL_TEST_CERTS}/stamp
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/make-test-certs.sh ${VARNEL_TEST_CERTS}
    DEPENDS ${PROJECT_SOURCE_DIR}/scripts/make-test-certs.sh
    COMMENT "Making the test code-signing certificates"
    VERBATIM)
  add_custom_target(varnel_test_certs DEPENDS ${VARNEL_TEST_CERTS}/stamp)
endif()

# The commands that sign IN as OUT with the configured certificate.
function(varnel_sign_commands out_var in out)
  set(timestamp)
  if(VARNEL_SIGNING_TIMESTAMP)
    set(timestamp -ts ${VARNEL_SIGNING_TIMESTAMP})
  endif()
  set(${out_var}
    COMMAND ${CMAKE_COMMAND} -E rm -f ${out}.new
    COMMAND ${VARNEL_OSSLSIGNCODE} sign -certs ${VARNEL_SIGNING_CERT} -key ${VARNEL_SIGNING_KEY}
            -h sha256 -n "Zelto Varnel" ${timestamp} -in ${in} -out ${out}.new
    COMMAND ${CMAKE_COMMAND} -E rename ${out}.new ${out}
    PARENT_SCOPE)
endfunction()

# What a signing step depends on: the test certificates, or the release ones.
set(VARNEL_SIGNING_DEPENDS varnel_test_certs ${VARNEL_TEST_CERTS}/stamp)
if(NOT VARNEL_SIGNING_CERT MATCHES "^${VARNEL_TEST_CERTS}/")
  list(APPEND VARNEL_SIGNING_DEPENDS ${VARNEL_SIGNING_CERT} ${VARNEL_SIGNING_KEY})
endif()

# The agent's ProductCode, defined once in the self-update's rules.
file(STRINGS ${PROJECT_SOURCE_DIR}/src/dlmgr/self_update_rules.h product_code_line REGEX "kAgentProductCode\\[\\] = ")
string(REGEX MATCH "[0-9A-F]+-[0-9A-F-]+" VARNEL_PRODUCT_CODE "${product_code_line}")
if(NOT VARNEL_PRODUCT_CODE)
  message(FATAL_ERROR "kAgentProductCode not found in src/dlmgr/self_update_rules.h")
endif()
