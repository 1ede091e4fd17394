# Archives for the zip tests are written by Python's zipfile before the tests run.
add_test(NAME zip_fixtures COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/zip/make_fixtures.py ${CMAKE_BINARY_DIR}/zip-fixtures)
set_tests_properties(zip_fixtures PROPERTIES FIXTURES_SETUP zip_fixtures TIMEOUT 60)
set_tests_properties(zip PROPERTIES FIXTURES_REQUIRED zip_fixtures FIXTURES_SETUP zip_written)

# The log archive the Windows layer wrote, checked with Info-ZIP and Python.
add_test(NAME zip_written COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/zip/check_written.py ${CMAKE_BINARY_DIR}/zip-written/log.zip)
set_tests_properties(zip_written PROPERTIES FIXTURES_REQUIRED zip_written TIMEOUT 60)

# The portable library built natively: sanitizer tests, interoperability, a short fuzzing run.
add_test(NAME zip_native COMMAND ${CMAKE_SOURCE_DIR}/tests/zip/native/run ${CMAKE_BINARY_DIR}/zip-native)
set_tests_properties(zip_native PROPERTIES TIMEOUT 900)

# Extraction throughput under Wine, for the benchmark (not a test).
add_executable(bench_zip_extract ${CMAKE_SOURCE_DIR}/tests/zip/bench/bench_extract.cpp)
target_link_libraries(bench_zip_extract PRIVATE qrxcore)
target_link_options(bench_zip_extract PRIVATE -municode)
