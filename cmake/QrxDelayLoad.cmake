# System DLLs that are not on the KnownDLLs list of every supported Windows load on first use, from
# the system folder only (the delay-load hook in src/common/system_dll.cpp), never at process start
# from the executable's folder. Each gets a delay-import library made from the toolchain's import
# library; link the target `qrx_delay_<name>` in place of `<name>`.
set(QRX_DELAY_DLLS urlmon winhttp crypt32 wintrust version)

if(CMAKE_DLLTOOL)
  set(QRX_DLLTOOL ${CMAKE_DLLTOOL})
else()
  find_program(QRX_DLLTOOL ${TOOLCHAIN_PREFIX}-dlltool REQUIRED)
endif()
if(CMAKE_NM)
  set(QRX_NM ${CMAKE_NM})
else()
  find_program(QRX_NM ${TOOLCHAIN_PREFIX}-nm REQUIRED)
endif()

set(QRX_DELAY_LIB_DIR ${CMAKE_BINARY_DIR}/delayload)
file(MAKE_DIRECTORY ${QRX_DELAY_LIB_DIR})
foreach(dll ${QRX_DELAY_DLLS})
  find_library(QRX_IMPORT_LIB_${dll} NAMES ${dll} REQUIRED)
  set(out ${QRX_DELAY_LIB_DIR}/lib${dll}_delay.a)
  add_custom_command(OUTPUT ${out}
    COMMAND python3 ${CMAKE_SOURCE_DIR}/tools/make_delay_lib.py ${QRX_NM} ${QRX_DLLTOOL}
      ${QRX_IMPORT_LIB_${dll}} ${dll}.dll ${out}
    WORKING_DIRECTORY ${QRX_DELAY_LIB_DIR}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/make_delay_lib.py ${QRX_IMPORT_LIB_${dll}}
    VERBATIM)
  add_custom_target(qrx_delay_${dll}_lib DEPENDS ${out})
  add_library(qrx_delay_${dll} STATIC IMPORTED GLOBAL)
  set_target_properties(qrx_delay_${dll} PROPERTIES IMPORTED_LOCATION ${out})
  add_dependencies(qrx_delay_${dll} qrx_delay_${dll}_lib)
  list(APPEND QRX_DELAY_LIBS qrx_delay_${dll})
endforeach()

# The build report lists these: MinGW's delay imports do not show in the PE import directories.
string(REPLACE ";" "\n" QRX_DELAY_DLL_LINES "${QRX_DELAY_DLLS}")
file(WRITE ${CMAKE_BINARY_DIR}/delay-imports.txt "${QRX_DELAY_DLL_LINES}\n")
