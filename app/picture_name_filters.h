// Which files the open dialog offers: every name the picture loader reads, in any letter case.
#pragma once

#include <QString>
#include <QStringList>

namespace velmora {

// One wildcard pattern per extension, each letter written as a bracket of both cases
// ("*.[jJ][pP][gG]"), so that a file dialog that matches names exactly still offers JPG, Jpeg
// and jpeg alike.
QStringList pictureNamePatterns();

// The open dialog's filter: all pictures, then all files.
QString openDialogFilter();

}  // namespace velmora
