# Where an installed system puts its files: programs in bin/, the platform library, the
# USB host and the driver library in a private folder (lib/velmar), found
# through run paths relative to the executable, so that an installed tree works wherever
# its prefix is.
include(GNUInstallDirs)
set(VELMAR_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR}/velmar)
file(RELATIVE_PATH VELMAR_BIN_TO_LIBDIR /${CMAKE_INSTALL_BINDIR} /${VELMAR_INSTALL_LIBDIR})

# A shared library of the installed system: beside the others, finding them beside itself.
function(velmar_install_library target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN")
  install(TARGETS ${target} LIBRARY DESTINATION ${VELMAR_INSTALL_LIBDIR})
endfunction()

# A program and its manual page (man/NAME.1 beside the program's sources).
function(velmar_install_program target)
  set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN/${VELMAR_BIN_TO_LIBDIR}")
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES man/${target}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
