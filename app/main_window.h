// The main window: the encode view (text in, symbol out), the log box, the camera preview and
// every command of the program.
#pragma once

#include <QImage>
#include <QMainWindow>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <string_view>

#include "app/app_config.h"
#include "app/folder_memory.h"
#include "app/scan_history.h"

class QAction;
class QPrintPreviewDialog;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QTimer;
class QToolBar;
class QToolButton;

namespace cv {
class Mat;
}

namespace velmora {

class CamGrabShow;
class CaptionPanel;
class HistoryWindow;
class ModuleSizeBox;
class NewSymbolMenu;
class PictureView;
class ReadActions;
struct ShownModules;

class TForm1 : public QMainWindow {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    // Ends the camera as FormClose does when the window goes without being closed.
    ~TForm1() override;

    // Encode view refresh: re-encodes the text of Memo1 with the current parameters and shows the
    // symbol, or the reason there is none.
    void Memo1Change();
    // Shared change handler of the parameter controls; only refreshes the encode view.
    void ComboBoxErrorLevelChange();
    // Saves the shown symbol as a 1-bit bitmap.
    void N_SaveClick();
    // Closes the window, which ends the program.
    void N_ExitClick();
    // Opens a new About window without waiting for it.
    void N_AboutClick();
    // Opens the ornament window for the shown symbol and waits for it to close; with an empty
    // input box it first encodes "Test".
    void ToolButton_QrOrnamentClick();
    // Puts the shown symbol on the clipboard as a picture and as SVG.
    void N_CopySymbolClick();
    // Prints the shown symbol at a side in millimetres chosen in the print preview.
    void N_PrintClick();
    // Puts a text made by a New symbol form into the input box, where it is encoded as if typed.
    void putSymbolText(const std::string& text);
    // Language switch of N_CH, N_En and N_Ex: the item's tag (1, 0, 2) is the new language.
    void N_CHClick();

    // The decode commands: a picture file chosen in the open dialog, the whole primary screen,
    // and a screen area dragged out in the area window. Each shows the picture with its symbols
    // marked and reports what was read.
    void ToolButton_OpenClick();
    void ToolButton_ScreenGrabClick();
    void ToolButton_AreaGrabClick();
    // Decodes the pictures on the clipboard (saved as temp.bmp first, like a capture).
    void pasteClipboardPicture();
    // Decodes picture files one after the other, as Open does for one: dropped files, pasted
    // files and the files named on the command line; source says which, for the history.
    void decodeFiles(const QStringList& paths, ScanSource source);
    // Opens the scan history window, or brings it forward.
    void N_HistoryClick();
    // Where every symbol read is kept.
    ScanHistory& scanHistory() { return *history_; }

    // Loads a picture file, decodes it and reports; the picture is shown whatever the count.
    // Returns the number of symbols read, 0 when the file cannot be loaded ("File Open Err").
    int DecodeFile(const QString& path);
    // Writes the report of the last decode to the log box, the status bar, log.txt and the scan
    // history (as read from the source and picture file of the decode running).
    void ReportResults(int count);
    // Marks the symbols of the last decode on a three-channel picture and shows it in Image1.
    void ShowMarkedPicture(cv::Mat& picture);

    // The camera commands. Camera on or off opens or closes the first camera (the [camera]
    // sSource of Config.ini when set); grabbing on or off starts or stops the live preview in
    // Image2 and the timer that decodes frames until one frame yields exactly one symbol.
    void ToolButtonCamClick();
    void ToolButton_CamParseClick();
    // One tick of the camera timer: decodes a fresh frame; ends grabbing on exactly one symbol
    // or when the camera stops delivering.
    void TimerCamTimer();
    // Decodes one colour frame, reports and shows it with its symbols marked; the number read.
    int DecodeCameraFrame(cv::Mat& frame);
    // True while the camera is open.
    bool CameraConnected() const;
    // The thread that paces the preview; null once the window has closed (it has then ended).
    const CamGrabShow* cameraWorker() const;

    // Selects the language file and checks its menu item.
    void LoadLanguage(int index);
    // Puts the texts of the selected language on the window.
    void ApplyLanguage();

