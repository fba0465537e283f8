# What `cmake --install` and the Debian package (cpack -G DEB, scripts/package)
# carry: the two programs, the desktop entry and its icon, man pages made from
# the programs' own help, the copyright file and the Python module (installed
# by python/CMakeLists.txt into the system Python's dist-packages).
set(ETALON_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(ETALON_PACKAGING_OUT ${PROJECT_BINARY_DIR}/packaging)

install(TARGETS etalon-cli RUNTIME DESTINATION bin)
install(FILES ${ETALON_PACKAGING}/copyright DESTINATION share/doc/etalon-workbench)
if(TARGET etalon-workbench)
  install(TARGETS etalon-workbench RUNTIME DESTINATION bin)
  install(FILES ${ETALON_PACKAGING}/etalon-workbench.desktop DESTINATION share/applications)
  install(FILES ${ETALON_PACKAGING}/etalon-workbench.svg
    DESTINATION share/icons/hicolor/scalable/apps)
endif()

# The man pages come from --help at build time, so they cannot fall behind the
# options; without help2man (or rsvg-convert for the icon) the build says so
# and leaves them out.
find_program(ETALON_HELP2MAN help2man)
find_program(ETALON_RSVG_CONVERT rsvg-convert)
set(ETALON_MAN_PAGES "")
function(etalon_man_page program help_program name)
  set(page ${ETALON_PACKAGING_OUT}/${program}.1)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${ETALON_HELP2MAN} --no-info --no-discard-stderr --name ${name}
      --include ${ETALON_PACKAGING}/${program}.h2m --output ${page} ${help_program}
    COMMAND gzip -9nf ${page}
    DEPENDS ${program} ${help_program} ${ETALON_PACKAGING}/${program}.h2m
      ${ETALON_PACKAGING}/cli-help.sh.in
    VERBATIM)
  install(FILES ${page}.gz DESTINATION share/man/man1)
  set(ETALON_MAN_PAGES ${ETALON_MAN_PAGES} ${page}.gz PARENT_SCOPE)
endfunction()
if(ETALON_HELP2MAN)
  file(GENERATE OUTPUT ${ETALON_PACKAGING_OUT}/help/etalon-cli
    INPUT ${ETALON_PACKAGING}/cli-help.sh.in
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
  etalon_man_page(etalon-cli ${ETALON_PACKAGING_OUT}/help/etalon-cli
    "restores known reference pulses in noisy series from the command line")
  if(TARGET etalon-workbench)
    etalon_man_page(etalon-workbench $<TARGET_FILE:etalon-workbench>
      "finds known reference pulses in noisy series, in a window")
  endif()
else()
  message(STATUS "help2man not found: the man pages are left out")
endif()
if(ETALON_RSVG_CONVERT AND TARGET etalon-workbench)
  set(icon ${ETALON_PACKAGING_OUT}/etalon-workbench.png)
  add_custom_command(OUTPUT ${icon}
    COMMAND ${ETALON_RSVG_CONVERT} -w 64 -h 64 -o ${icon} ${ETALON_PACKAGING}/etalon-workbench.svg
    DEPENDS ${ETALON_PACKAGING}/etalon-workbench.svg VERBATIM)
  list(APPEND ETALON_MAN_PAGES ${icon})
  install(FILES ${icon} DESTINATION share/icons/hicolor/64x64/apps)
endif()
add_custom_target(packaging_files ALL DEPENDS ${ETALON_MAN_PAGES})

set(CPACK_PACKAGE_NAME etalon-workbench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Etalon Workbench maintainers <maintainers@users.noreply.c-seed-d556dd94.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "restores known reference pulses (etalons) in noisy series")
set(CPACK_PACKAGE_DESCRIPTION "Etalon Workbench builds an alphabet of known reference pulses,
makes noisy series of them and restores the pulses with exact dynamic
programmes, beside a greedy matched filter; a statistical simulation measures
the errors over a grid of pulse counts and noise levels. The package holds the
window (etalon-workbench), the command-line front end (etalon-cli) and the
NumPy module etalon.")
# The module's place is an absolute one (Python's dist-packages), so the
# package is staged with DESTDIR, everything else under /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(TARGET etalon_python)
  # The module is built for one Python ABI and calls NumPy at run time.
  math(EXPR ETALON_PYTHON_NEXT "${Python3_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "python3 (>= ${Python3_VERSION_MAJOR}.${Python3_VERSION_MINOR}~), python3 (<< ${Python3_VERSION_MAJOR}.${ETALON_PYTHON_NEXT}), python3-numpy")
endif()
include(CPack)
