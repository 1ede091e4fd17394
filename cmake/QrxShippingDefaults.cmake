# At a Release configure, names every check that the shipped settings leave off, so that a vendor
# does not ship an executable that runs an unchecked package elevated without knowing it.
if(NOT CMAKE_BUILD_TYPE STREQUAL "Release")
  return()
endif()

set(qrx_unchecked "")
if(QRX_SETUP_SIGNER_LIST STREQUAL "")
  string(APPEND qrx_unchecked
    "  - QRX_SETUP_SIGNERS is empty: setup.exe and the package's .exe, .dll and .msi files run elevated without a signer check.\n")
endif()

set(qrx_params ${CMAKE_SOURCE_DIR}/pages/js/installparams.js)
file(READ ${qrx_params} qrx_params_text)
string(REGEX MATCH "\"PACKAGE_URL\"[ \t]*:[ \t]*\"([^\"]*)\"" qrx_url_match "${qrx_params_text}")
set(qrx_url "${CMAKE_MATCH_1}")
if(qrx_url MATCHES "^http:")
  string(APPEND qrx_unchecked
    "  - PACKAGE_URL in pages/js/installparams.js is plain http (${qrx_url}): anyone on the path can change the package.\n")
endif()
string(REGEX MATCH "\"PACKAGE_SHA256\"[ \t]*:[ \t]*\\{([^}]*)\\}" qrx_hash_match "${qrx_params_text}")
if(NOT CMAKE_MATCH_1 MATCHES "[0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f][0-9A-Fa-f]")
  string(APPEND qrx_unchecked
    "  - PACKAGE_SHA256 in pages/js/installparams.js lists no hash: the downloaded package is not checked.\n")
endif()

if(NOT (QRX_SIGN_CERT AND QRX_SIGN_KEY))
  string(APPEND qrx_unchecked
    "  - QRX_SIGN_CERT/QRX_SIGN_KEY are not set: the executable is signed with a development certificate.\n")
endif()

if(NOT qrx_unchecked STREQUAL "")
  message(WARNING
    "Release build with checks off. What this executable does not check:\n"
    "${qrx_unchecked}"
    "See the README's \"Trust\" section for the vendor checklist.")
endif()
