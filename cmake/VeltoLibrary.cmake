# velto_library(NAME DEPS...): a static library of every .cpp in the calling folder.
function(velto_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN} Threads::Threads)
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN} Threads::Threads)
  endif()
endfunction()

# velto_test_suite(NAME DEPS...): one GoogleTest program of every .cpp in the calling folder.
function(velto_test_suite name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
  target_compile_definitions(${name} PRIVATE
    VELTO_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELTO_BINARY_DIR="${CMAKE_BINARY_DIR}"
    VELTO_EXAMPLES_DIR="${CMAKE_SOURCE_DIR}/tests/data/braille-examples")
  add_dependencies(${name} install_tree)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 120 DISCOVERY_MODE PRE_TEST
    PROPERTIES ENVIRONMENT "VELTO_SOURCE_DIR=${CMAKE_SOURCE_DIR};VELTO_BINARY_DIR=${CMAKE_BINARY_DIR}")
endfunction()
