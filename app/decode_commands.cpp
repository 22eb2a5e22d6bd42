// The main window's reading side: the decode commands (open a file, the whole screen, a screen
// area, dropped and pasted pictures) and the report of what they read.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "app/app_directory.h"
#include "app/area_window.h"
#include "app/caption_panel.h"
#include "app/decode_log.h"
#include "app/history_window.h"
#include "app/image_bitmap.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/picture_name_filters.h"
#include "app/picture_view.h"
#include "app/read_actions.h"
#include "app/screen_capture.h"
#include "app/wait_cursor.h"
#include "codecs/bmp_writer.h"
#include "codecs/decoded_text.h"
#include "codecs/text_kind.h"
#include "engine/decode/decode_report.h"
#include "engine/decode/symbol_marks.h"
#include "engine/image/picture_loading.h"
#include "engine/velmora_engine.h"

namespace velmora {
namespace {

const QString kCaptureName = QStringLiteral("temp.bmp");
const QString kLogName = QStringLiteral("log.txt");

// Writes a picture as a 24-bit Windows bitmap; false with a reason when it cannot.
bool writeCaptureBitmap(const QImage& picture, const QString& path, QString& error) {
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull()) {
        error = currentWindowTexts().outofmemory;
        return false;
    }
    std::string reason;
    if (writeBmp24(QFile::encodeName(path).toStdString(), bgr.constBits(), bgr.width(), bgr.height(),
                   static_cast<int>(bgr.bytesPerLine()), reason))
        return true;
    error = QString::fromLocal8Bit(reason.c_str());
    return false;
}

// The local files among dropped or copied addresses, in their order.
QStringList localFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr || !data->hasUrls()) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

// A picture on the clipboard that the input box would not take as text.
bool clipboardHoldsOnlyPicture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data != nullptr && data->hasImage() && !data->hasText();
}

}  // namespace

void TForm1::connectDecodeCommands() {
    connect(N_Open, &QAction::triggered, this, &TForm1::ToolButton_OpenClick);
    connect(N_ScreenGrab, &QAction::triggered, this, &TForm1::ToolButton_ScreenGrabClick);
    connect(N_AreaGrab, &QAction::triggered, this, &TForm1::ToolButton_AreaGrabClick);

    // Ctrl+V decodes a pasted picture; the text boxes keep it for pasting text.
    auto* paste = new QAction(this);
    paste->setObjectName(QStringLiteral("N_PastePicture"));
    paste->setShortcut(QKeySequence::Paste);
    addAction(paste);
    connect(paste, &QAction::triggered, this, &TForm1::pasteClipboardPicture);

    setAcceptDrops(true);
    for (QPlainTextEdit* box : {Memo1, MemoData}) {
        box->installEventFilter(this);
        box->viewport()->installEventFilter(this);
    }
}

bool TForm1::refuseWhileGrabbing() {
    if (!TimerCam->isActive()) return false;
    QMessageBox(QMessageBox::NoIcon, QStringLiteral("Velmora"), currentUiTexts().closecam, QMessageBox::Ok, this).exec();
    return true;
}

