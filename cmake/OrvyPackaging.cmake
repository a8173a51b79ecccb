# Install layout, downstream package files (CMake package, pkg-config), udev
# rule and man pages. The Debian packages (debian/) split the installed tree
# along the same lines as the install components:
#   runtime      shared libraries (one package each), programs, udev rule,
#                man pages of section 1
#   development  headers, .so links, pkg-config files, CMake package, section 3
#   simulator    Orvy_Simulator and its man page (the only one needing umockdev)

include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

include(${CMAKE_CURRENT_LIST_DIR}/OrvyPackagingSettings.cmake)

# ---- Vendor id in the notations udev and the man pages use ------------------

# udev compares idVendor as sysfs prints it: four lower-case hex digits.
math(EXPR orvy_vendor_id_value "${ORVY_USB_VENDOR_ID}")
if(orvy_vendor_id_value LESS 0 OR orvy_vendor_id_value GREATER 65535)
  message(FATAL_ERROR "ORVY_USB_VENDOR_ID (${ORVY_USB_VENDOR_ID}) is not a 16-bit USB vendor id")
endif()
math(EXPR orvy_vendor_id_hex "${orvy_vendor_id_value}" OUTPUT_FORMAT HEXADECIMAL)
string(REGEX REPLACE "^0x" "" orvy_vendor_id_hex "${orvy_vendor_id_hex}")
string(TOLOWER "${orvy_vendor_id_hex}" orvy_vendor_id_hex)
while(orvy_vendor_id_hex MATCHES "^.?.?.?$")
  string(PREPEND orvy_vendor_id_hex "0")
endwhile()
set(ORVY_UDEV_VENDOR_ID "${orvy_vendor_id_hex}")
string(TOUPPER "${orvy_vendor_id_hex}" orvy_vendor_id_upper)
set(ORVY_MAN_VENDOR_ID "0x${orvy_vendor_id_upper}")

set(orvy_packaging_dir ${PROJECT_SOURCE_DIR}/packaging)
set(orvy_generated_dir ${PROJECT_BINARY_DIR}/packaging)

# ---- Programs -------------------------------------------------------------

# Programs and libOrvyApi find their libraries next to themselves, so a tree
# installed with --prefix anywhere runs without LD_LIBRARY_PATH.
file(RELATIVE_PATH orvy_bin_to_lib
     "/${CMAKE_INSTALL_BINDIR}" "/${CMAKE_INSTALL_LIBDIR}")
foreach(program Orvy_InquiryTool Orvy_PrinterMetrics Orvy_Demo_InquiryStatus Orvy_Demo_PageLength
                Orvy_Demo_FormFeed)
  if(TARGET ${program})
    set_target_properties(${program} PROPERTIES INSTALL_RPATH "$ORIGIN/${orvy_bin_to_lib}")
  endif()
endforeach()
set_target_properties(OrvyApi OrvyInquiry PROPERTIES INSTALL_RPATH "$ORIGIN")

# The simulator's own directory may not install it; a second rule would
# install it twice, so look before adding one.
if(TARGET Orvy_Simulator)
  file(READ ${PROJECT_SOURCE_DIR}/sim/CMakeLists.txt orvy_sim_lists)
  if(NOT orvy_sim_lists MATCHES "install[ \t\r\n]*\\([ \t\r\n]*TARGETS[^)]*Orvy_Simulator")
    install(TARGETS Orvy_Simulator
      RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT simulator)
  endif()
  install(TARGETS orvy_sim_preload
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/orvy-simulator COMPONENT simulator)
endif()

# ---- CMake package: find_package(Orvy) gives Orvy::Api, Orvy::Tb, Orvy::Inquiry

set_target_properties(OrvyApi PROPERTIES EXPORT_NAME Api)
set_target_properties(OrvyTb PROPERTIES EXPORT_NAME Tb)
set_target_properties(OrvyInquiry PROPERTIES EXPORT_NAME Inquiry)

set(ORVY_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Orvy)
install(EXPORT OrvyTargets
  NAMESPACE Orvy::
  DESTINATION ${ORVY_CMAKE_PACKAGE_DIR}
  COMPONENT development)
