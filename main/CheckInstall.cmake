# Installs the build into a fresh prefix and checks that the programs, the
# desktop entry and the application icon land where desktops look for them.
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX} RESULT_VARIABLE result
                OUTPUT_QUIET)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
foreach(path bin/marlinden share/applications/marlinden.desktop share/icons/hicolor/scalable/apps/marlinden.svg)
  if(NOT EXISTS ${PREFIX}/${path})
    message(FATAL_ERROR "not installed: ${path}")
  endif()
endforeach()
file(READ ${PREFIX}/share/applications/marlinden.desktop entry)
if(NOT entry MATCHES "\nIcon=marlinden\n" OR NOT entry MATCHES "\nExec=marlinden\n")
  message(FATAL_ERROR "the desktop entry does not name the installed program and icon")
endif()
file(REMOVE_RECURSE ${PREFIX})
