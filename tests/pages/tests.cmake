# The pages: ESLint (ES5 only) and the browser tests in headless Chromium, on the staged page folder.
add_test(NAME pages_lint
  COMMAND ${CMAKE_SOURCE_DIR}/node_modules/.bin/eslint --max-warnings 0 pages
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
add_test(NAME pages_browser
  COMMAND node --test ${CMAKE_SOURCE_DIR}/tests/pages/static.test.js ${CMAKE_SOURCE_DIR}/tests/pages/flow.test.js
          ${CMAKE_SOURCE_DIR}/tests/pages/languages.test.js ${CMAKE_SOURCE_DIR}/tests/pages/trust.test.js
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(pages_lint PROPERTIES TIMEOUT 300)
set_tests_properties(pages_browser PROPERTIES TIMEOUT 900
  ENVIRONMENT "QRX_PAGES_DIR=${QRX_PAGES_DIR};QRX_SCREENSHOT_DIR=${CMAKE_BINARY_DIR}/page-screenshots")
