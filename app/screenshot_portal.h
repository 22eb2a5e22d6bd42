// Screenshots on a Wayland desktop, where a program cannot read the screen itself: the desktop
// portal's Screenshot interface on the session bus takes the picture for us.
#pragma once

#include <QImage>
#include <QString>

namespace velmora {

struct PortalScreenshot {
    enum class Outcome { Taken, Cancelled, Failed };
    Outcome outcome = Outcome::Failed;
    QImage picture;  // the whole desktop, when taken
    QString error;   // why not, when failed
};

// Asks the portal for a screenshot without a dialog first; when the portal refuses that, asks
// again and lets it show its own dialog, in which the user may cancel. Waits at most timeoutMs
// for each answer while the event loop runs. Fails with a reason when there is no session bus,
// no portal, no answer in time or no readable picture.
PortalScreenshot takePortalScreenshot(int timeoutMs = 60000);

}  // namespace velmora
