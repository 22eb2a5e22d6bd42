# libFuzzer target for the picture readers of our own; included from this folder's
# CMakeLists.txt after VELMORA_FUZZ_SANITIZERS is set. The codecs library gets the fuzzer's
# coverage instrumentation too, so the target sees inside the readers.
target_compile_options(velmora_codecs PRIVATE -fsanitize=fuzzer-no-link ${VELMORA_FUZZ_SANITIZERS})
add_executable(fuzz_picture_files ${CMAKE_CURRENT_LIST_DIR}/fuzz_picture_files.cpp)
target_compile_options(fuzz_picture_files PRIVATE -fsanitize=fuzzer ${VELMORA_FUZZ_SANITIZERS})
target_link_options(fuzz_picture_files PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(fuzz_picture_files PRIVATE velmora_codecs)
