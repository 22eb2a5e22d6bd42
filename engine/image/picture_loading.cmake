# Picture file decoding in the codecs library and picture loading in the engine. Included from
# engine/image/CMakeLists.txt; every path is absolute.
find_package(GIF REQUIRED)

target_sources(velmora_codecs PRIVATE
  ${PROJECT_SOURCE_DIR}/codecs/picture_type.h
  ${PROJECT_SOURCE_DIR}/codecs/picture_error.h
  ${PROJECT_SOURCE_DIR}/codecs/byte_reader.h
  ${PROJECT_SOURCE_DIR}/codecs/bitmap.h
  ${PROJECT_SOURCE_DIR}/codecs/bitmap.cpp
  ${PROJECT_SOURCE_DIR}/codecs/bitmap_conversion.cpp
  ${PROJECT_SOURCE_DIR}/codecs/picture_decoders.h
  ${PROJECT_SOURCE_DIR}/codecs/picture_headers.h
  ${PROJECT_SOURCE_DIR}/codecs/picture_headers.cpp
  ${PROJECT_SOURCE_DIR}/codecs/exif_orientation.h
  ${PROJECT_SOURCE_DIR}/codecs/exif_orientation.cpp
  ${PROJECT_SOURCE_DIR}/codecs/common_picture_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/gif_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/ico_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/pcx_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/tga_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/wbmp_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/pgx_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/ska_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/sun_raster_reader.cpp
  ${PROJECT_SOURCE_DIR}/codecs/wmf_reader.cpp
)
target_link_libraries(velmora_codecs PRIVATE GIF::GIF)

target_sources(velmora_image PRIVATE
  ${PROJECT_SOURCE_DIR}/engine/image/picture_loading.h
  ${PROJECT_SOURCE_DIR}/engine/image/picture_loading.cpp
)
