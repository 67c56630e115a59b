# Compile flags for every target: strict warnings, and no floating-point contraction or fast-math,
# since the grey formula must give the same bits on every build.
add_compile_options(-Wall -Wextra -Wpedantic -ffp-contract=off -fno-fast-math)
# GCC 12 at -O3 reports overlapping copies inside libstdc++'s own string concatenation that cannot
# happen (a known false positive of that release), which would fail optimised builds of std::string code.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  add_compile_options(-Wno-restrict)
endif()
if(DEEPGLASS_WERROR)
  add_compile_options(-Werror)
endif()
if(NOT CMAKE_BUILD_TYPE)
  set(CMAKE_BUILD_TYPE RelWithDebInfo CACHE STRING "Build type" FORCE)
endif()
if(WIN32)
  # The C and C++ runtimes are linked statically, so the module and the host each own their
  # allocator and no runtime DLL has to travel with them.
  add_link_options(-static -static-libgcc -static-libstdc++)
endif()
