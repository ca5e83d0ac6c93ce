# norvex_test(NAME SOURCES... LIBS ...): one GoogleTest program, run by ctest as one test.
# Under the Windows build ctest runs it through CMAKE_CROSSCOMPILING_EMULATOR (Wine).
function(norvex_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  if(WIN32)
    target_link_libraries(${name} PRIVATE ${T_LIBS} norvex_test_support gmock gtest_main)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} norvex_test_support GTest::gmock GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
