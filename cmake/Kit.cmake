# Helpers shared by every part of the kit.

# The ABI number of every kit library: lib<Name>.so.<KIT_SOVERSION> is what an
# installed runtime keeps; the bare lib<Name>.so comes with the development files.
set(KIT_SOVERSION 0)

# Install components, one Debian package each (cmake/Packaging.cmake):
#   runtime  shared libraries and the udev rule      dev   headers, pkg-config, CMake package
#   tools    command-line programs                   demo  the Qt demo
#   sane     the SANE backend
# kit_note_component(<component>) records that something installs into it, so
# only components with content become packages.
function(kit_note_component component)
  set_property(GLOBAL APPEND PROPERTY KIT_INSTALL_COMPONENTS ${component})
endfunction()

# kit_add_library(<Name> SOURCES ... [HEADERS ...] [LIBS ...] [NO_INSTALL])
# A deliverable shared library lib<Name>.so with RUNPATH $ORIGIN, hidden symbols,
# the platform layer linked in, and install rules with a pkg-config file.
function(kit_add_library name)
  cmake_parse_arguments(ARG "NO_INSTALL" "" "SOURCES;HEADERS;LIBS" ${ARGN})
  add_library(${name} SHARED ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kit_platform ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES
    BUILD_RPATH "$ORIGIN"
    INSTALL_RPATH "$ORIGIN"
    VERSION ${PROJECT_VERSION}
    SOVERSION ${KIT_SOVERSION})
  # Every symbol must resolve at link time, except in the fuzz build, where clang
  # leaves the sanitizer runtime to the program that loads the library.
  if(KIT_BUILD_FUZZERS)
    target_link_options(${name} PRIVATE -Wl,-z,undefs)
  else()
    target_link_options(${name} PRIVATE -Wl,--no-undefined)
  endif()
  if(NOT ARG_NO_INSTALL)
    install(TARGETS ${name}
      LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        COMPONENT runtime
        NAMELINK_COMPONENT dev)
    kit_note_component(runtime)
    kit_note_component(dev)
    set_property(GLOBAL APPEND PROPERTY KIT_EXPORTED_LIBRARIES ${name})
    if(ARG_HEADERS)
      install(FILES ${ARG_HEADERS} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/ticketkit COMPONENT dev)
    endif()
    set(KIT_PC_NAME ${name})
    # The prefix is found from the .pc file's own place, so `cmake --install --prefix` works.
    file(RELATIVE_PATH KIT_PC_UP "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
    string(REGEX REPLACE "/$" "" KIT_PC_UP "${KIT_PC_UP}")
    configure_file(${PROJECT_SOURCE_DIR}/cmake/library.pc.in
                   ${CMAKE_BINARY_DIR}/pkgconfig/${name}.pc @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/pkgconfig/${name}.pc
            DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
  endif()
endfunction()

# kit_add_program(<name> SOURCES ... [LIBS ...] [COMPONENT <component>] [NO_INSTALL])
# COMPONENT picks the package the program ships in: `tools` (default) or `demo`.
function(kit_add_program name)
  cmake_parse_arguments(ARG "NO_INSTALL" "COMPONENT" "SOURCES;LIBS" ${ARGN})
  if(NOT ARG_COMPONENT)
    set(ARG_COMPONENT tools)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kit_platform ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES
    BUILD_RPATH "$ORIGIN/../lib"
    INSTALL_RPATH "$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
  if(NOT ARG_NO_INSTALL)
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${ARG_COMPONENT})
    kit_note_component(${ARG_COMPONENT})
  endif()
endfunction()

# kit_add_test_header()
# One precompiled header for every GoogleTest program: GoogleTest and the standard headers most
# tests include. Parsing them is about half of each test file's compile time, and the test files
# are most of the build. It is owned by a program of its own, compiled with the same options as
# the tests, so that every test reuses it (KIT_TEST_PCH OFF compiles each file from scratch).
function(kit_add_test_header)
  if(NOT KIT_BUILD_TESTS OR NOT KIT_TEST_PCH OR TARGET kit_test_header)
    return()
  endif()
  set(source ${CMAKE_BINARY_DIR}/kit_test_header.cpp)
  file(CONFIGURE OUTPUT ${source} CONTENT "int main() { return 0; }\n")
  add_executable(kit_test_header ${source})
  target_link_libraries(kit_test_header PRIVATE GTest::gtest)
  set_target_properties(kit_test_header PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/archive)
  set(headers gtest/gtest.h algorithm cmath cstdint cstdlib cstring filesystem fstream functional
      random sstream string vector)
  list(TRANSFORM headers REPLACE "^(.+)$" "$<$<COMPILE_LANGUAGE:CXX>:<\\1>>")
  target_precompile_headers(kit_test_header PRIVATE ${headers})
endfunction()

# kit_add_gtest(<name> SOURCES ... [LIBS ...] [DEPENDS targets...] [LABELS ...])
# A GoogleTest program in bin/; each test case becomes one ctest test.
# DEPENDS names shared libraries the test loads at run time (built first).
function(kit_add_gtest name)
  if(NOT KIT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;DEPENDS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kit_platform GTest::gtest GTest::gtest_main ${ARG_LIBS})
  if(TARGET kit_test_header)
    target_precompile_headers(${name} REUSE_FROM kit_test_header)
    # g++ 12 forgets that the precompiled standard headers are system headers when it inlines
    # them, and reports std::string's own copies as out of bounds (the sanitizer build checks
    # the tests' memory at run time instead).
    target_compile_options(${name} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-array-bounds>
      $<$<COMPILE_LANGUAGE:CXX>:-Wno-stringop-overflow> $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
    # C files (the public headers compiled as C) see only what they include themselves.
    set(c_sources ${ARG_SOURCES})
    list(FILTER c_sources INCLUDE REGEX "\\.c$")
    if(c_sources)
      set_source_files_properties(${c_sources} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    endif()
  endif()
  set_target_properties(${name} PROPERTIES BUILD_RPATH "$ORIGIN/../lib")
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}")
endfunction()

# kit_add_benchmark(<name> SOURCES ... [LIBS ...] [DEPENDS ...])
# A Google Benchmark program in bin/ (not run by ctest).
function(kit_add_benchmark name)
  if(NOT KIT_BUILD_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEPENDS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE kit_platform benchmark::benchmark ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES BUILD_RPATH "$ORIGIN/../lib")
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
endfunction()

# kit_add_fuzzer(<name> SOURCES ... [LIBS ...] [DEPENDS ...] [ARGS ...])
# A libFuzzer target, built only with KIT_BUILD_FUZZERS (the `fuzz` preset, clang),
# and run for KIT_FUZZ_SECONDS by ctest under the label "fuzz".
function(kit_add_fuzzer name)
  if(NOT KIT_BUILD_FUZZERS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;DEPENDS;ARGS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE kit_platform ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES BUILD_RPATH "$ORIGIN/../lib")
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()
  set(corpus ${CMAKE_CURRENT_BINARY_DIR}/${name}_corpus)
  file(MAKE_DIRECTORY ${corpus})
  add_test(NAME ${name}
    COMMAND ${name} -max_total_time=${KIT_FUZZ_SECONDS} -rss_limit_mb=2048 ${ARG_ARGS} ${corpus}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
  math(EXPR fuzz_timeout "${KIT_FUZZ_SECONDS} * 3 + 60")
  set_tests_properties(${name} PROPERTIES LABELS fuzz TIMEOUT ${fuzz_timeout})
endfunction()
