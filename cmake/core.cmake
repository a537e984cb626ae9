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