void TForm1::prepareDecode() {
    // Clearing an empty box changes nothing, yet the view must still drop the last picture.
    const bool wasEmpty = Memo1->document()->isEmpty();
    Memo1->clear();
    if (wasEmpty) Memo1Change();
    setStatusText(QString());
    setStatusNote(QString());
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TForm1::reportUnreadable(const QString& status, const QString& message) {
    setStatusText(status);
    StatusPanel0->setToolTip(message);
    QMessageBox::warning(this, QStringLiteral("Velmora"), message);
}

QString TForm1::chooseOpenFileName(const QString& folder) {
    return QFileDialog::getOpenFileName(this, QString(), folder, openDialogFilter(), nullptr,
                                        QFileDialog::HideNameFilterDetails);
}

void TForm1::ToolButton_OpenClick() {
    if (refuseWhileGrabbing()) return;
    const QString path = chooseOpenFileName(folders_.startFolder(FileKind::Pictures));
    if (path.isEmpty()) return;
    folders_.remember(FileKind::Pictures, path);
    prepareDecode();
    DecodeFile(path);
}

void TForm1::ToolButton_ScreenGrabClick() {
    if (refuseWhileGrabbing()) return;
    const ScreenPicture shot = capturePrimaryScreen();
    if (!shot.ok()) {
        if (!shot.cancelled) reportUnreadable(currentUiTexts().fail, currentReadingTexts().noscreen.arg(shot.error));
        return;
    }
    const QRect screen = QGuiApplication::primaryScreen() != nullptr ? QGuiApplication::primaryScreen()->geometry()
                                                                      : shot.geometry;
    const QImage picture = shot.region(AreaRect{screen.left(), screen.top(), screen.right() + 1, screen.bottom() + 1});
    ImageWork->setPicture(picture);
    decodeCapture(picture, ScanSource::Screen);
}

void TForm1::ToolButton_AreaGrabClick() {
    if (refuseWhileGrabbing()) return;
    const ScreenPicture snapshot = capturePrimaryScreen();
    if (!snapshot.ok()) {
        if (!snapshot.cancelled)
            reportUnreadable(currentUiTexts().fail, currentReadingTexts().noscreen.arg(snapshot.error));
        return;
    }
    AreaRect area;
    {
        TFormScreen window(snapshot, this);
        window.exec();
        area = window.result();
    }
    // Escape, or a click that framed nothing: nothing was tried, so the status stays as it was.
    if (area.isEmpty()) return;
    // Through the portal every capture is another request, with a dialog of its own and another
    // screenshot saved in the user's folder: the frozen picture the user framed is read instead.
    // The window system is read again, as the screen is now.
    const bool throughPortal = capturesThroughPortal();
    ScreenPicture live;
    if (!throughPortal) {
        // Let the screen lose the area window before it is read.
        QCoreApplication::processEvents();
        QThread::msleep(100);
        QCoreApplication::processEvents();
        live = capturePrimaryScreen();
        if (!live.ok()) {
            if (!live.cancelled)
                reportUnreadable(currentUiTexts().fail, currentReadingTexts().noscreen.arg(live.error));
            return;
        }
    }
    const QImage picture = (throughPortal ? snapshot : live).region(area);
    if (picture.isNull()) {
        setStatusText(currentUiTexts().fail);
        return;
    }
    ImageWork->setPicture(picture);
    decodeCapture(picture, ScanSource::Area);
}

void TForm1::pasteClipboardPicture() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    if (data == nullptr) return;
    const QStringList files = localFiles(data);
    if (!files.isEmpty()) {
        decodeFiles(files, ScanSource::Paste);
        return;
    }
    if (!data->hasImage()) return;
    if (refuseWhileGrabbing()) return;
    const QImage picture = qvariant_cast<QImage>(data->imageData());
    if (picture.isNull()) return;
    decodeCapture(picture, ScanSource::Paste);
}

void TForm1::decodeFiles(const QStringList& paths, ScanSource source) {
    if (paths.isEmpty() || refuseWhileGrabbing()) return;
    for (const QString& path : paths) {
        prepareDecode();
        decodePicture(path, source, path);
    }
}

void TForm1::N_HistoryClick() {
    if (historyWindow_ == nullptr) {
        historyWindow_ = new HistoryWindow(*history_, &folders_, this);
        // The first time over the middle of the main window, then where the user left it.
        QRect place(QPoint(), historyWindow_->size());
        place.moveCenter(frameGeometry().center());
        if (const QScreen* screen = this->screen()) {
            const QRect desktop = screen->availableGeometry();
            place.moveLeft(std::clamp(place.left(), desktop.left(), std::max(desktop.left(), desktop.right() - place.width())));
            place.moveTop(std::clamp(place.top(), desktop.top(), std::max(desktop.top(), desktop.bottom() - place.height())));
        }
        historyWindow_->move(place.topLeft());
    }
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
}

void TForm1::decodeCapture(const QImage& capture, ScanSource source) {
    QString path = applicationFile(kCaptureName);
    QString problem;
    QString error;
    if (!writeCaptureBitmap(capture, path, error)) {
        // The report still comes: the capture goes through a private copy instead.
        problem = currentReadingTexts().tempnotsaved.arg(error);
        if (!privateCaptures_) privateCaptures_ = std::make_unique<QTemporaryDir>();
        path = privateCaptures_->filePath(kCaptureName);
        QString privateError;
        if (!privateCaptures_->isValid() || !writeCaptureBitmap(capture, path, privateError)) {
            reportUnreadable(currentWindowTexts().fileopenerr, problem);
            return;
        }
    }
    prepareDecode();
    // temp.bmp is the program's file, overwritten by the next capture: the history names none.
    decodePicture(path, source, QString());
    // What was read stays the status; the file that could not be kept is a note beside it.
    if (!problem.isEmpty()) setStatusNote(statusNote().isEmpty() ? problem : problem + QStringLiteral("  ") + statusNote());
}

int TForm1::DecodeFile(const QString& path) {
    return decodePicture(path, ScanSource::File, path);
}

