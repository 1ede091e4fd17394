# The pages: ESLint (ES5 only) and the browser tests in headless Chromium, on the staged page folder.
add_test(NAME pages_lint
  COMMAND ${CMAKE_SOURCE_DIR}/node_modules/.bin/eslint --max-warnings 0 pages
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
add_test(NAME pages_browser
  COMMAND node --test ${CMAKE_SOURCE_DIR}/tests/pages/static.test.js ${CMAKE_SOURCE_DIR}/tests/pages/flow.test.js
          ${CMAKE_SOURCE_DIR}/tests/pages/languages.test.js ${CMAKE_SOURCE_DIR}/tests/pages/trust.test.js
          ${CMAKE_SOURCE_DIR}/tests/pages/progress_line.test.js ${CMAKE_SOURCE_DIR}/tests/pages/access.test.js
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(pages_lint PROPERTIES TIMEOUT 300)
set_tests_properties(pages_browser PROPERTIES TIMEOUT 900
  ENVIRONMENT "QRX_PAGES_DIR=${QRX_PAGES_DIR};QRX_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/page-screenshots")

# The real pages in Chromium driving the product's real bridge: a 64-bit bridge host under Wine
# serves the pages' window.external calls over loopback HTTP (tests/pages/real_bridge/).
file(GLOB QRX_BRIDGE_HOST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/pages/bridge_host/*.cpp)
# The product's resources come along: its manifest decides the Windows version the bridge sees.
add_executable(qrx_bridge_host ${QRX_BRIDGE_HOST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/support/report_server.cpp
  ${QRX_RESOURCES})
add_dependencies(qrx_bridge_host qrx_icon qrx_pages qrx_product_package qrx_e2e_window_tool qrx_standin)
target_include_directories(qrx_bridge_host PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(qrx_bridge_host PRIVATE qrxcore ws2_32)
target_link_options(qrx_bridge_host PRIVATE -municode)
set_target_properties(qrx_bridge_host PROPERTIES OUTPUT_NAME qrx_bridge_host RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_test(NAME pages_real_bridge
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tests/pages/real_bridge/test_real_bridge.py --build ${CMAKE_BINARY_DIR} -v)
# Installs and removes the test product and binds the fixed report and licence ports, like e2e.
set_tests_properties(pages_real_bridge PROPERTIES FIXTURES_REQUIRED html_standin TIMEOUT 1200
  ENVIRONMENT "QRX_PAGES_DIR=${QRX_PAGES_DIR};QRX_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/page-screenshots/real")
