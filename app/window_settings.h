// What the main window remembers in Config.ini from one run to the next: its place, size and
// frame ([window] iLeft, iTop, iWidth, iHeight, iFrameLeft, iFrameTop, iFrameRight,
// iFrameBottom) and the symbol's error level, mask and module size
// ([encode] iErrorLevel, iMask, iModuleSize).
#pragma once

#include <QMargins>
#include <QRect>
#include <string>

namespace velmora {

struct WindowSettings {
    QRect geometry;      // its frame's top left corner and its inner size; empty when none was kept
    // The room its frame took around the inside; before the window has been shown, room for a
    // window manager's usual title bar and borders.
    QMargins frame{4, 32, 4, 4};
    int errorLevel = 3;  // 0..3 for L, M, Q, H
    int mask = -1;       // -1 automatic, else 0..7
    int moduleSize = 4;  // pixels per module, 1..20
};

// Reads the settings; missing keys, and values out of their ranges, give the defaults above.
WindowSettings readWindowSettings(const std::string& path);

// Writes the settings, keeping every other line of the file. False with a reason when the file
// cannot be written.
bool writeWindowSettings(const std::string& path, const WindowSettings& settings, std::string& error);

// Where a window goes on a desktop whose free area is available: wanted holds the top left
// corner of its frame and its inner size, frame the room the frame takes around the inside.
// The size is shrunk until window and frame fit, then the corner moved until both lie inside.
// The result holds the frame's corner and the inner size, as wanted does.
QRect fitOnDesktop(const QRect& wanted, const QRect& available, const QMargins& frame);

// A window of the wanted inner size, shrunk as fitOnDesktop does, with its frame in the middle of
// the free area: the frame's corner and the inner size.
QRect centredOnDesktop(const QSize& wanted, const QRect& available, const QMargins& frame);

}  // namespace velmora
