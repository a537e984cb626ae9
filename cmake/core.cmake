# The two libraries every configuration builds, defined here once: the portable core (every source
# of the product folders that does not end in _win.cpp) and the stand-in host's portable cabinet
# reader and writer (standin/core), which the generator, the native tests and the stand-in DLL share.
# The configuration sets SONDREL_SAN_FLAGS (its sanitizers; none in the cross build) and
# SONDREL_CHARSET before it includes this file.
add_library(sondrel_core STATIC ${SONDREL_CORE_SOURCES})
target_include_directories(sondrel_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(sondrel_core PRIVATE ${SONDREL_WARNINGS} ${SONDREL_CHARSET} ${SONDREL_SAN_FLAGS})
target_link_options(sondrel_core PUBLIC ${SONDREL_SAN_FLAGS})

file(GLOB SONDREL_STANDIN_CORE CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/standin/core/*.cpp)
add_library(standin_core STATIC ${SONDREL_STANDIN_CORE})
target_include_directories(standin_core PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(standin_core PRIVATE ${SONDREL_WARNINGS} ${SONDREL_SAN_FLAGS})
target_link_options(standin_core PUBLIC ${SONDREL_SAN_FLAGS})

# The folded scan's 32-byte path (search/fold_wide.cpp) is the one file compiled for AVX2; the
# program calls it only where the processor and the system run it (search/fold.cpp asks). With GCC
# for Windows the assembler writes the unaligned forms of vector moves there: GCC takes the stack as
# 32-byte aligned when it spills an AVX register, which 64-bit Windows does not promise (16 bytes),
# and an aligned move to a misaligned slot would fault. (Clang realigns the stack itself, and its
# assembler does not know the option.)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i[3-6]86|x86)$")
  if(MSVC)
    set(_sondrel_wide_scan /arch:AVX2)
  elseif(MINGW AND CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set(_sondrel_wide_scan -mavx2 -Wa,-muse-unaligned-vector-move)
  else()
    set(_sondrel_wide_scan -mavx2)
  endif()
  set_source_files_properties(${CMAKE_SOURCE_DIR}/search/fold_wide.cpp PROPERTIES COMPILE_OPTIONS
    "${_sondrel_wide_scan}")
endif()
