# Script tests: programs under tests/ that drive the built executables from
# the outside. Each test is one orvane_add_script_test call; add yours below.

# orvane_add_script_test(<name> <script relative to tests/> [ARGS <arg>...])
# Runs the script with bash; it passes when it exits with 0.
function(orvane_add_script_test name script)
  cmake_parse_arguments(ARG "" "" "ARGS" ${ARGN})
  add_test(NAME ${name} COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/${script} ${ARG_ARGS})
endfunction()

# The script runs the tool directly, so only a native build has it.
if(TARGET orvane-zip AND NOT CMAKE_CROSSCOMPILING)
  orvane_add_script_test(orvane_zip_tool tools/orvane_zip_test.sh ARGS $<TARGET_FILE:orvane-zip>)
endif()

# The Windows launcher imports only system libraries and opens no console.
if(WIN32 AND TARGET orvane-launcher)
  find_program(ORVANE_OBJDUMP NAMES ${CMAKE_OBJDUMP} ${TOOLCHAIN_PREFIX}-objdump objdump)
  if(ORVANE_OBJDUMP)
    set(expected_format "")
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(expected_format pei-i386)
    endif()
    orvane_add_script_test(windows_launcher_imports tools/windows_imports_test.sh
      ARGS ${ORVANE_OBJDUMP} $<TARGET_FILE:orvane-launcher> ${expected_format})
  endif()
endif()
