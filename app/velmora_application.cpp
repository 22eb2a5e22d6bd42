#include "app/velmora_application.h"

#include <QMessageBox>
#include <exception>

namespace velmora {

VelmoraApplication::VelmoraApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Velmora"));
}

bool VelmoraApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& failure) {
        reportError(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        reportError(QStringLiteral("An unexpected error occurred."));
    }
    return false;
}

void reportError(const QString& message) {
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Velmora"), message);
}

}  // namespace velmora
