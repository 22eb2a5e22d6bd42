// The settings kept in Config.ini.
#pragma once

#include <string>

#include "codecs/text_charset.h"

namespace velmora {

struct AppConfig {
    int LanID = 0;            // [language] the language at start-up (0 English, 1 Chinese, 2 extra)
    int iCameraWidth = 640;   // [camera] capture size asked of the camera
    int iCameraHeight = 480;
    // [camera] sSource: a video file, a numbered picture sequence ("frames/%03d.png") or a device
    // path read in place of the first camera; empty for none. A relative path is taken from the
    // directory of Config.ini.
    std::string sSource;
    int iQrMsg_Max = 4;       // [decode] symbols wanted per picture; the decoder clamps it to 1..4
    TextCharset charset = TextCharset::Utf8;  // [text] sCharset: the character set typed text is encoded in
};

// Reads Config.ini; a missing file, section or key gives the defaults above. A LanID of 3 or more
// starts in English; negative values pass unchanged (they also select English).
AppConfig readAppConfig(const std::string& path);

// Writes [language] LanID, keeping every other line of the file.
bool writeLanguageId(const std::string& path, int languageId, std::string& error);

// Writes [text] sCharset, keeping every other line of the file.
bool writeTextCharset(const std::string& path, TextCharset charset, std::string& error);

}  // namespace velmora
