# The program that crashes under the crash filter, next to the test executable.
add_executable(qrx_crash_program ${CMAKE_SOURCE_DIR}/tests/shell/crash_program.cc)
target_link_libraries(qrx_crash_program PRIVATE qrxcore)
target_link_options(qrx_crash_program PRIVATE -municode)
add_dependencies(${QRX_TEST_TARGET} qrx_crash_program)
target_compile_definitions(${QRX_TEST_TARGET} PRIVATE
  QRX_TEST_CRASH_PROGRAM=L"${QRX_WINE_BINARY_DIR}\\\\qrx_crash_program.exe")
