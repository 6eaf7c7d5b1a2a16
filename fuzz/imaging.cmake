# Fuzz target of the image reader; include() this file from the top-level CMakeLists.
# Without libFuzzer it builds as a replay program: imaging_mura_fuzzer <files or folders>;
# imaging_corpus/ holds seed images written by the reader tests' writer.
add_executable(imaging_mura_fuzzer ${CMAKE_CURRENT_LIST_DIR}/imaging_mura_fuzzer.cpp)
koru_target_defaults(imaging_mura_fuzzer)
target_link_libraries(imaging_mura_fuzzer PRIVATE koru_imaging)
if(KORU_LIBFUZZER)
  target_compile_definitions(imaging_mura_fuzzer PRIVATE KORU_LIBFUZZER)
  target_compile_options(imaging_mura_fuzzer PRIVATE -fsanitize=fuzzer)
  target_link_options(imaging_mura_fuzzer PRIVATE -fsanitize=fuzzer)
endif()
if(KORU_BUILD_TESTS)
  add_test(NAME imaging_mura_fuzzer_corpus
           COMMAND imaging_mura_fuzzer ${CMAKE_CURRENT_LIST_DIR}/imaging_corpus)
endif()
