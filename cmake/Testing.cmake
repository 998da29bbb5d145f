# GoogleTest from Debian's sources, built with whichever toolchain this build uses,
# and y2e_add_test() to register one test program with CTest.
set(Y2E_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")

if(BUILD_TESTING AND (Y2E_CAN_RUN OR Y2E_RUN32))
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(${Y2E_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
endif()

# y2e_add_test(<name> SOURCES <files...> [LIBS <targets...>] [TIMEOUT <seconds>]
#              [RESOURCE_LOCK <names...>] [NO_MAIN] [STAGE32])
# Builds one GoogleTest program and registers it. Under Wine it runs through the
# emulator wrapper. Every test has a timeout so that a hung window fails the run.
# STAGE32 builds it in the 32-bit stage as well; other tests are 64-bit and native only.
function(y2e_add_test name)
  cmake_parse_arguments(T "NO_MAIN;STAGE32" "TIMEOUT" "SOURCES;LIBS;RESOURCE_LOCK" ${ARGN})
  if(NOT BUILD_TESTING OR NOT (Y2E_CAN_RUN OR (T_STAGE32 AND Y2E_RUN32)))
    return()
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_executable(${name} ${T_SOURCES})
  # Tests include their fixtures by path from the source root, as the product does.
  if(T_NO_MAIN)
    target_link_libraries(${name} PRIVATE ${T_LIBS} y2e_source_root GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} y2e_source_root GTest::gtest_main)
  endif()
  add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()
