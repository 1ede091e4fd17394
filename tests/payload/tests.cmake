# This test executable carries the product's page table itself (signed and packed after linking),
# and reads the packed product too.
qrx_pack_in_place(${QRX_TEST_TARGET})
add_dependencies(${QRX_TEST_TARGET} qrx_dist)

# The licence fixture server on 127.0.0.2:80 for the licence tests.
set(QRX_LICENCE_SERVER_STATE ${CMAKE_BINARY_DIR}/licence_server)
add_test(NAME payload_licence_server_start
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/licence_server.py start ${QRX_LICENCE_SERVER_STATE})
add_test(NAME payload_licence_server_stop
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/licence_server.py stop ${QRX_LICENCE_SERVER_STATE})
set_tests_properties(payload_licence_server_start PROPERTIES FIXTURES_SETUP licence_server TIMEOUT 90)
set_tests_properties(payload_licence_server_stop PROPERTIES FIXTURES_CLEANUP licence_server)
set_tests_properties(payload PROPERTIES FIXTURES_REQUIRED licence_server)

# The packing tool's output, checked from the outside with osslsigncode.
add_test(NAME payload_packed_executable
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/qrxpack_check.sh ${QRX_PACK_TOOL} ${QRX_DIST_EXE} ${QRX_CERT} ${QRX_PAGES_DIR})
