# Debian packages, one per install component (see cmake/Kit.cmake), built by
# CPack:  cmake --workflow --preset package   (packages in build/package/).
#
#   runtime -> libticketkit       shared libraries (libX.so.N), udev rule template
#   dev     -> libticketkit-dev   headers, libX.so links, pkg-config and CMake package files
#   tools   -> ticketkit-tools    command-line programs
#   demo    -> tellerdesk         the Qt demo with its desktop entry
#   sane    -> libsane-tqrmx7kp   the SANE backend and its dll.d entry
#   python  -> python3-ticketkit  the Python package
#
# A component becomes a package only when something installs into it, so the
# packages of parts not in the tree yet simply do not appear.

include(CMakePackageConfigHelpers)

set(KIT_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

# ---- the CMake package: find_package(ticketkit) ------------------------------
# Imported targets are written out by hand (not install(EXPORT)): the parts'
# build-tree usage requirements are not meant for installed users.
get_property(KIT_EXPORTED_LIBRARIES GLOBAL PROPERTY KIT_EXPORTED_LIBRARIES)
if(KIT_EXPORTED_LIBRARIES)
  set(KIT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/ticketkit)
  set(KIT_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/ticketkit)
  configure_package_config_file(${KIT_PACKAGING_DIR}/ticketkit-config.cmake.in
    ${CMAKE_BINARY_DIR}/cmake/ticketkit-config.cmake
    INSTALL_DESTINATION ${KIT_CMAKE_DIR}
    PATH_VARS CMAKE_INSTALL_LIBDIR KIT_INCLUDE_DIR)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/ticketkit-config-version.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMinorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/cmake/ticketkit-config.cmake
                ${CMAKE_BINARY_DIR}/cmake/ticketkit-config-version.cmake
    DESTINATION ${KIT_CMAKE_DIR} COMPONENT dev)
endif()

# ---- files beside the programs ----------------------------------------------
# The udev rule needs the scanner's USB ids filled in (see platform/usb/README.md),
# so it ships as a template, not as an active rule.
if(EXISTS ${PROJECT_SOURCE_DIR}/platform/usb/60-tq-rmx7kp.rules)
  install(FILES ${PROJECT_SOURCE_DIR}/platform/usb/60-tq-rmx7kp.rules
    DESTINATION ${CMAKE_INSTALL_DATADIR}/ticketkit/udev COMPONENT runtime)
endif()
# Every component something installs into (the helpers' and any install(... COMPONENT)).
get_property(KIT_COMPONENTS GLOBAL PROPERTY KIT_INSTALL_COMPONENTS)
get_cmake_property(kit_install_components COMPONENTS)
list(APPEND KIT_COMPONENTS ${kit_install_components})
list(REMOVE_DUPLICATES KIT_COMPONENTS)
list(REMOVE_ITEM KIT_COMPONENTS Unspecified)
if("demo" IN_LIST KIT_COMPONENTS)
  install(FILES ${KIT_PACKAGING_DIR}/tellerdesk.desktop
    DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT demo)
endif()

# ---- CPack -------------------------------------------------------------------

set(kit_package_runtime libticketkit)
set(kit_package_dev libticketkit-dev)
set(kit_package_tools ticketkit-tools)
set(kit_package_demo tellerdesk)
set(kit_package_sane libsane-tqrmx7kp)
set(kit_package_python python3-ticketkit)
set(kit_section_runtime libs)
set(kit_section_dev libdevel)
set(kit_section_tools utils)
set(kit_section_demo utils)
set(kit_section_sane graphics)
set(kit_section_python python)
set(kit_summary_runtime "TQ-RMX7KP ticket scanner-printer kit - shared libraries")
set(kit_summary_dev "TQ-RMX7KP ticket scanner-printer kit - development files")
set(kit_summary_tools "TQ-RMX7KP ticket scanner-printer kit - command-line tools")
set(kit_summary_demo "TQ-RMX7KP ticket scanner-printer demo dialog")
set(kit_summary_sane "SANE backend for the TQ-RMX7KP ticket scanner-printer")
set(kit_summary_python "TQ-RMX7KP ticket scanner-printer kit - Python 3 package")
set(kit_details_runtime
  "The device control library (libKestrom), its USB link (libPipewell), the\nimage library (libSkewtrim), the mark readers (libInkmark, libTypemark),\nthe barcode decoders (libStripescan, libStackread) and a software\nscanner-printer (libScannerEmulator). The libraries bind each other by\nname at run time. A udev rule template for access without root is in\n/usr/share/ticketkit/udev.")
