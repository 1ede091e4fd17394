# The test product package: our setup.exe and product program built with the cross compiler,
# Windows Installer packages built with wixl for the 64-bit list of product codes, zipped in
# several layouts into ${QRX_PRODUCT_PACKAGE_DIR}. setup.exe and the .msi files are signed with
# osslsigncode by the test signer; unsigned.zip, othersigner.zip, tampered.zip, unsignedmsi.zip and
# othersignermsi.zip carry the refused forms. Target: qrx_product_package. The programs live in
# programs/ so that this folder is not taken for a test folder.
if(TARGET qrx_product_package)
  return()
endif()

set(QRX_PRODUCT_PACKAGE_DIR ${CMAKE_BINARY_DIR}/product_package)
set(QRX_PRODUCT_PACKAGE_SRC ${CMAKE_SOURCE_DIR}/tests/product_package)

add_executable(qrx_fake_setup ${QRX_PRODUCT_PACKAGE_SRC}/programs/setup_main.cpp)
target_compile_definitions(qrx_fake_setup PRIVATE UNICODE _UNICODE)
target_compile_options(qrx_fake_setup PRIVATE -Wall -Wextra -Werror)
target_link_options(qrx_fake_setup PRIVATE -municode -static -static-libgcc -static-libstdc++)
set_target_properties(qrx_fake_setup PROPERTIES OUTPUT_NAME setup
  RUNTIME_OUTPUT_DIRECTORY ${QRX_PRODUCT_PACKAGE_DIR}/bin)

add_executable(qrx_lumenary_program WIN32 ${QRX_PRODUCT_PACKAGE_SRC}/programs/lumenary_main.cpp)
target_compile_definitions(qrx_lumenary_program PRIVATE UNICODE _UNICODE)
target_link_options(qrx_lumenary_program PRIVATE -municode -static)
set_target_properties(qrx_lumenary_program PROPERTIES OUTPUT_NAME "Halvard Lumenary Pro"
  RUNTIME_OUTPUT_DIRECTORY ${QRX_PRODUCT_PACKAGE_DIR}/bin)

# The 64-bit list of product codes, in list order, taken from the product's own table.
set(QRX_PRODUCT_CODES_FILE ${QRX_PRODUCT_PACKAGE_DIR}/codes.txt)
add_custom_command(OUTPUT ${QRX_PRODUCT_CODES_FILE}
  COMMAND python3 ${QRX_PRODUCT_PACKAGE_SRC}/product_codes.py ${CMAKE_SOURCE_DIR}/src/installer/product_codes.cpp
          ${QRX_PRODUCT_CODES_FILE}
  DEPENDS ${QRX_PRODUCT_PACKAGE_SRC}/product_codes.py ${CMAKE_SOURCE_DIR}/src/installer/product_codes.cpp)

# setup.exe signed by the test signer (which the test build lists) and by another certificate.
set(QRX_SIGNED_SETUP ${QRX_PRODUCT_PACKAGE_DIR}/signed/setup.exe)
set(QRX_OTHER_SIGNED_SETUP ${QRX_PRODUCT_PACKAGE_DIR}/signed/setup-other.exe)
set(QRX_OTHER_SIGNER_CERT ${CMAKE_BINARY_DIR}/signing/other-signer-cert.pem)
set(QRX_OTHER_SIGNER_KEY ${CMAKE_BINARY_DIR}/signing/other-signer-key.pem)
add_custom_command(OUTPUT ${QRX_OTHER_SIGNER_CERT} ${QRX_OTHER_SIGNER_KEY}
  COMMAND openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=QRX Test Setup Signer"
          -keyout ${QRX_OTHER_SIGNER_KEY} -out ${QRX_OTHER_SIGNER_CERT}
  COMMENT "Making another signer certificate with the test signer's name")
add_custom_command(OUTPUT ${QRX_SIGNED_SETUP} ${QRX_OTHER_SIGNED_SETUP}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${QRX_PRODUCT_PACKAGE_DIR}/signed
  COMMAND ${CMAKE_COMMAND} -E rm -f ${QRX_SIGNED_SETUP} ${QRX_OTHER_SIGNED_SETUP}
  COMMAND osslsigncode sign -certs ${QRX_TEST_SIGNER_CERT} -key ${QRX_TEST_SIGNER_KEY} -h sha256
          -in $<TARGET_FILE:qrx_fake_setup> -out ${QRX_SIGNED_SETUP}
  COMMAND osslsigncode sign -certs ${QRX_OTHER_SIGNER_CERT} -key ${QRX_OTHER_SIGNER_KEY} -h sha256
          -in $<TARGET_FILE:qrx_fake_setup> -out ${QRX_OTHER_SIGNED_SETUP}
  DEPENDS qrx_fake_setup ${QRX_OTHER_SIGNER_CERT}
  COMMENT "Signing the test setup.exe")

set(QRX_PRODUCT_PACKAGE_ZIPS
  ${QRX_PRODUCT_PACKAGE_DIR}/product.zip ${QRX_PRODUCT_PACKAGE_DIR}/deep.zip
  ${QRX_PRODUCT_PACKAGE_DIR}/nosetup.zip ${QRX_PRODUCT_PACKAGE_DIR}/notprogram.zip
  ${QRX_PRODUCT_PACKAGE_DIR}/setuponly.zip ${QRX_PRODUCT_PACKAGE_DIR}/compressible.zip
  ${QRX_PRODUCT_PACKAGE_DIR}/unsigned.zip ${QRX_PRODUCT_PACKAGE_DIR}/othersigner.zip
  ${QRX_PRODUCT_PACKAGE_DIR}/tampered.zip ${QRX_PRODUCT_PACKAGE_DIR}/othersignermsi.zip
  ${QRX_PRODUCT_PACKAGE_DIR}/unsignedmsi.zip)
add_custom_command(OUTPUT ${QRX_PRODUCT_PACKAGE_ZIPS}
  COMMAND python3 ${QRX_PRODUCT_PACKAGE_SRC}/build_package.py
          --setup ${QRX_SIGNED_SETUP} --unsigned-setup $<TARGET_FILE:qrx_fake_setup>
          --other-setup ${QRX_OTHER_SIGNED_SETUP} --program $<TARGET_FILE:qrx_lumenary_program>
          --codes ${QRX_PRODUCT_CODES_FILE} --out ${QRX_PRODUCT_PACKAGE_DIR}
          --sign-cert ${QRX_TEST_SIGNER_CERT} --sign-key ${QRX_TEST_SIGNER_KEY}
          --other-cert ${QRX_OTHER_SIGNER_CERT} --other-key ${QRX_OTHER_SIGNER_KEY}
  DEPENDS ${QRX_PRODUCT_PACKAGE_SRC}/build_package.py ${CMAKE_SOURCE_DIR}/tests/zip/native/inflate_shape.py
          ${QRX_PRODUCT_CODES_FILE} ${QRX_SIGNED_SETUP} ${QRX_OTHER_SIGNED_SETUP} ${QRX_OTHER_SIGNER_CERT}
          qrx_fake_setup qrx_lumenary_program)
add_custom_target(qrx_product_package ALL DEPENDS ${QRX_PRODUCT_PACKAGE_ZIPS})
