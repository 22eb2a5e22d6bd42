# The camera: decode cost per 640 x 480 frame with four symbols wanted, and the preview step.
if(TARGET velmora_app)
  add_executable(bench_camera ${CMAKE_CURRENT_LIST_DIR}/bench_camera.cpp)
  target_link_libraries(bench_camera PRIVATE velmora_app benchmark::benchmark)
endif()
