# End-to-end scenarios: GoogleTest cases that drive the Windows programs through their
# windows (tests/e2e/README.md). Windows builds only.
#
# koru_add_e2e_scenarios(NAME
#     SOURCES files...                 the scenarios (TEST(...) cases; main comes from the bed)
#     [CODE_PAGES both|once]           both (label e2e-both): every case runs under code
#                                      pages 1252 and 932; once (default, label e2e-once):
#                                      only in the 932 pass of scripts/test-windows.sh
#     [PATHS NAME path ...]            build-time paths handed to the sources as string macros
#                                      (Unix paths: open them through e2e::HostPath(NAME))
#     [DEPENDS targets...]             built before the scenarios (the programs under test)
#     [DRIVES letter:type ...]         drives mapped to empty per-case folders; type cdrom or
#                                      hd (default: d:cdrom e:cdrom)
#     [DEPS libraries...]              linked besides the driver
#     [TIMEOUT seconds])               per case (default 300)
#
# Each case runs through scripts/e2e-run in a copy of a prefix made once per ctest run (the
# test e2e_prefix_template), with its own X server; screenshots go to
# <build>/e2e-shots/<Suite.Case>/.

set(KORU_E2E_RUNNER ${PROJECT_SOURCE_DIR}/scripts/e2e-run)

# The ctest fixture that makes the template prefix once per run and removes it afterwards.
function(koru_e2e_prefix_fixture)
  # Once per build: if(TEST) sees only the tests of the current folder.
  get_property(made GLOBAL PROPERTY KORU_E2E_PREFIX_FIXTURE)
  if(made)
    return()
  endif()
  set_property(GLOBAL PROPERTY KORU_E2E_PREFIX_FIXTURE TRUE)
  set(arch win32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(arch win64)
  endif()
  add_test(NAME e2e_prefix_template
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e-template.sh create ${arch}
                   ${CMAKE_BINARY_DIR}/e2e/template)
  add_test(NAME e2e_prefix_template_cleanup
           COMMAND bash ${PROJECT_SOURCE_DIR}/scripts/e2e-template.sh remove ${arch}
                   ${CMAKE_BINARY_DIR}/e2e/template)
  set_tests_properties(e2e_prefix_template PROPERTIES FIXTURES_SETUP koru_e2e_prefix
                                                      LABELS e2e TIMEOUT 300)
  set_tests_properties(e2e_prefix_template_cleanup PROPERTIES FIXTURES_CLEANUP koru_e2e_prefix
                                                              LABELS e2e TIMEOUT 60)
endfunction()

function(koru_add_e2e_scenarios name)
  cmake_parse_arguments(ARG "" "CODE_PAGES;TIMEOUT" "SOURCES;PATHS;DEPENDS;DRIVES;DEPS" ${ARGN})
  if(NOT ARG_CODE_PAGES)
    set(ARG_CODE_PAGES once)
  endif()
  if(NOT ARG_CODE_PAGES MATCHES "^(both|once)$")
    message(FATAL_ERROR "koru_add_e2e_scenarios(${name}): CODE_PAGES is both or once")
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  if(NOT ARG_DRIVES)
    set(ARG_DRIVES d:cdrom e:cdrom)
  endif()
  list(JOIN ARG_DRIVES "," drives)

  add_executable(${name} ${ARG_SOURCES})
  koru_target_defaults(${name})
  target_compile_options(${name} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-O0>)
  target_link_libraries(${name} PRIVATE koru_e2e_main ${ARG_DEPS})
  list(LENGTH ARG_PATHS count)
  math(EXPR odd "${count} % 2")
  if(odd)
    message(FATAL_ERROR "koru_add_e2e_scenarios(${name}): PATHS takes NAME path pairs")
  endif()
  while(ARG_PATHS)
    list(POP_FRONT ARG_PATHS key value)
    target_compile_definitions(${name} PRIVATE "${key}=\"${value}\"")
  endwhile()
  if(ARG_DEPENDS)
    add_dependencies(${name} ${ARG_DEPENDS})
  endif()

  koru_e2e_prefix_fixture()
  # The runner wraps listing (a plain, fast Wine run) and every case (a prefix of its own).
  math(EXPR inner_timeout "${ARG_TIMEOUT} - 20")
  set(runner ${KORU_E2E_RUNNER} --build ${CMAKE_BINARY_DIR} --drives ${drives} --timeout
             ${inner_timeout})
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    list(APPEND runner --win64)
  endif()
  set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${runner};--")
  # One label per case (a list would not survive the discovery script): "ctest -L e2e"
  # selects them all, "-LE ^e2e-once$" the ones that run in both code pages.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES FIXTURES_REQUIRED koru_e2e_prefix LABELS e2e-${ARG_CODE_PAGES}
                                  TIMEOUT ${ARG_TIMEOUT})
endfunction()
