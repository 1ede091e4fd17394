# The subsystems under src/ as layered static libraries. qrx_subsystem(name DEPENDS lower...) makes
# qrx_<name> from src/<name>/ and links it to the subsystems it uses; a subsystem must be declared
# after those. qrx_check_layers() then checks every `#include "x/..."` in src/ against the declared
# dependencies (transitively) with tools/check_layers.py, at configure time and again whenever a
# source changes, so an include that goes up or sideways fails the build.
set(QRX_SUBSYSTEM_LIBRARIES "")
set(QRX_LAYERS_FILE ${CMAKE_BINARY_DIR}/subsystem_layers.txt)
file(WRITE ${QRX_LAYERS_FILE}.new "")

function(qrx_subsystem name)
  cmake_parse_arguments(arg "" "" "DEPENDS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${name}/*.cpp)
  # The entry point and the shipped build's runtime pieces go into the executable itself.
  list(FILTER sources EXCLUDE REGEX "/src/app/(main|lean_runtime|string_instances)\\.cpp$")
  set(libraries "")
  foreach(dependency ${arg_DEPENDS})
    if(NOT TARGET qrx_${dependency})
      message(FATAL_ERROR "subsystem ${name}: '${dependency}' is not declared before it")
    endif()
    list(APPEND libraries qrx_${dependency})
  endforeach()
  add_library(qrx_${name} STATIC ${sources})
  target_link_libraries(qrx_${name} PUBLIC qrx_settings ${libraries} PRIVATE qrx_product_code)
  string(REPLACE ";" " " dependency_text "${arg_DEPENDS}")
  file(APPEND ${QRX_LAYERS_FILE}.new "${name}: ${dependency_text}\n")
  # Top first, the order a static link needs.
  set(QRX_SUBSYSTEM_LIBRARIES qrx_${name} ${QRX_SUBSYSTEM_LIBRARIES} PARENT_SCOPE)
endfunction()

function(qrx_check_layers)
  # Rewritten only when the declarations change, so the build-time check does not rerun for nothing.
  file(READ ${QRX_LAYERS_FILE}.new declared)
  file(REMOVE ${QRX_LAYERS_FILE}.new)
  if(EXISTS ${QRX_LAYERS_FILE})
    file(READ ${QRX_LAYERS_FILE} previous)
  endif()
  if(NOT "${declared}" STREQUAL "${previous}")
    file(WRITE ${QRX_LAYERS_FILE} "${declared}")
  endif()
  set(check python3 ${CMAKE_SOURCE_DIR}/tools/check_layers.py ${CMAKE_SOURCE_DIR}/src ${QRX_LAYERS_FILE})
  execute_process(COMMAND ${check} RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "The subsystem layers are broken:\n${output}")
  endif()
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.h ${CMAKE_SOURCE_DIR}/src/*.cpp)
  set(stamp ${CMAKE_BINARY_DIR}/subsystem_layers.checked)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${check}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/check_layers.py ${QRX_LAYERS_FILE} ${files}
    COMMENT "Checking the subsystem layers"
    VERBATIM)
  add_custom_target(qrx_layers DEPENDS ${stamp})
  foreach(library ${QRX_SUBSYSTEM_LIBRARIES})
    add_dependencies(${library} qrx_layers)
  endforeach()
endfunction()
