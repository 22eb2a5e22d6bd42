#include "app/app_config.h"

#include <filesystem>

#include "app/ini_file.h"

namespace velmora {
namespace {

// The configured camera source with a relative path anchored at the directory of the
// configuration file, so that it does not depend on where the program was started from.
std::string cameraSourcePath(const std::string& source, const std::string& configPath) {
    if (source.empty()) return source;
    const std::filesystem::path sourcePath(source);
    if (sourcePath.is_absolute()) return source;
    return (std::filesystem::path(configPath).parent_path() / sourcePath).string();
}

}  // namespace

AppConfig readAppConfig(const std::string& path) {
    const IniFile file(path);
    AppConfig config;
    config.LanID = file.readInteger("language", "LanID", 0);
    if (config.LanID >= 3) config.LanID = 0;
    config.iCameraWidth = file.readInteger("camera", "iCameraWidth", 640);
    config.iCameraHeight = file.readInteger("camera", "iCameraHeight", 480);
    config.iQrMsg_Max = file.readInteger("decode", "iQrMsg_Max", 4);
    config.sSource = cameraSourcePath(file.readString("camera", "sSource", ""), path);
    // An unknown name keeps UTF-8, which reads back the same on every reader.
    parseTextCharset(file.readString("text", "sCharset", "utf-8"), config.charset);
    return config;
}

bool writeLanguageId(const std::string& path, int languageId, std::string& error) {
    IniFile file(path);
    return file.writeInteger("language", "LanID", languageId, error);
}

bool writeTextCharset(const std::string& path, TextCharset charset, std::string& error) {
    IniFile file(path);
    return file.writeString("text", "sCharset", textCharsetInfo(charset).configName, error);
}

}  // namespace velmora
