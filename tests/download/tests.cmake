# The fixture server is a Python program that the tests start themselves; control requests use
# plain sockets.
target_link_libraries(${QRX_TEST_TARGET} PRIVATE ws2_32)
set_tests_properties(download PROPERTIES TIMEOUT 300)
