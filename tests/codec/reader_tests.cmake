# The symbol reader and the segment parser, read against our own encoder.
velmora_add_test(codec_reader_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/reader_roundtrip_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reader_damage_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/reader_layout_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/segment_parser_test.cpp
  LIBRARIES velmora_engine
  LABELS engine)

# Symbols written by libqrencode must read back to the bytes it was given.
if(QRENCODE_FOUND AND NOT VELMORA_SANITIZE)
  velmora_add_test(codec_reader_peer_tests
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/reader_peers_test.cpp
    LIBRARIES velmora_engine PkgConfig::QRENCODE
    LABELS peers)
endif()
