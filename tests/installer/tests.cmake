# The installer tests run our setup.exe from the test product package and query Windows Installer.
include(${CMAKE_SOURCE_DIR}/tests/product_package/package.cmake)
add_dependencies(${QRX_TEST_TARGET} qrx_product_package)
target_link_libraries(${QRX_TEST_TARGET} PRIVATE msi)
qrx_wine_path(QRX_WINE_PRODUCT_PACKAGE_DIR ${QRX_PRODUCT_PACKAGE_DIR})
target_compile_definitions(${QRX_TEST_TARGET} PRIVATE
  QRX_TEST_PACKAGE_DIR=L"${QRX_WINE_PRODUCT_PACKAGE_DIR}")
# The thumbprint of the test signer, which the test build lists among the setup signers.
target_compile_definitions(${QRX_TEST_TARGET} PRIVATE QRX_TEST_SIGNER_THUMBPRINT=L"${QRX_TEST_SIGNER_THUMBPRINT}")
