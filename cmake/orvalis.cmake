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
