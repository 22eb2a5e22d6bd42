#include "app/window_settings.h"

#include <algorithm>

#include "app/ini_file.h"

namespace velmora {

WindowSettings readWindowSettings(const std::string& path) {
    const IniFile file(path);
    WindowSettings settings;
    const int width = file.readInteger("window", "iWidth", 0);
    const int height = file.readInteger("window", "iHeight", 0);
    if (width > 0 && height > 0) {
        settings.geometry = QRect(file.readInteger("window", "iLeft", 0), file.readInteger("window", "iTop", 0), width,
                                  height);
        const QMargins& guess = settings.frame;
        const QMargins kept(file.readInteger("window", "iFrameLeft", guess.left()),
                            file.readInteger("window", "iFrameTop", guess.top()),
                            file.readInteger("window", "iFrameRight", guess.right()),
                            file.readInteger("window", "iFrameBottom", guess.bottom()));
        if (kept.left() >= 0 && kept.top() >= 0 && kept.right() >= 0 && kept.bottom() >= 0) settings.frame = kept;
    }
    const int level = file.readInteger("encode", "iErrorLevel", settings.errorLevel);
    if (level >= 0 && level <= 3) settings.errorLevel = level;
    const int mask = file.readInteger("encode", "iMask", settings.mask);
    if (mask >= -1 && mask <= 7) settings.mask = mask;
    const int moduleSize = file.readInteger("encode", "iModuleSize", settings.moduleSize);
    if (moduleSize >= 1 && moduleSize <= 20) settings.moduleSize = moduleSize;
    return settings;
}

bool writeWindowSettings(const std::string& path, const WindowSettings& settings, std::string& error) {
    IniFile file(path);
    const QRect& place = settings.geometry;
    return file.writeInteger("window", "iLeft", place.left(), error) &&
           file.writeInteger("window", "iTop", place.top(), error) &&
           file.writeInteger("window", "iWidth", place.width(), error) &&
           file.writeInteger("window", "iHeight", place.height(), error) &&
           file.writeInteger("window", "iFrameLeft", settings.frame.left(), error) &&
           file.writeInteger("window", "iFrameTop", settings.frame.top(), error) &&
           file.writeInteger("window", "iFrameRight", settings.frame.right(), error) &&
           file.writeInteger("window", "iFrameBottom", settings.frame.bottom(), error) &&
           file.writeInteger("encode", "iErrorLevel", settings.errorLevel, error) &&
           file.writeInteger("encode", "iMask", settings.mask, error) &&
           file.writeInteger("encode", "iModuleSize", settings.moduleSize, error);
}

namespace {

// The largest size up to wanted that fits the free area with the frame around it.
QSize sizeWithin(const QSize& wanted, const QRect& available, const QMargins& frame) {
    const QSize room(std::max(1, available.width() - frame.left() - frame.right()),
                     std::max(1, available.height() - frame.top() - frame.bottom()));
    return wanted.boundedTo(room);
}

}  // namespace

QRect fitOnDesktop(const QRect& wanted, const QRect& available, const QMargins& frame) {
    const QSize size = sizeWithin(wanted.size(), available, frame);
    const int left = std::clamp(wanted.left(), available.left(),
                                available.right() + 1 - size.width() - frame.left() - frame.right());
    const int top = std::clamp(wanted.top(), available.top(),
                               available.bottom() + 1 - size.height() - frame.top() - frame.bottom());
    return QRect(QPoint(left, top), size);
}

QRect centredOnDesktop(const QSize& wanted, const QRect& available, const QMargins& frame) {
    const QSize size = sizeWithin(wanted, available, frame);
    const QSize whole = size.grownBy(frame);
    return QRect(QPoint(available.left() + (available.width() - whole.width()) / 2,
                        available.top() + (available.height() - whole.height()) / 2),
                 size);
}

}  // namespace velmora
