# Build conventions shared by every target of the project.

add_compile_options(-Wall -Wextra -Wpedantic)
if(ORVY_WERROR)
  add_compile_options(-Werror)
endif()

# Pkg-config imported targets carry their include directories as SYSTEM,
# so warnings in third-party headers never fail our build.
set(CMAKE_NO_SYSTEM_FROM_IMPORTED OFF)

# orvy_shared_library(<target> MAP <version-script> OUTPUT_NAME <name> HEADER <public-header>)
#   A C-interface shared library whose only exports are those named in its
#   linker version script. Hidden visibility alone would still leak libstdc++
#   template instantiations, so the script is what defines the ABI.
#   Installs the library with its soname link chain and its public header.
function(orvy_shared_library target)
  cmake_parse_arguments(ARG "" "MAP;OUTPUT_NAME;HEADER" "" ${ARGN})
  set_target_properties(${target} PROPERTIES
    VERSION ${PROJECT_VERSION}
    SOVERSION ${PROJECT_VERSION_MAJOR}
    OUTPUT_NAME ${ARG_OUTPUT_NAME}
    LINK_DEPENDS ${ARG_MAP})
  target_link_options(${target} PRIVATE
    "LINKER:--version-script=${ARG_MAP}"
    "LINKER:--no-undefined"
    "LINKER:--as-needed")
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${CMAKE_CURRENT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  set_target_properties(${target} PROPERTIES PUBLIC_HEADER ${ARG_HEADER})
  # lib/ of the build tree links every built library under its file names,
  # so programs outside CMake (Python's ctypes) find them in one place.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/lib
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${target}>
            ${PROJECT_BINARY_DIR}/lib/$<TARGET_FILE_NAME:${target}>
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${target}>
            ${PROJECT_BINARY_DIR}/lib/$<TARGET_SONAME_FILE_NAME:${target}>
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:${target}>
            ${PROJECT_BINARY_DIR}/lib/$<TARGET_LINKER_FILE_NAME:${target}>
    VERBATIM)
  install(TARGETS ${target} EXPORT OrvyTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
    PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development)
endfunction()
