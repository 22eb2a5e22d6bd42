# OpenCV's core, imgproc, imgcodecs and videoio modules in the arm64 sysroot, as imported targets.
set(OpenCV_INCLUDE_DIRS ${CMAKE_SYSROOT}/usr/include/opencv4)
set(OpenCV_LIBS "")
foreach(module core imgproc imgcodecs videoio)
  if(NOT TARGET opencv_${module})
    add_library(opencv_${module} SHARED IMPORTED)
    set_target_properties(opencv_${module} PROPERTIES
      IMPORTED_LOCATION ${CMAKE_SYSROOT}/usr/lib/aarch64-linux-gnu/libopencv_${module}.so
      INTERFACE_INCLUDE_DIRECTORIES ${OpenCV_INCLUDE_DIRS})
  endif()
  list(APPEND OpenCV_LIBS opencv_${module})
endforeach()
set(OpenCV_VERSION 4.6.0)
set(OpenCV_FOUND TRUE)
