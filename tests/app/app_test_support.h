// Shared helpers of the desktop program's tests: a scratch application directory, answering the
// message boxes the program raises, and zbar and zxing-cpp as independent readers of what it draws.
#pragma once

#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>
#include <zbar.h>
// After zbar, whose headers use a name that zxing-cpp defines.
#include <ZXing/ReadBarcode.h>

#include "app/velmora_application.h"

namespace velmora::test {

// A fresh application directory, named by VELMORA_HOME while the object lives.
class ScratchHome {
public:
    ScratchHome() { qputenv("VELMORA_HOME", dir_.path().toLocal8Bit()); }
    ~ScratchHome() { qunsetenv("VELMORA_HOME"); }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }

private:
    QTemporaryDir dir_;
};

// What a message box showed before the helper answered it.
struct SeenMessageBox {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    // Stops watching, for a command that is expected to ask nothing.
    void stopWatching() {
        if (watcher == nullptr) return;
        watcher->stop();
        watcher->deleteLater();
    }
    QPointer<QTimer> watcher;
};

// Watches for the next modal message box, records it and presses its escape button, so that a
// test can run a command that asks the user something. Call before the command.
inline std::shared_ptr<SeenMessageBox> answerNextMessageBox() {
    auto seen = std::make_shared<SeenMessageBox>();
    // Owned by the application, so that a watch still running when the tests end is freed.
    auto* poll = new QTimer(QCoreApplication::instance());
    poll->setInterval(20);
    auto remaining = std::make_shared<int>(250);
    QObject::connect(poll, &QTimer::timeout, [poll, seen, remaining] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr && --*remaining > 0) return;
        if (box != nullptr) {
            seen->shown = true;
            seen->title = box->windowTitle();
            seen->text = box->text();
            seen->buttons = box->standardButtons();
            box->reject();
        }
        poll->stop();
        poll->deleteLater();
    });
    seen->watcher = poll;
    poll->start();
    return seen;
}

// The texts zbar reads in a picture.
inline QStringList zbarTexts(const QImage& picture) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    std::vector<unsigned char> pixels(static_cast<std::size_t>(grey.width()) * grey.height());
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), pixels.begin() + static_cast<std::ptrdiff_t>(y) * grey.width());
    zbar::ImageScanner scanner;
    scanner.set_config(zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    scanner.set_config(zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::Image image(grey.width(), grey.height(), "Y800", pixels.data(), pixels.size());
    scanner.scan(image);
    QStringList texts;
    for (auto symbol = image.symbol_begin(); symbol != image.symbol_end(); ++symbol)
        texts << QString::fromStdString(symbol->get_data());
    image.set_data(nullptr, 0);
    return texts;
}

// The bytes that the symbol in a picture holds, as zxing-cpp reads them without guessing a
// character set (zbar converts what it takes for Latin-1 or Shift JIS); empty when none is read.
inline QByteArray zxingBytes(const QImage& picture) {
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode);
    const ZXing::Result result =
        ZXing::ReadBarcode({grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum, int(grey.bytesPerLine())}, hints);
    if (!result.isValid()) return {};
    return QByteArray(reinterpret_cast<const char*>(result.bytes().data()), qsizetype(result.bytes().size()));
}

// Runs each test object under the program's own application object, which shows exceptions
// escaping event handlers instead of ending the process.
inline int runTests(int argc, char** argv, const std::vector<std::function<int(int, char**)>>& suites) {
    VelmoraApplication application(argc, argv);
    application.setAttribute(Qt::AA_Use96Dpi, true);
    int failures = 0;
    for (const auto& suite : suites) failures += suite(argc, argv);
    return failures;
}

template <typename Suite>
std::function<int(int, char**)> suite() {
    return [](int argc, char** argv) {
        Suite object;
        return QTest::qExec(&object, argc, argv);
    };
}

}  // namespace velmora::test
