// The wait cursor over the whole program while a command holds the window (a decode, a camera
// that takes its time to start).
#pragma once

#include <QApplication>

namespace velmora {

class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace velmora
