# GoogleTest: the machine's build on Linux; cross-compiled from Debian's
# sources for Windows, linked statically so that the test programs need no
# MinGW DLLs under Wine.
if(CMAKE_CROSSCOMPILING)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  add_link_options(-static)
  # Every Windows-side test runs in the project's own Wine prefix, which the
  # "wine" fixture creates and keeps served, with the environment that every
  # Wine run of the project gets (scripts/wine.env).
  file(STRINGS ${PROJECT_SOURCE_DIR}/scripts/wine.env WINE_ENVIRONMENT REGEX "^[A-Z]+=")
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/scripts/wine.env)
  set(WINE_TEST_ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wineprefix" ${WINE_ENVIRONMENT})
else()
  find_package(GTest REQUIRED)
endif()

# add_unit_test(name SOURCES file... [LIBRARIES target...])
# One test program per unit; CTest runs it (under the emulator when cross
# compiling).
function(add_unit_test name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LIBRARIES")
  add_executable(${name} ${arg_SOURCES})
  target_link_libraries(${name} PRIVATE GTest::gtest_main project_warnings ${arg_LIBRARIES})
  add_test(NAME ${name} COMMAND ${name})
  if(CMAKE_CROSSCOMPILING)
    set_tests_properties(${name} PROPERTIES
      FIXTURES_REQUIRED wine ENVIRONMENT "${WINE_TEST_ENVIRONMENT}")
  endif()
endfunction()
