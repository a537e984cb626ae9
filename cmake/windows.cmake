# Cross (MinGW-w64 i686, or x86_64 for the 64-bit test flavour) configuration: sondrel.exe, the stand-in host, Windows tests under Wine.
enable_language(RC)
set(CMAKE_RC_FLAGS "-c 65001")   # resource scripts are UTF-8; windres turns their texts into 1252
# Release unless the command line gives another build type.
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE Release)
endif()
# Every exe and DLL lands in one folder, so the stand-in HDAPI5.DLL sits beside sondrel.exe and the
# test executables.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
# Two flavours: the shipped 32-bit program (i686) and a 64-bit test flavour (x86_64) that runs the same
# tests under 64-bit Wine where 32-bit code cannot run. tools/wine-env.sh says how each one runs; the
# tests get the flavour and the prefix through their environment, from these cache variables.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_flavour 64)
else()
  set(_flavour 32)
endif()
set(SONDREL_WINE_FLAVOUR ${_flavour} CACHE STRING "Wine flavour of this build's tests: 32 or 64")
# Where the Windows tests find their Wine prefix and generated cabinet tree (run.sh prepares both).
set(SONDREL_WINEPREFIX "" CACHE PATH "Wine prefix of the tests (empty: the flavour's own, build/wineprefix or build/wineprefix64)")
set(SONDREL_WINE_TEST_ENV SONDREL_WINE_FLAVOUR=${SONDREL_WINE_FLAVOUR} SONDREL_WINEPREFIX=${SONDREL_WINEPREFIX})
set(SONDREL_TEST_TREE ${CMAKE_SOURCE_DIR}/build/cabinets/small CACHE PATH "generated cabinet tree")

set(SONDREL_SAN_FLAGS)
include(${CMAKE_CURRENT_LIST_DIR}/core.cmake)
# The folded scan's SSE2 path (search/fold.cpp says why a 32-bit build may assume SSE2).
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND NOT MSVC)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/search/fold.cpp PROPERTIES COMPILE_OPTIONS -msse2)
endif()

# Import library for HDAPI5.DLL, made from our own .def so that the exe imports the DLL by name and
# by undecorated function names. x64 knows no stdcall decoration: there the list is the same .def with
# the "@n" suffixes taken off, written into the build folder (host/HDAPI5.def stays the one source).
set(HDAPI5_DEF ${CMAKE_SOURCE_DIR}/host/HDAPI5.def)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  file(READ ${HDAPI5_DEF} _def)
  string(REGEX REPLACE "@[0-9]+" "" _def "${_def}")
  file(WRITE ${CMAKE_BINARY_DIR}/HDAPI5-x64.def.tmp "${_def}")
  configure_file(${CMAKE_BINARY_DIR}/HDAPI5-x64.def.tmp ${CMAKE_BINARY_DIR}/HDAPI5.def COPYONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${HDAPI5_DEF})
  set(HDAPI5_DEF ${CMAKE_BINARY_DIR}/HDAPI5.def)
endif()
set(HDAPI5_IMPLIB ${CMAKE_BINARY_DIR}/libhdapi5.a)
add_custom_command(OUTPUT ${HDAPI5_IMPLIB}
  COMMAND ${CMAKE_DLLTOOL} -d ${HDAPI5_DEF} -l ${HDAPI5_IMPLIB} -D HDAPI5.DLL -k
  DEPENDS ${HDAPI5_DEF})
add_custom_target(hdapi5_implib DEPENDS ${HDAPI5_IMPLIB})
add_library(hdapi5 STATIC IMPORTED GLOBAL)
set_target_properties(hdapi5 PROPERTIES IMPORTED_LOCATION ${HDAPI5_IMPLIB})
add_dependencies(hdapi5 hdapi5_implib)

set(SONDREL_WIN_LIBS comctl32 comdlg32 gdi32 user32 shell32 advapi32 version wininet ole32 uuid)

# Win32 glue, everything but the entry point, so the Windows tests link the very same code.
list(FILTER SONDREL_GLUE_SOURCES EXCLUDE REGEX "/app/main_win\\.cpp$")
add_library(sondrel_glue STATIC ${SONDREL_GLUE_SOURCES})
target_include_directories(sondrel_glue PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(sondrel_glue PRIVATE ${SONDREL_WARNINGS} ${SONDREL_CHARSET})
target_compile_definitions(sondrel_glue PUBLIC WIN32_LEAN_AND_MEAN _WIN32_WINNT=0x0501 _WIN32_IE=0x0501)
target_link_libraries(sondrel_glue PUBLIC sondrel_core hdapi5 ${SONDREL_WIN_LIBS})

file(GLOB SONDREL_RC CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
add_executable(sondrel WIN32 ${CMAKE_SOURCE_DIR}/app/main_win.cpp ${SONDREL_RC})
target_compile_options(sondrel PRIVATE ${SONDREL_WARNINGS} ${SONDREL_CHARSET})
target_link_libraries(sondrel PRIVATE sondrel_glue)
target_include_directories(sondrel PRIVATE ${CMAKE_SOURCE_DIR}/resources)
set_target_properties(sondrel PROPERTIES OUTPUT_NAME sondrel)

enable_testing()
if(EXISTS ${CMAKE_SOURCE_DIR}/standin/CMakeLists.txt)
  add_subdirectory(standin)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/windows/CMakeLists.txt)
  add_subdirectory(tests/windows)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/installer/CMakeLists.txt)
  add_subdirectory(installer)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/win/CMakeLists.txt)
  add_subdirectory(bench/win)
endif()
