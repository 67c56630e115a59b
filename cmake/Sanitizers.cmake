# Instrumented builds. DEEPGLASS_SANITIZE builds every target with AddressSanitizer (LeakSanitizer
# included) and UndefinedBehaviorSanitizer; nothing recovers, so the first report ends the program
# and fails the test that ran it. DEEPGLASS_FUZZ (clang) adds libFuzzer's coverage instrumentation
# and the fuzz targets of fuzz/, sanitized the same way. DEEPGLASS_THREAD_SANITIZE builds every
# target with ThreadSanitizer, for the tool's frames in parallel; it cannot be combined with ASan.
option(DEEPGLASS_SANITIZE "Build with ASan, LeakSanitizer and UBSan" OFF)
option(DEEPGLASS_FUZZ "Build the libFuzzer targets in fuzz/ (clang)" OFF)
option(DEEPGLASS_THREAD_SANITIZE "Build with ThreadSanitizer" OFF)

if(DEEPGLASS_SANITIZE OR DEEPGLASS_FUZZ)
  if(WIN32)
    message(FATAL_ERROR "Sanitizer and fuzzing builds are native builds")
  endif()
  # float-cast-overflow is named because GCC leaves it out of "undefined": a float to integer
  # conversion out of range is exactly the fault the grey conversion must never commit.
  set(DEEPGLASS_SANITIZERS address,undefined,float-cast-overflow)
  add_compile_options(-fsanitize=${DEEPGLASS_SANITIZERS} -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=${DEEPGLASS_SANITIZERS})
  # Tests that make an allocation fail look at this to have ASan answer null, as the C library
  # does, rather than stop the program.
  add_compile_definitions(DEEPGLASS_SANITIZED=1)
endif()

if(DEEPGLASS_THREAD_SANITIZE)
  if(WIN32 OR DEEPGLASS_SANITIZE OR DEEPGLASS_FUZZ)
    message(FATAL_ERROR "ThreadSanitizer builds are native builds of their own, without ASan")
  endif()
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
endif()

if(DEEPGLASS_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "DEEPGLASS_FUZZ needs clang (libFuzzer); configure with the fuzz preset")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
