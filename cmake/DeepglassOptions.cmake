# Build settings of the project's own targets, applied through the interface target
# deepglass_options so that third-party code built here (GoogleTest) keeps its own flags.
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()

add_library(deepglass_options INTERFACE)
# Strict warnings, and no floating-point contraction or fast-math: the grey formula must give the
# same bits on every build.
target_compile_options(deepglass_options INTERFACE -Wall -Wextra -Wpedantic -ffp-contract=off -fno-fast-math
                                                   $<$<BOOL:${DEEPGLASS_WERROR}>:-Werror>)
# GCC 12 at -O3 reports overlapping copies inside libstdc++'s own string concatenation that cannot
# happen (a known false positive of that release), which would fail optimised builds of std::string code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(deepglass_options INTERFACE -Wno-restrict)
endif()
if(WIN32)
  # The C and C++ runtimes are linked statically, so the module and the host each own their
  # allocator and no runtime DLL has to travel with them.
  target_link_options(deepglass_options INTERFACE -static -static-libgcc -static-libstdc++)
endif()
