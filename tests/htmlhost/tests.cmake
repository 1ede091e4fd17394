# The stand-in for the HTML engine's document: an in-process COM server built for x86_64 and
# registered in the test prefix under the document's class id before the tests run.
file(GLOB QRX_STANDIN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/htmlhost/standin/*.cpp)
add_library(qrx_standin SHARED ${QRX_STANDIN_SOURCES})
set_target_properties(qrx_standin PROPERTIES PREFIX "" OUTPUT_NAME qrx_standin
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
target_link_libraries(qrx_standin PRIVATE qrx_settings ole32 oleaut32 uuid shlwapi user32)
target_include_directories(qrx_standin PRIVATE ${CMAKE_SOURCE_DIR}/tests/htmlhost/standin)
add_dependencies(${QRX_TEST_TARGET} qrx_standin)

qrx_wine_path(QRX_STANDIN_WINE_PATH ${CMAKE_BINARY_DIR}/qrx_standin.dll)
# The registry holds the path itself, with single backslashes.
string(REPLACE "/" "\\" QRX_STANDIN_REGISTRY_PATH "Z:${CMAKE_BINARY_DIR}/qrx_standin.dll")
add_test(NAME htmlhost_register_standin
  COMMAND ${CMAKE_SOURCE_DIR}/tests/htmlhost/register_standin.sh ${CMAKE_SOURCE_DIR}/scripts/wine-run
          "${QRX_STANDIN_REGISTRY_PATH}")
set_tests_properties(htmlhost_register_standin PROPERTIES FIXTURES_SETUP html_standin TIMEOUT 120)
set_tests_properties(htmlhost PROPERTIES FIXTURES_REQUIRED html_standin)
target_compile_definitions(${QRX_TEST_TARGET} PRIVATE
  QRX_STANDIN_DLL=L"${QRX_STANDIN_WINE_PATH}"
  QRX_SCENARIO_DIR=L"${QRX_WINE_SOURCE_DIR}\\\\tests\\\\htmlhost\\\\scenarios\\\\")
