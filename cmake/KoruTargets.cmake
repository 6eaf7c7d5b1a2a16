# Shared settings of the project's own targets.

# Every narrow string literal of our sources is stored as Shift-JIS (code page 932),
# so Japanese texts stay readable in the UTF-8 sources and are the program's own bytes.
# One consequence: libstdc++'s C++20 <chrono> holds a "\u00b5s" literal that code page 932
# cannot encode, so our sources time things with <ctime> (clock_gettime / timespec_get).
set(KORU_COMMON_OPTIONS -Wall -Wextra -Wno-unused-parameter -finput-charset=UTF-8
    -fexec-charset=CP932)

function(koru_target_defaults target)
  target_compile_options(${target} PRIVATE ${KORU_COMMON_OPTIONS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  if(WIN32)
    target_compile_definitions(${target} PUBLIC UNICODE _UNICODE NOMINMAX WIN32_LEAN_AND_MEAN)
  endif()
  if(KORU_SANITIZE)
    target_compile_options(${target} PUBLIC -fsanitize=address,undefined -fno-omit-frame-pointer
                                            -fno-sanitize-recover=undefined)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# koru_add_library(NAME SOURCES... [DEPS libs...])
function(koru_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  koru_target_defaults(${name})
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# koru_add_test(NAME SOURCES... [DEPS libs...]): one GoogleTest program, its cases
# listed by ctest at test time (through Wine for the cross build).
function(koru_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  koru_target_defaults(${name})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # Test programs are not shipped: unoptimised they build in half the time, while the code
  # under test keeps the build's own flags.
  target_compile_options(${name} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0>)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES ENVIRONMENT "KORU_TEST_TMPDIR=${CMAKE_CURRENT_BINARY_DIR}/tmp")
endfunction()
