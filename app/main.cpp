// Velmora: the desktop program that writes and reads QR Code symbols.
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <exception>

#include "app/app_resources.h"
#include "app/main_window.h"
#include "app/velmora_application.h"

int main(int argc, char** argv) {
    // Answered before any window system is opened, so that it works on a console too.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("velmora %s\n", VELMORA_VERSION);
        return 0;
    }
    // Text typed and read is in the locale's code page; a plain C locale counts as UTF-8.
    std::setlocale(LC_ALL, "");
    velmora::VelmoraApplication application(argc, argv);
    try {
        velmora::initAppResources();
        velmora::TForm1 form;
        form.show();
        // Files named on the command line (a file manager's "Open with") are decoded once the
        // window is up, in their order.
        QStringList files;
        for (const QString& argument : application.arguments().mid(1)) {
            const QUrl url(argument);
            files << (url.isLocalFile() ? url.toLocalFile() : argument);
        }
        if (!files.isEmpty()) QTimer::singleShot(0, &form, [&form, files] { form.decodeFiles(files, velmora::ScanSource::Args); });
        return application.exec();
    } catch (const std::exception& failure) {
        // A failure outside any window event ends the program after it is shown.
        velmora::reportError(QString::fromLocal8Bit(failure.what()));
    } catch (...) {
        velmora::reportError(QStringLiteral("An unexpected error occurred."));
    }
    return 1;
}