set(kit_details_dev
  "C headers, the unversioned library links, pkg-config files (one per\nlibrary) and a CMake package (find_package(ticketkit)) for building\nprograms against the kit.")
set(kit_details_tools "Command-line programs of the kit, among them mkfirmware, which packs a\nfirmware image into an update file.")
set(kit_details_demo "Tellerdesk opens the scanner, scans every ticket that is fed, reads\nmarks and barcodes, shows the result and prints on the ticket.")
set(kit_details_python
  "The Python package ticketkit: the kit's libraries through ctypes, for\nscripts that scan, read and print tickets.")
set(kit_details_sane
  "The SANE backend tqrmx7kp lets scanimage, simple-scan, XSane and other\nSANE frontends scan tickets: Lineart or Gray, 200 dpi across and 100 or\n200 dpi along, a scan window in millimetres, hold or eject after the scan.")

set(CPACK_PACKAGE_NAME ticketkit)
set(CPACK_PACKAGE_VENDOR "The TicketKit developers")
set(CPACK_PACKAGE_CONTACT "The TicketKit developers <ticketkit@example.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENTS_ALL ${KIT_COMPONENTS})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

# Every package but the runtime one needs the runtime libraries, which are
# loaded by name (so dpkg-shlibdeps cannot see that need).
foreach(component IN LISTS KIT_COMPONENTS)
  string(TOUPPER ${component} C)
  if(NOT kit_package_${component})  # a part added later: a package named after it
    set(kit_package_${component} ticketkit-${component})
    set(kit_section_${component} misc)
    set(kit_summary_${component} "TQ-RMX7KP ticket scanner-printer kit - ${component}")
    set(kit_details_${component} "The ${component} part of the kit.")
  endif()
  set(CPACK_DEBIAN_${C}_PACKAGE_NAME ${kit_package_${component}})
  set(CPACK_DEBIAN_${C}_PACKAGE_SECTION ${kit_section_${component}})
  set(CPACK_DEBIAN_${C}_DESCRIPTION "${kit_summary_${component}}\n${kit_details_${component}}")
  set(CPACK_COMPONENT_${C}_DESCRIPTION "${kit_summary_${component}}\n${kit_details_${component}}")
  if(NOT component STREQUAL "runtime")
    set(CPACK_COMPONENT_${C}_DEPENDS runtime)
  endif()

  # Debian wants a copyright file and a changelog in every package.
  set(doc ${CMAKE_BINARY_DIR}/packaging/${kit_package_${component}})
  configure_file(${KIT_PACKAGING_DIR}/changelog.in ${doc}/changelog @ONLY)
  execute_process(COMMAND gzip -9nf ${doc}/changelog)
  install(FILES ${KIT_PACKAGING_DIR}/copyright ${doc}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${kit_package_${component}} COMPONENT ${component})
endforeach()

# The runtime libraries register with the dynamic loader's cache through
# dpkg's ldconfig trigger; one package holds all of the kit's libraries, which
# share one ABI number and are released together.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/runtime-control/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/runtime-control/triggers)
install(FILES ${KIT_PACKAGING_DIR}/lintian/libticketkit
  DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT runtime)

# The dll.d entry is configuration the administrator may edit.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/sane-control/conffiles
  "${CMAKE_INSTALL_FULL_SYSCONFDIR}/sane.d/dll.d/tqrmx7kp\n")
set(CPACK_DEBIAN_SANE_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/sane-control/conffiles)
set(CPACK_DEBIAN_SANE_PACKAGE_SUGGESTS "sane-utils")
set(CPACK_DEBIAN_PYTHON_PACKAGE_ARCHITECTURE all)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "python3")

include(CPack)

# ---- the package test --------------------------------------------------------
# Builds the packages in build/package (the `package` workflow), unpacks them
# into a throwaway root, runs the tools and the SANE backend from there, builds
# a C program with pkg-config and a CMake project with find_package against it,
# and runs lintian. Only in a plain release build: the packages are built from
# the same sources with their own preset.
if(KIT_BUILD_TESTS AND NOT CMAKE_CXX_FLAGS MATCHES "sanitize" AND CMAKE_BUILD_TYPE STREQUAL "Release")
  add_test(NAME debian_packages
    COMMAND ${CMAKE_COMMAND} -E env CMAKE_COMMAND=${CMAKE_COMMAND}
            bash ${KIT_PACKAGING_DIR}/tests/package_test.sh ${PROJECT_SOURCE_DIR}
    WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
  set_tests_properties(debian_packages PROPERTIES LABELS package TIMEOUT 1200 COST 1000)
endif()
