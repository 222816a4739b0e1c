# Run at install time, when the prefix is final (cmake --install --prefix, or
# the package's /usr): writes quelib.pc straight into the installed tree.
# Expects JUX_PC_TEMPLATE, JUX_LIBDIR, JUX_INCLUDEDIR and PROJECT_VERSION.
set(JUX_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
foreach(dir LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${JUX_${dir}}")
    set(JUX_PC_${dir} "${JUX_${dir}}")
    set(JUX_FULL_${dir} "${JUX_${dir}}")
  else()
    set(JUX_PC_${dir} "\${prefix}/${JUX_${dir}}")
    set(JUX_FULL_${dir} "${CMAKE_INSTALL_PREFIX}/${JUX_${dir}}")
  endif()
endforeach()
set(pc "$ENV{DESTDIR}${JUX_FULL_LIBDIR}/pkgconfig/quelib.pc")
message(STATUS "Installing: ${pc}")
# Mode 0644 whatever the template's mode in the checkout.
configure_file("${JUX_PC_TEMPLATE}" "${pc}" @ONLY NO_SOURCE_PERMISSIONS)
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${pc}")
