# The symbol reader on sampled matrices of a small, a middle and the largest version.
add_executable(bench_reader ${CMAKE_CURRENT_LIST_DIR}/bench_reader.cpp)
target_link_libraries(bench_reader PRIVATE velmora_engine benchmark::benchmark)
