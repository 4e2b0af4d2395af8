# One library per source folder: every .cpp/.h in the folder (not in its
# subfolders) belongs to it, so adding a file needs no CMake edit. With
# RECURSE the folder's subfolders belong to it too (a ui/ sorted by kind).
# A folder without sources yet becomes an interface library.
function(qor_add_library name dir)
  cmake_parse_arguments(ARG "RECURSE" "" "DEPS" ${ARGN})
  if(ARG_RECURSE)
    set(_glob GLOB_RECURSE)
  else()
    set(_glob GLOB)
  endif()
  file(${_glob} _all CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.h)
  set(_srcs ${_all})
  list(FILTER _srcs INCLUDE REGEX "\\.cpp$")
  if(_srcs)
    add_library(${name} STATIC ${_all})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()

# A GoogleTest executable run by CTest with the offscreen platform, the C
# locale and the artefacts folder for screenshots.
function(qor_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE qor_test_support ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C;LC_ALL=C;QOR_TEST_ARTIFACTS=${CMAKE_BINARY_DIR}/test-artifacts"
    TIMEOUT 900)
endfunction()

# Cases of a test executable that may skip (a service or a file system this
# machine lacks) run as CTest entries of their own, named <test>.<case>, so
# that a skip shows as skipped instead of hiding inside a passing run; the
# executable's own entry leaves them out.
function(qor_skippable_cases name)
  set(_env "QT_QPA_PLATFORM=offscreen;LANG=C;LC_ALL=C;QOR_TEST_ARTIFACTS=${CMAKE_BINARY_DIR}/test-artifacts")
  string(JOIN ":" _cases ${ARGN})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${_env};GTEST_FILTER=-${_cases}")
  foreach(_case ${ARGN})
    add_test(NAME ${name}.${_case} COMMAND ${name} --gtest_filter=${_case})
    set_tests_properties(${name}.${_case} PROPERTIES ENVIRONMENT "${_env}" TIMEOUT 900
      SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\]")
  endforeach()
endfunction()

# A Google Benchmark executable; benchmarks are run by hand, not by CTest.
function(qor_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE benchmark::benchmark ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench)
endfunction()
