# Whole runs of the packed 64-bit wizard under Wine, driven by a Python test program: the stand-in
# document runs a scenario script in place of the pages, loopback servers serve the package and
# record the reports, and a small Windows tool acts on the wizard's windows from outside.
include(${CMAKE_SOURCE_DIR}/tests/product_package/package.cmake)

add_executable(qrx_e2e_window_tool ${CMAKE_SOURCE_DIR}/tests/e2e/tool/window_tool.cpp)
target_compile_definitions(qrx_e2e_window_tool PRIVATE UNICODE _UNICODE)
target_compile_options(qrx_e2e_window_tool PRIVATE -Wall -Wextra -Werror)
target_link_options(qrx_e2e_window_tool PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(qrx_e2e_window_tool PROPERTIES OUTPUT_NAME e2e_window_tool
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# The floor of the start-up benchmark: an empty window.
add_executable(qrx_e2e_empty_window WIN32 ${CMAKE_SOURCE_DIR}/tests/e2e/tool/empty_window.cpp)
target_compile_definitions(qrx_e2e_empty_window PRIVATE UNICODE _UNICODE)
target_compile_options(qrx_e2e_empty_window PRIVATE -Wall -Wextra -Werror)
target_link_options(qrx_e2e_empty_window PRIVATE -municode -static -static-libgcc -static-libstdc++)
set_target_properties(qrx_e2e_empty_window PROPERTIES OUTPUT_NAME e2e_empty_window
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# Planted beside a copy of the wizard under the names of the system DLLs it uses.
add_library(qrx_e2e_planted_dll SHARED ${CMAKE_SOURCE_DIR}/tests/e2e/tool/planted_dll.cpp)
target_compile_definitions(qrx_e2e_planted_dll PRIVATE UNICODE _UNICODE)
target_compile_options(qrx_e2e_planted_dll PRIVATE -Wall -Wextra -Werror)
target_link_options(qrx_e2e_planted_dll PRIVATE -static -static-libgcc -static-libstdc++)
set_target_properties(qrx_e2e_planted_dll PROPERTIES PREFIX "" OUTPUT_NAME e2e_planted
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

add_test(NAME e2e
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/e2e/test_wizard.py --build ${CMAKE_BINARY_DIR} -v)
# The whole runs install and remove the test product and bind the fixed report port; the suite
# runs its tests one at a time, so nothing else in this prefix touches them meanwhile.
set_tests_properties(e2e PROPERTIES FIXTURES_REQUIRED html_standin TIMEOUT 1500)

# Trusts the test root in the prefix's machine store and drives urlmon and WinHTTP by hand.
add_executable(qrx_e2e_net_tool ${CMAKE_SOURCE_DIR}/tests/e2e/tool/net_tool.cpp)
target_link_libraries(qrx_e2e_net_tool PRIVATE qrxcore)
target_link_options(qrx_e2e_net_tool PRIVATE -municode)
set_target_properties(qrx_e2e_net_tool PROPERTIES OUTPUT_NAME e2e_net_tool RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(qrx_e2e_net_tool qrx_test_pki)

# The wizard with the licence and the reports over https on port 8443, signed and packed like the
# shipped one (dist/ holds the plain one).
add_executable(qrx_e2e_tls_wizard WIN32 ${CMAKE_SOURCE_DIR}/src/app/main.cpp
  ${CMAKE_SOURCE_DIR}/tests/e2e/tool/tls_endpoints.cpp ${QRX_RESOURCES})
add_dependencies(qrx_e2e_tls_wizard qrx_icon)
target_link_libraries(qrx_e2e_tls_wizard PRIVATE qrxcore)
target_link_options(qrx_e2e_tls_wizard PRIVATE -municode)
set_target_properties(qrx_e2e_tls_wizard PROPERTIES OUTPUT_NAME QRXDownloadManagerTls
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
qrx_pack_in_place(qrx_e2e_tls_wizard)
