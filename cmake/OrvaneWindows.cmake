# Windows executables: the application manifest and the GUI subsystem.
#
# orvane_windows_manifest(<target>) links the launcher's manifest into the
# executable (UTF-8 as the ANSI code page, the supported Windows versions, no
# elevation). orvane_windows_app(<target>) does that and makes the program a
# GUI one: no console window opens when the user starts it.
#
# Both exist only in a Windows build; callers test for them with
# if(COMMAND orvane_windows_app).
if(NOT WIN32)
  return()
endif()

if(NOT CMAKE_RC_COMPILER)
  find_program(CMAKE_RC_COMPILER NAMES windres REQUIRED)
endif()

# The resource is compiled by windres into an object of its own, in the
# directory of the target that links it, so that no directory needs the RC
# language enabled.
function(orvane_windows_manifest target)
  set(win32_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../platform/win32)
  cmake_path(NORMAL_PATH win32_dir)
  set(ORVANE_MANIFEST ${win32_dir}/launcher.manifest)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.o)
  configure_file(${win32_dir}/launcher.rc.in ${rc} @ONLY)
  add_custom_command(OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} --input ${rc} --output ${object} --output-format coff
    DEPENDS ${rc} ${ORVANE_MANIFEST}
    COMMENT "Compiling the resources of ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
endfunction()

function(orvane_windows_app target)
  orvane_windows_manifest(${target})
  target_link_options(${target} PRIVATE -mwindows)
endfunction()