configure_package_config_file(
  ${PROJECT_SOURCE_DIR}/cmake/OrvyConfig.cmake.in
  ${orvy_generated_dir}/OrvyConfig.cmake
  INSTALL_DESTINATION ${ORVY_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(
  ${orvy_generated_dir}/OrvyConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${orvy_generated_dir}/OrvyConfig.cmake
  ${orvy_generated_dir}/OrvyConfigVersion.cmake
  DESTINATION ${ORVY_CMAKE_PACKAGE_DIR}
  COMPONENT development)

# ---- pkg-config: paths relative to the .pc file, so a moved prefix works -----

if(IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_INCLUDEDIR}")
  set(ORVY_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
  set(ORVY_PC_LIBDIR "${CMAKE_INSTALL_FULL_LIBDIR}")
  set(ORVY_PC_INCLUDEDIR "${CMAKE_INSTALL_FULL_INCLUDEDIR}")
else()
  file(RELATIVE_PATH orvy_pc_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
  string(REGEX REPLACE "/$" "" orvy_pc_to_prefix "${orvy_pc_to_prefix}")
  set(ORVY_PC_PREFIX "\${pcfiledir}/${orvy_pc_to_prefix}")
  set(ORVY_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
  set(ORVY_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
endif()
foreach(pc orvy-api orvy-tb orvy-inquiry)
  configure_file(${orvy_packaging_dir}/pkgconfig/${pc}.pc.in
                 ${orvy_generated_dir}/${pc}.pc @ONLY)
  install(FILES ${orvy_generated_dir}/${pc}.pc
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
    COMPONENT development)
endforeach()

# ---- udev rule ---------------------------------------------------------------

configure_file(${orvy_packaging_dir}/udev/60-orvy-printer.rules.in
               ${orvy_generated_dir}/60-orvy-printer.rules @ONLY)
install(FILES ${orvy_generated_dir}/60-orvy-printer.rules
  DESTINATION ${ORVY_UDEV_RULES_DIR}
  COMPONENT runtime)

# ---- Man pages ---------------------------------------------------------------

string(TIMESTAMP ORVY_MAN_DATE "%Y-%m-%d" UTC)  # honours SOURCE_DATE_EPOCH
set(orvy_man_pages
  "Orvy_InquiryTool.1:runtime"
  "Orvy_PrinterMetrics.1:runtime"
  "Orvy_ListPrinters.1:runtime"
  "Orvy_Demo_InquiryStatus.1:runtime"
  "Orvy_Demo_PageLength.1:runtime"
  "Orvy_Demo_FormFeed.1:runtime"
  "Orvy_Api.3:development"
  "Orvy_Tb.3:development"
  "Orvy_Inquiry.3:development")
if(TARGET Orvy_Simulator)
  list(APPEND orvy_man_pages "Orvy_Simulator.1:simulator")
endif()
set(ORVY_MAN_PAGES "")
foreach(entry IN LISTS orvy_man_pages)
  string(REPLACE ":" ";" entry "${entry}")
  list(GET entry 0 page)
  list(GET entry 1 component)
  string(REGEX REPLACE "^.*\\.([0-9])$" "\\1" section "${page}")
  configure_file(${orvy_packaging_dir}/man/${page}.in ${orvy_generated_dir}/man/${page} @ONLY)
  install(FILES ${orvy_generated_dir}/man/${page}
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
    COMPONENT ${component})
  list(APPEND ORVY_MAN_PAGES ${orvy_generated_dir}/man/${page})
endforeach()

# One small page per exported function that points at its library's page, so
# that "man orvy_api_printer_open" finds it.
foreach(library Api Tb Inquiry)
  string(TOLOWER "${library}" prefix)
  string(TOUPPER "${library}" upper)
  file(STRINGS ${PROJECT_SOURCE_DIR}/${prefix}/Orvy_${library}.h declarations
       REGEX "^ORVY_${upper}_EXPORT .*[(]")
  foreach(declaration IN LISTS declarations)
    string(REGEX MATCH "(orvy_${prefix}_[a-z_]+)[ ]*[(]" _ "${declaration}")
    set(function ${CMAKE_MATCH_1})
    file(CONFIGURE OUTPUT ${orvy_generated_dir}/man/${function}.3
         CONTENT ".so man3/Orvy_${library}.3\n" @ONLY)
    install(FILES ${orvy_generated_dir}/man/${function}.3
      DESTINATION ${CMAKE_INSTALL_MANDIR}/man3
      COMPONENT development)
  endforeach()
endforeach()
