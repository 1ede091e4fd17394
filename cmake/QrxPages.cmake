# The shipped form of the executable: signed, with the page table appended.
#  - qrxpack, our packing tool, is built natively with the host's g++.
#  - A development certificate is made with openssl unless QRX_SIGN_CERT/QRX_SIGN_KEY name a real one.
#  - The page folder is staged from pages/, node_modules and the drawn images.
#  - dist/QRXDownloadManager.exe in the build folder is the packed executable.
#  - With QRX_BIND_PAGES the order is: stage the pages, digest the table they make, link that digest
#    into the image as a resource, sign, pack. The wizard then unpacks only that table.
set(QRX_SIGN_CERT "" CACHE FILEPATH "PEM certificate for signing (empty: a development certificate)")
set(QRX_SIGN_KEY "" CACHE FILEPATH "PEM private key for signing (empty: the development key)")

set(QRX_PACK_TOOL ${CMAKE_BINARY_DIR}/tools/qrxpack)
file(GLOB QRX_PACK_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/qrxpack/*.cpp ${CMAKE_SOURCE_DIR}/tools/qrxpack/*.h)
add_custom_command(OUTPUT ${QRX_PACK_TOOL}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/tools
  COMMAND g++ -std=c++17 -O2 -Wall -Wextra -Werror -I${CMAKE_SOURCE_DIR}/src -o ${QRX_PACK_TOOL}
          ${CMAKE_SOURCE_DIR}/tools/qrxpack/main.cpp ${CMAKE_SOURCE_DIR}/tools/qrxpack/page_table.cpp
          ${CMAKE_SOURCE_DIR}/tools/qrxpack/pe_image.cpp ${CMAKE_SOURCE_DIR}/src/payload/payload_record.cpp
          ${CMAKE_SOURCE_DIR}/src/common/contained_path.cpp
          ${CMAKE_SOURCE_DIR}/src/payload/record_inflate.cpp -lcrypto -lz
  DEPENDS ${QRX_PACK_SOURCES} ${CMAKE_SOURCE_DIR}/src/payload/payload_record.cpp ${CMAKE_SOURCE_DIR}/src/payload/payload_record.h
          ${CMAKE_SOURCE_DIR}/src/payload/record_inflate.cpp ${CMAKE_SOURCE_DIR}/src/payload/record_inflate.h
          ${CMAKE_SOURCE_DIR}/src/common/contained_path.cpp ${CMAKE_SOURCE_DIR}/src/common/contained_path.h
  COMMENT "Building qrxpack (host)")

if(QRX_SIGN_CERT AND QRX_SIGN_KEY)
  set(QRX_CERT ${QRX_SIGN_CERT})
  set(QRX_KEY ${QRX_SIGN_KEY})
  set(QRX_CERT_DEPENDS)
else()
  set(QRX_CERT ${CMAKE_BINARY_DIR}/signing/dev-cert.pem)
  set(QRX_KEY ${CMAKE_BINARY_DIR}/signing/dev-key.pem)
  set(QRX_CERT_DEPENDS ${QRX_CERT})
  add_custom_command(OUTPUT ${QRX_CERT} ${QRX_KEY}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/signing
    COMMAND openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -subj "/CN=QRX Development Signing"
            -keyout ${QRX_KEY} -out ${QRX_CERT}
    COMMENT "Making the development signing certificate")
endif()

set(QRX_PAGES_DIR ${CMAKE_BINARY_DIR}/pages)
set(QRX_PAGES_STAMP ${CMAKE_BINARY_DIR}/pages.stamp)
file(GLOB_RECURSE QRX_PAGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/pages/*)
add_custom_command(OUTPUT ${QRX_PAGES_STAMP}
  COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/stage_pages.py ${CMAKE_SOURCE_DIR}/pages ${CMAKE_SOURCE_DIR}/node_modules ${QRX_PAGES_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${QRX_PAGES_STAMP}
  DEPENDS ${QRX_PAGE_SOURCES} ${CMAKE_SOURCE_DIR}/tools/stage_pages.py ${CMAKE_SOURCE_DIR}/tools/make_page_images.py
          ${CMAKE_SOURCE_DIR}/tools/build_jquery_ui.js
          ${CMAKE_SOURCE_DIR}/package-lock.json
  COMMENT "Staging the page folder")
add_custom_target(qrx_pages DEPENDS ${QRX_PAGES_STAMP} ${QRX_PACK_TOOL} ${QRX_CERT_DEPENDS})

# The digest of the table the staged pages make, as a resource of the executables that unpack it.
set(QRX_PAGE_DIGEST ${CMAKE_BINARY_DIR}/generated/page_table.sha256)
set(QRX_PAGE_DIGEST_RC ${CMAKE_BINARY_DIR}/generated/page_digest.rc)
set(QRX_VERIFY_MODE)
if(QRX_BIND_PAGES)
  add_custom_command(OUTPUT ${QRX_PAGE_DIGEST}
    COMMAND ${QRX_PACK_TOOL} digest --pages ${QRX_PAGES_DIR} --out ${QRX_PAGE_DIGEST}
    DEPENDS ${QRX_PAGES_STAMP} ${QRX_PACK_TOOL}
    COMMENT "Digesting the page table")
  add_custom_target(qrx_page_digest DEPENDS ${QRX_PAGE_DIGEST})
  # Written only when it changes, so that configuring again does not relink.
  set(digest_rc "#include \"payload/page_digest_id.h\"\nQRX_PAGE_TABLE_DIGEST_ID RCDATA \"${QRX_PAGE_DIGEST}\"\n")
  set(old_digest_rc)
  if(EXISTS ${QRX_PAGE_DIGEST_RC})
    file(READ ${QRX_PAGE_DIGEST_RC} old_digest_rc)
  endif()
  if(NOT old_digest_rc STREQUAL digest_rc)
    file(WRITE ${QRX_PAGE_DIGEST_RC} "${digest_rc}")
  endif()
  set_source_files_properties(${QRX_PAGE_DIGEST_RC} PROPERTIES
    OBJECT_DEPENDS "${QRX_PAGE_DIGEST};${CMAKE_SOURCE_DIR}/src/payload/page_digest_id.h")
  target_sources(QRXDownloadManager PRIVATE ${QRX_PAGE_DIGEST_RC})
  add_dependencies(QRXDownloadManager qrx_page_digest)
  set(QRX_VERIFY_MODE --bound)
endif()

set(QRX_DIST_EXE ${CMAKE_BINARY_DIR}/dist/QRXDownloadManager.exe)
add_custom_command(OUTPUT ${QRX_DIST_EXE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/dist
  COMMAND ${QRX_PACK_TOOL} build --in $<TARGET_FILE:QRXDownloadManager> --pages ${QRX_PAGES_DIR}
          --out ${QRX_DIST_EXE} --cert ${QRX_CERT} --key ${QRX_KEY}
  COMMAND ${QRX_PACK_TOOL} verify ${QRX_VERIFY_MODE} ${QRX_DIST_EXE}
  DEPENDS QRXDownloadManager qrx_pages ${QRX_PAGES_STAMP} ${QRX_PACK_TOOL} ${QRX_CERT_DEPENDS}
  COMMENT "Signing and packing dist/QRXDownloadManager.exe")
add_custom_target(qrx_dist ALL DEPENDS ${QRX_DIST_EXE})

# Signs and packs another executable of this build in place (used by tests that read their own table).
function(qrx_pack_in_place target)
  add_dependencies(${target} qrx_pages)
  if(QRX_BIND_PAGES)
    target_sources(${target} PRIVATE ${QRX_PAGE_DIGEST_RC})
    add_dependencies(${target} qrx_page_digest)
  endif()
  # Relinked (and so packed again) whenever the pages change.
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${QRX_PAGES_STAMP})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${QRX_PACK_TOOL} build --in $<TARGET_FILE:${target}> --pages ${QRX_PAGES_DIR}
            --out $<TARGET_FILE:${target}> --cert ${QRX_CERT} --key ${QRX_KEY}
    VERBATIM)
endfunction()