    // True while the last encode succeeded, so a symbol is on show.
    bool SymbolShown() const { return symbolShown_; }
    // The settings read at start-up.
    const AppConfig& config() const { return config_; }
    // The text of the first status bar panel.
    QString statusText() const;
    void setStatusText(const QString& text);
    // The note in the second status bar panel, beside the status (empty for none).
    QString statusNote() const;
    void setStatusNote(const QString& note);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Asks for the file name to save the symbol under, starting in folder; empty when the user
    // cancels.
    virtual QString chooseSaveFileName(const QString& folder);
    // Asks for the picture file to decode, starting in folder; empty when the user cancels.
    virtual QString chooseOpenFileName(const QString& folder);
    // Runs the print preview until the user closes it.
    virtual void showPrintPreview(QPrintPreviewDialog& dialog);

private:
    void FormCreate();
    void FormClose();
    void createActions();
    void createMenus();
    void createToolBar();
    void createPanels();
    QWidget* createParameterPanel();
    void createStatusBar();
    void fillParameterLists();
    void connectEncodeTriggers();
    // Puts the window where it was last time, or in the middle of the desktop, within the screen.
    void placeOnScreen();
    // The window's place, size and symbol parameters from Config.ini, and back when it closes.
    void restoreWindowSettings();
    void keepWindowSettings();
    void ComboBoxTextEncodingChange();
    void connectDecodeCommands();
    // The camera and its worker, created with the window, and their commands' wiring.
    void createCamera();
    void connectCameraCommands();
    // The worker's preview step: a fresh frame into Image2 while grabbing.
    void showCameraPreview();
    // Stops the timer and asks the worker to suspend; a non-empty status says why.
    void stopGrabbing(const QString& status = QString());
    void setGrabbingEnabled(bool enabled);
    // Ends grabbing, closes the camera and ends the worker; once.
    void shutDownCamera();
    // True, after telling the user to turn the camera off, while the camera is grabbing.
    bool refuseWhileGrabbing();
    // Empties the input box (and with it the symbol view) and the status, and lets the window
    // show it before a decode blocks it.
    void prepareDecode();
    // Saves a captured picture as temp.bmp and decodes that file. When the application
    // directory cannot take it, a private copy serves and the status says why.
    void decodeCapture(const QImage& capture, ScanSource source);
    // Loads a picture file, decodes it and reports, keeping the symbols read in the history as
    // read from source and the user's picture file userPath (empty for a capture).
    int decodePicture(const QString& path, ScanSource source, const QString& userPath);
    // Adds the symbols of the last decode to the history; the first failure after a success is
    // said beside the status, and reading goes on either way.
    void keepInHistory(int count, const std::vector<std::string>& shownTexts);
    // The text boxes' events that belong to the decode commands: pictures dropped on them, and
    // Ctrl+V with only a picture to paste. True when the event was taken.
    bool filterDecodeEvents(QEvent* event);
    // Shows why a picture could not be read: the status text and a message naming the cause.
    void reportUnreadable(const QString& status, const QString& message);
    // The modules of the symbol on show; false, with the reason in the status, when the view
    // shows no symbol of the input box's text.
    bool shownSymbol(ShownModules& modules);
    // Shows a caption instead of the symbol and clears the three labels.
    void showNoSymbol(const QString& caption);
    // The text of Memo1 as the encoder gets it: lines joined by CR LF.
    QString memoText() const;

    AppConfig config_;
    bool symbolShown_ = false;
    FolderMemory folders_;   // where the file dialogs start
    QRect savedPlace_;       // the window's place and size at the end of the last run; empty for none
    QMargins savedFrame_;    // the room its frame took then
    std::unique_ptr<QTemporaryDir> privateCaptures_;  // captures when temp.bmp cannot be written
    double printSideMm_;     // the side chosen in the last print preview
    ScanHistory* history_;
    HistoryWindow* historyWindow_ = nullptr;  // made when first opened
    ScanSource scanSource_ = ScanSource::File;  // what the decode running reads from
    QString scanPath_;                          // and its picture file, when the user's
    bool historyProblemSaid_ = false;           // the history failed and the user was told

    // Menus and their commands.
    QMenu* N_File;
    QMenu* N_Edit;
    QMenu* N_Tools;
    NewSymbolMenu* N_NewSymbol;
    QMenu* N_Help;
    QAction* N_Open;
    QAction* N_Save;
    QAction* N_Print;
    QAction* N_Exit;
    QAction* N_CopySymbol;
    QAction* N_CH;
    QAction* N_En;
    QAction* N_Ex;
    QAction* N_ScreenGrab;
    QAction* N_AreaGrab;
    QAction* N_Cam;
    QAction* N_CamGrab;
    QAction* N_About;
    QAction* N_History;

    // Tool bar.
    QToolBar* ToolBar1;
    QToolButton* ToolButton_Open;
    QToolButton* ToolButton_Save;
    QToolButton* ToolButton_ScreenGrab;
    QToolButton* ToolButton_AreaGrab;
    QToolButton* ToolButton_About;
    QToolButton* ToolButtonCam;
    QToolButton* ToolButton_CamParse;
    QToolButton* ToolButton_QrOrnament;

    // Upper panel: symbol view and parameters.
    QSplitter* Splitter1;
    QWidget* PanelUp_AllBottom;
    QSplitter* Splitter2;
    CaptionPanel* Panel_image;
    PictureView* Image1;
    QWidget* Panel_ScrollBox;
    QScrollArea* ScrollBox1;
    QGroupBox* GroupBox_ErrLevel;
    QComboBox* ComboBoxErrorLevel;
    QGroupBox* GroupBox_Ver;
    QComboBox* ComboBoxVersion;
    QLabel* LabelVersion;
    QCheckBox* CheckBoxAutoVer;
    QGroupBox* GroupBox_Mask;
    QComboBox* ComboBoxMask;
    QLabel* LabelMask;
    QGroupBox* GroupBox_Size;
    ModuleSizeBox* UpDown1;
    QLabel* LabelImageSize;
    QGroupBox* GroupBox_TextEncoding;
    QComboBox* ComboBoxTextEncoding;
    QFrame* PanelPre;
    PictureView* Image2;
    PictureView* ImageWork;

    // Lower panel: input and log.
    QWidget* Panel5;
    QSplitter* Splitter3;
    QPlainTextEdit* Memo1;
    QPlainTextEdit* MemoData;
    ReadActions* actions_;  // what can be done with the last decoded texts

    QStatusBar* StatusBar1;
    QLabel* StatusPanel0;
    QLabel* StatusPanel1;
    QTimer* TimerCam;

    // The camera, the flags its steps share and the worker: one home, in camera_commands.cpp.
    struct CameraState;
    struct CameraStateDeleter {
        void operator()(CameraState* state) const;
    };
    std::unique_ptr<CameraState, CameraStateDeleter> camera_;
};

}  // namespace velmora
