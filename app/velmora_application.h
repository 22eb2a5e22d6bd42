// The application object: an exception that escapes an event handler is shown to the user in a
// message box and the program goes on.
#pragma once

#include <QApplication>

namespace velmora {

class VelmoraApplication : public QApplication {
public:
    VelmoraApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

// Shows an error in the standard error box over the active window.
void reportError(const QString& message);

}  // namespace velmora
