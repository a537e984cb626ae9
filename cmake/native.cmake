# Native (Linux) configuration. SONDREL_FLAVOUR chooses what is built:
#   test — the portable core and its unit tests under AddressSanitizer and UBSan (the default);
#   fast — the core at -O2 without sanitizers, the benchmarks and the cabinet generator;
#   fuzz — the libFuzzer targets (configure with clang).
set(SONDREL_FLAVOUR test CACHE STRING "test, fast or fuzz")

set(SONDREL_SAN_FLAGS)
if(SONDREL_FLAVOUR STREQUAL "test")
  set(SONDREL_SAN_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  set(CMAKE_BUILD_TYPE Debug CACHE STRING "" FORCE)
elseif(SONDREL_FLAVOUR STREQUAL "fuzz")
  set(SONDREL_SAN_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "" FORCE)
  # clang knows no other execution character set than UTF-8; the core's accented UI texts do not
  # matter to the fuzzed parsers.
  set(SONDREL_CHARSET)
else()
  set(CMAKE_BUILD_TYPE Release CACHE STRING "" FORCE)
endif()

add_library(sondrel_core STATIC ${SONDREL_CORE_SOURCES})
target_include_directories(sondrel_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(sondrel_core PRIVATE ${SONDREL_WARNINGS} ${SONDREL_CHARSET} ${SONDREL_SAN_FLAGS})
target_link_options(sondrel_core PUBLIC ${SONDREL_SAN_FLAGS})

# The stand-in host's portable parts (cabinet format reader and writer), shared by the generator,
# the native tests and the Windows DLL.
file(GLOB SONDREL_STANDIN_CORE CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/standin/core/*.cpp)
if(SONDREL_STANDIN_CORE)
  add_library(standin_core STATIC ${SONDREL_STANDIN_CORE})
  target_include_directories(standin_core PUBLIC ${CMAKE_SOURCE_DIR})
  target_compile_options(standin_core PRIVATE ${SONDREL_WARNINGS} ${SONDREL_SAN_FLAGS})
  target_link_options(standin_core PUBLIC ${SONDREL_SAN_FLAGS})
endif()

enable_testing()

if(SONDREL_FLAVOUR STREQUAL "test")
  find_package(GTest REQUIRED)
  find_package(Threads REQUIRED)
  file(GLOB _unit CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*_test.cpp)
  add_executable(sondrel_unit_tests ${_unit})
  target_compile_options(sondrel_unit_tests PRIVATE ${SONDREL_WARNINGS} ${SONDREL_CHARSET} ${SONDREL_SAN_FLAGS})
  target_link_libraries(sondrel_unit_tests PRIVATE sondrel_core GTest::gtest_main Threads::Threads)
  if(TARGET standin_core)
    target_link_libraries(sondrel_unit_tests PRIVATE standin_core)
  endif()
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
