# Native (Linux) configuration. SONDREL_FLAVOUR chooses what is built:
#   test — the portable core and its unit tests under AddressSanitizer and UBSan (the default);
#   fast — the core at -O2 without sanitizers, the benchmarks and the cabinet generator;
#   fuzz — the libFuzzer targets (configure with clang).
set(SONDREL_FLAVOUR test CACHE STRING "test, fast or fuzz")

# Each flavour has its own default build type (Debug under the sanitizers, RelWithDebInfo for the
# fuzz targets, Release for the benchmarks); a build type given on the command line is kept.
set(SONDREL_SAN_FLAGS)
if(SONDREL_FLAVOUR STREQUAL "test")
  set(SONDREL_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  set(_default_build_type Debug)
elseif(SONDREL_FLAVOUR STREQUAL "fuzz")
  set(SONDREL_SAN_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  set(_default_build_type RelWithDebInfo)
  # clang knows no other execution character set than UTF-8; the core's accented UI texts do not
  # matter to the fuzzed parsers.
  set(SONDREL_CHARSET)
else()
  set(_default_build_type Release)
endif()
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE ${_default_build_type})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/core.cmake)

enable_testing()

if(SONDREL_FLAVOUR STREQUAL "test")
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)
  file(GLOB _unit CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
  add_executable(sondrel_unit_tests ${_unit})
  target_compile_options(sondrel_unit_tests PRIVATE ${SONDREL_WARNINGS} ${SONDREL_CHARSET} ${SONDREL_SAN_FLAGS})
  target_link_libraries(sondrel_unit_tests PRIVATE sondrel_core GTest::gtest_main Threads::Threads)
  target_link_libraries(sondrel_unit_tests PRIVATE standin_core)
  target_compile_definitions(sondrel_unit_tests PRIVATE SONDREL_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_test(NAME unit_tests COMMAND sondrel_unit_tests)
  # The fuzz targets' corpora also run as plain regression inputs in this flavour.
  if(EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/CMakeLists.txt)
    add_subdirectory(tests/fuzz)
  endif()
endif()

# The cabinet generator: a tool in the fast flavour, a library the unit tests call in the test one.
if(SONDREL_FLAVOUR STREQUAL "fast" OR SONDREL_FLAVOUR STREQUAL "test")
  if(EXISTS ${CMAKE_SOURCE_DIR}/standin/gen/CMakeLists.txt)
    add_subdirectory(standin/gen)
  endif()
endif()

if(SONDREL_FLAVOUR STREQUAL "fast")
  find_package(benchmark QUIET)
  if(benchmark_FOUND AND EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
    add_subdirectory(bench)
  endif()
endif()

if(SONDREL_FLAVOUR STREQUAL "fuzz" AND EXISTS ${CMAKE_SOURCE_DIR}/tests/fuzz/CMakeLists.txt)
  add_subdirectory(tests/fuzz)
endif()
