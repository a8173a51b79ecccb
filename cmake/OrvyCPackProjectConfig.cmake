# Read by cpack for each generator it runs.
#
# Each Debian package's description begins with its own summary line; with a
# project summary that differs from CPack's default, CPackDeb would put the
# project summary in front of it, so make the two compare equal.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(CPACK_DEFAULT_PACKAGE_DESCRIPTION_SUMMARY "${CPACK_PACKAGE_DESCRIPTION_SUMMARY}")
endif()
