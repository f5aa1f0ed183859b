# orvalis_test(NAME SOURCES ... LIBS ...): one GoogleTest program, one ctest entry.
# Under the windows preset the program runs through the Wine emulator script; its
# results also go to an XML file that the test script adds up.
function(orvalis_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS})
  if(WIN32)
    # The Wine test support library brings its own main (OLE initialised first).
    target_link_libraries(${name} PRIVATE gtest)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest GTest::gtest_main)
  endif()
  set(results ${CMAKE_BINARY_DIR}/test-results/${name}.xml)
  if(WIN32)
    set(results Z:${results})  # as Wine sees the build folder
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_output=xml:${results})
endfunction()

# orvalis_define(HEADER NAME VAR): the value of "#define NAME value" in a contract header,
# without its quotes and with the C escapes of backslashes undone. The version, the add-in's
# identity and the texts the installer writes live in those headers only.
function(orvalis_define header name var)
  file(STRINGS ${PROJECT_SOURCE_DIR}/contract/${header} lines REGEX "^#define ${name} ")
  if(NOT lines MATCHES "^#define ${name} (.+)$")
    message(FATAL_ERROR "contract/${header} defines no ${name}")
  endif()
  string(STRIP "${CMAKE_MATCH_1}" value)
  string(REGEX REPLACE "^\"(.*)\"$" "\\1" value "${value}")
  string(REPLACE "\\\\" "\\" value "${value}")
  set(${var} "${value}" PARENT_SCOPE)
endfunction()
