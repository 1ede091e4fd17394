# GoogleTest from Debian's sources, built with the cross compiler, and one test executable per
# folder under tests/ (shared helpers under tests/support/), each run once through Wine.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/wine-run)

# Paths as a Wine program sees them.
function(qrx_wine_path out unix_path)
  string(REPLACE "/" "\\\\" windows_path "${unix_path}")
  set(${out} "Z:${windows_path}" PARENT_SCOPE)
endfunction()
qrx_wine_path(QRX_WINE_SOURCE_DIR ${CMAKE_SOURCE_DIR})
qrx_wine_path(QRX_WINE_BINARY_DIR ${CMAKE_BINARY_DIR})
qrx_wine_path(QRX_WINE_SHIPPED_EXE "${QRX_SHIPPED_EXE}")

file(GLOB QRX_TEST_SUPPORT_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
add_library(qrx_test_support STATIC ${QRX_TEST_SUPPORT_SOURCES})
target_link_libraries(qrx_test_support PUBLIC qrxcore gtest ws2_32)
target_include_directories(qrx_test_support PUBLIC ${CMAKE_SOURCE_DIR}/tests)
target_compile_definitions(qrx_test_support PUBLIC
  QRX_TEST_SOURCE_DIR=L"${QRX_WINE_SOURCE_DIR}"
  QRX_TEST_BINARY_DIR=L"${QRX_WINE_BINARY_DIR}"
  QRX_TEST_SHIPPED_EXE=L"${QRX_WINE_SHIPPED_EXE}"
  QRX_TEST_PRODUCT_EXE=L"${QRX_WINE_BINARY_DIR}\\\\QRXDownloadManager.exe")

file(GLOB QRX_TEST_DIRS LIST_DIRECTORIES true ${CMAKE_SOURCE_DIR}/tests/*)
foreach(dir ${QRX_TEST_DIRS})
  get_filename_component(name ${dir} NAME)
  if(NOT IS_DIRECTORY ${dir} OR name STREQUAL "support")
    continue()
  endif()
  file(GLOB sources CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(NOT sources)
    # A folder of script tests registers its own.
    if(EXISTS ${dir}/tests.cmake)
      include(${dir}/tests.cmake)
    endif()
    continue()
  endif()
  set(QRX_TEST_TARGET test_${name})
  # The product's resources come along so string and icon lookups find them in the test module.
  add_executable(${QRX_TEST_TARGET} ${sources} ${QRX_RESOURCES})
  add_dependencies(${QRX_TEST_TARGET} qrx_icon QRXDownloadManager)
  target_link_libraries(${QRX_TEST_TARGET} PRIVATE qrx_test_support gtest_main)
  add_test(NAME ${name} COMMAND ${QRX_TEST_TARGET} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT 600)
  # A folder may add fixtures, dependencies or settings of its own.
  if(EXISTS ${dir}/tests.cmake)
    include(${dir}/tests.cmake)
  endif()
endforeach()

# The test PKI (tests/support/pki/make_test_pki.sh): a root CA for the test prefix's "Root" store,
# server certificates from it and the bad ones, made once per build folder.
set(QRX_TEST_PKI_DIR ${CMAKE_BINARY_DIR}/test-pki)
add_custom_command(OUTPUT ${QRX_TEST_PKI_DIR}/root-ca.der
  COMMAND ${CMAKE_SOURCE_DIR}/tests/support/pki/make_test_pki.sh ${QRX_TEST_PKI_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/tests/support/pki/make_test_pki.sh
  COMMENT "Making the test PKI")
add_custom_target(qrx_test_pki ALL DEPENDS ${QRX_TEST_PKI_DIR}/root-ca.der)
