# Run by cpack before it builds a package from a build with static windows.
message(FATAL_ERROR "package: the windows of this build carry the C library and curses inside; "
  "make the package with scripts/package (or configure with -DJUX_STATIC_RUNTIME=OFF)")
