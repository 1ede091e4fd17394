# Windows Installer packages for the detection tests, built with wixl; the tests install them
# into the Wine prefix themselves (msiexec /qn) when they are not registered yet.
include(${CMAKE_SOURCE_DIR}/tests/support/msi/msi.cmake)
set(QRX_BRIDGE_MSI_DIR ${CMAKE_BINARY_DIR}/msi/bridge)
# The installed-check package of the product (its code, no install location, no files).
qrx_test_msi(${QRX_TEST_TARGET} OUTPUT ${QRX_BRIDGE_MSI_DIR}/installed_check.msi
  PRODUCT_CODE "{7E48D06E-3A9D-4B35-911C-B0822D0D7DA6}" VERSION 7.0.1.5)
# Test-only codes that write the folder value into one registry view each.
qrx_test_msi(${QRX_TEST_TARGET} OUTPUT ${QRX_BRIDGE_MSI_DIR}/folder64.msi
  PRODUCT_CODE "{5A1D0C3E-8B7F-4E21-9C55-2D0F6B7A1E01}" VERSION 1.0.0.1
  REGISTRY_KEY "Software\\QRXTests\\Only64" VALUE_NAME Directory VIEW 64 VALUE "C:\\Lumenary R7\\")
qrx_test_msi(${QRX_TEST_TARGET} OUTPUT ${QRX_BRIDGE_MSI_DIR}/folder32.msi
  PRODUCT_CODE "{5A1D0C3E-8B7F-4E21-9C55-2D0F6B7A1E02}" VERSION 1.0.0.2
  REGISTRY_KEY "Software\\QRXTests\\Both" VALUE_NAME Directory VALUE "D:\\From32" VIEW 32)
qrx_test_msi(${QRX_TEST_TARGET} OUTPUT ${QRX_BRIDGE_MSI_DIR}/folder64b.msi
  PRODUCT_CODE "{5A1D0C3E-8B7F-4E21-9C55-2D0F6B7A1E03}" VERSION 1.0.0.3
  REGISTRY_KEY "Software\\QRXTests\\Both" VALUE_NAME Directory VALUE "E:\\From64" VIEW 64)
qrx_wine_path(QRX_WINE_BRIDGE_MSI_DIR ${QRX_BRIDGE_MSI_DIR})
target_compile_definitions(${QRX_TEST_TARGET} PRIVATE QRX_BRIDGE_MSI_DIR=L"${QRX_WINE_BRIDGE_MSI_DIR}")
