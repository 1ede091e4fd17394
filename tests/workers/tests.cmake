# The download fixture server serves the workers' downloads.
target_sources(${QRX_TEST_TARGET} PRIVATE ${CMAKE_SOURCE_DIR}/tests/download/fixture.cpp)
target_link_libraries(${QRX_TEST_TARGET} PRIVATE ws2_32)
set_tests_properties(workers PROPERTIES TIMEOUT 300)