int TForm1::decodePicture(const QString& path, ScanSource source, const QString& userPath) {
    scanSource_ = source;
    scanPath_ = userPath;
    const std::string file = QFile::encodeName(path).toStdString();
    cv::Mat shown;
    std::string reason;
    if (loadPictureFile(file, shown, kLoadColour, &reason) != 1) {
        reportUnreadable(currentWindowTexts().fileopenerr,
                         currentReadingTexts().cannotopen.arg(QDir::toNativeSeparators(path),
                                                              QString::fromLocal8Bit(reason.c_str())));
        return 0;
    }
    StatusPanel0->setToolTip(QString());
    try {
        if (shown.channels() == 1) cv::cvtColor(shown, shown, cv::COLOR_GRAY2BGR);
    } catch (const cv::Exception&) {
        reportUnreadable(currentWindowTexts().fileopenerr,
                         currentReadingTexts().cannotopen.arg(QDir::toNativeSeparators(path),
                                                              currentWindowTexts().outofmemory));
        return 0;
    }

    int count = 0;
    {
        WaitCursor wait;
        count = QR_Decode_File(file.c_str(), config_.iQrMsg_Max, 1, nullptr);
    }
    // The reader looks for one to four symbols and the setting keeps what it used.
    config_.iQrMsg_Max = std::clamp(config_.iQrMsg_Max, 1, 4);
    ReportResults(count);
    ShowMarkedPicture(shown);
    return count;
}

void TForm1::ReportResults(int count) {
    const UiTexts& texts = currentUiTexts();
    if (count <= 0) {
        // The actions belong to the last decode, which read nothing.
        actions_->showTexts({});
        setStatusText(texts.fail);
        return;
    }
    const QString log = applicationFile(kLogName);
    std::vector<std::string> shownTexts;
    for (int k = 0; k < std::min(count, 4); ++k) {
        QString block = reportBlock(g_QrDecodedData, g_QrTextMeaning, k, texts);
        block.chop(1);  // the box starts each appended block on a line of its own
        MemoData->appendPlainText(block);
        // A log that cannot be written does not hold back the report.
        AppendLog(log, decodedBytes(g_QrDecodedData, k));
        shownTexts.push_back(showDecodedText(decodedBytes(g_QrDecodedData, k), g_QrTextMeaning.nModes[k],
                                             g_QrTextMeaning.nEci[k], localeLanguage())
                                 .text);
    }
    actions_->showTexts(shownTexts);
    setStatusText(texts.decoded);
    keepInHistory(count, shownTexts);
    // The new blocks stay in view also when the action row has just taken room from the box.
    QTimer::singleShot(0, MemoData, [box = MemoData] {
        box->moveCursor(QTextCursor::End);
        box->ensureCursorVisible();
    });
}

void TForm1::keepInHistory(int count, const std::vector<std::string>& shownTexts) {
    const QString time = scanTimeNow();
    std::vector<ScanRecord> records;
    for (int k = 0; k < std::min(count, 4); ++k) {
        const std::string_view bytes = decodedBytes(g_QrDecodedData, k);
        ScanRecord record;
        record.time = time;
        record.source = QString::fromLatin1(scanSourceName(scanSource_));
        record.path = scanPath_.isEmpty() ? QString() : QFileInfo(scanPath_).absoluteFilePath();
        record.text = QString::fromStdString(shownTexts[static_cast<std::size_t>(k)]);
        record.bytes = QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size()));
        // The kind the action row found, so that both always agree.
        record.kind = QString::fromLatin1(textKindName(actions_->entries()[static_cast<std::size_t>(k)].kind));
        record.version = g_QrDecodedData.nVersion[k];
        const char level = levelLetter(g_QrDecodedData.nLevel[k]);
        if (level != '?') record.level = QString(QLatin1Char(level));
        records.push_back(std::move(record));
    }
    if (history_->add(records)) {
        historyProblemSaid_ = false;
    } else if (!historyProblemSaid_) {
        historyProblemSaid_ = true;
        setStatusNote(currentHistoryTexts().notkept.arg(history_->error()));
    }
}

void TForm1::ShowMarkedPicture(cv::Mat& picture) {
    markFoundSymbols(picture);
    QImage bitmap;
    if (!CopyImageToBitmap(picture, &bitmap)) return;
    Image1->setPicture(bitmap);
    Panel_image->setCaption(QString());
    Image1->show();
    Image1->update();
}

void TForm1::dragEnterEvent(QDragEnterEvent* event) {
    if (!localFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event) {
    const QStringList files = localFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    // The drop ends first, so that the program the files came from does not wait for the decode.
    QTimer::singleShot(0, this, [this, files] { decodeFiles(files, ScanSource::Drop); });
}

bool TForm1::filterDecodeEvents(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // The text boxes claim Ctrl+V; with only a picture to paste it goes to the window.
        if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Paste) && clipboardHoldsOnlyPicture()) {
            event->ignore();
            return true;
        }
        break;
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (!localFiles(static_cast<QDropEvent*>(event)->mimeData()).isEmpty()) {
            static_cast<QDropEvent*>(event)->acceptProposedAction();
            return true;
        }
        break;
    case QEvent::Drop:
        if (!localFiles(static_cast<QDropEvent*>(event)->mimeData()).isEmpty()) {
            dropEvent(static_cast<QDropEvent*>(event));
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

}  // namespace velmora
