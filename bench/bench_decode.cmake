# Reading the shared sample pictures beside zbar and zxing-cpp.
pkg_check_modules(ZBAR_BENCH IMPORTED_TARGET zbar)
find_package(ZXing QUIET)
if(ZBAR_BENCH_FOUND AND TARGET ZXing::ZXing)
  add_executable(reader_compare reader_compare.cpp ${PROJECT_SOURCE_DIR}/tests/corpus/sample_corpus.cpp)
  target_compile_definitions(reader_compare PRIVATE VELMORA_SAMPLES_DIR="${VELMORA_SAMPLES_DIR}"
    VELMORA_BOOFCV_DIR="${VELMORA_BOOFCV_DIR}")
  target_link_libraries(reader_compare PRIVATE velmora_engine velmora_codecs PkgConfig::ZBAR_BENCH ZXing::ZXing
                        ${OpenCV_LIBS})
endif()
