# GoogleTest: the machine's build on Linux; cross-compiled from Debian's
# sources for Windows, linked statically so that the test programs need no
# MinGW DLLs under Wine. A toolchain that cannot build the test programs
# (no C++ standard library or Windows headers) names one that can, in
# LAUNCHER_TEST_TOOLCHAIN_FILE.
if(LAUNCHER_TEST_TOOLCHAIN_FILE)
  # The test programs are built from these same sources with that toolchain,
  # in a tree of their own, and run from there against this tree's launcher.
  # Which programs that tree builds is known once every test is declared.
  set(TestProgramTree ${CMAKE_BINARY_DIR}/test-programs)
  function(add_test_program_tree)
    get_property(programs GLOBAL PROPERTY TestPrograms)
    include(ExternalProject)
    ExternalProject_Add(test_programs
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${TestProgramTree}
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${LAUNCHER_TEST_TOOLCHAIN_FILE}
                 -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE}
      BUILD_COMMAND ${CMAKE_COMMAND} --build ${TestProgramTree} --target ${programs}
      BUILD_ALWAYS ON
      INSTALL_COMMAND "")
  endfunction()
  cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL add_test_program_tree)
elseif(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_link_options(-static)
else()
  find_package(GTest REQUIRED)
endif()
if(CMAKE_CROSSCOMPILING)
  # Every Windows-side test runs in the project's own Wine prefix, which the
  # "wine" fixture creates and keeps served, with the environment that every
  # Wine run of the project gets (scripts/wine.env).
  file(STRINGS ${PROJECT_SOURCE_DIR}/scripts/wine.env WINE_ENVIRONMENT REGEX "^[A-Z]+=")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/wine.env)
  set(WINE_TEST_ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" ${WINE_ENVIRONMENT})
endif()

# add_test_program(name SOURCES file... [OUTPUT_NAME name] [LIBRARIES target...]
#                  [LINK_OPTIONS option...] [DEPENDS target...])
# A program that the tests run; built here, or taken from the test-program
# tree when this toolchain cannot build it. Building it here also builds the
# targets it DEPENDS on, the programs that it starts.
function(add_test_program name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "OUTPUT_NAME" "SOURCES;LIBRARIES;LINK_OPTIONS;DEPENDS")
  if(NOT arg_OUTPUT_NAME)
    set(arg_OUTPUT_NAME ${name})
  endif()
  if(LAUNCHER_TEST_TOOLCHAIN_FILE)
    file(RELATIVE_PATH folder ${PROJECT_BINARY_DIR} ${CMAKE_CURRENT_BINARY_DIR})
    add_executable(${name} IMPORTED GLOBAL)
    set_target_properties(${name} PROPERTIES
      IMPORTED_LOCATION ${TestProgramTree}/${folder}/${arg_OUTPUT_NAME}.exe
      CROSSCOMPILING_EMULATOR "${CMAKE_CROSSCOMPILING_EMULATOR}")
    set_property(GLOBAL APPEND PROPERTY TestPrograms ${name})
  else()
    add_executable(${name} ${arg_SOURCES})
    set_target_properties(${name} PROPERTIES OUTPUT_NAME ${arg_OUTPUT_NAME})
    target_link_libraries(${name} PRIVATE project_warnings ${arg_LIBRARIES})
    target_link_options(${name} PRIVATE ${arg_LINK_OPTIONS})
    if(arg_DEPENDS)
      add_dependencies(${name} ${arg_DEPENDS})
    endif()
  endif()
endfunction()

# add_unit_test(name SOURCES file... [LIBRARIES target...] [DEPENDS target...])
# One test program per unit; CTest runs it (under the emulator when cross
# compiling).
function(add_unit_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES;DEPENDS")
  add_test_program(${name} SOURCES ${arg_SOURCES} LIBRARIES GTest::gtest_main ${arg_LIBRARIES}
    DEPENDS ${arg_DEPENDS})
  add_test(NAME ${name} COMMAND ${name})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED wine ENVIRONMENT "${WINE_TEST_ENVIRONMENT}")
  endif()
endfunction()
