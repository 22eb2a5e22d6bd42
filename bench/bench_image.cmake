# The image side of the reader: binarisation and the finder-pattern search on camera-sized
# pictures, in nanoseconds per pixel.
add_executable(bench_image ${CMAKE_CURRENT_LIST_DIR}/bench_image.cpp)
target_link_libraries(bench_image PRIVATE velmora_engine benchmark::benchmark ${OpenCV_LIBS})
