# The layer check (tools/check_layers.py) against the real src/ and against copies with one
# include or declaration broken; the function length check (tools/check_function_length.py, no
# function of 60 lines or more) against src/ and against small sources.
add_test(NAME layers
  COMMAND python3 ${CMAKE_CURRENT_LIST_DIR}/layers_test.py ${CMAKE_SOURCE_DIR}/tools/check_layers.py
          ${CMAKE_SOURCE_DIR}/src ${QRX_LAYERS_FILE})
