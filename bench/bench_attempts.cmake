# The triple loop on a camera-sized picture holding one symbol of a small, a middle and a large
# version: framing, version estimate, samplings and the read.
add_executable(bench_attempts ${CMAKE_CURRENT_LIST_DIR}/bench_attempts.cpp)
target_link_libraries(bench_attempts PRIVATE velmora_engine benchmark::benchmark ${OpenCV_LIBS})
