#include "app/main_window.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

#include "app/about_window.h"
#include "app/app_directory.h"
#include "app/app_resources.h"
#include "app/caption_panel.h"
#include "app/full_picture_window.h"
#include "app/help_document.h"
#include "app/history_window.h"
#include "app/language.h"
#include "app/module_size_box.h"
#include "app/new_symbol_menu.h"
#include "app/picture_view.h"
#include "app/read_actions.h"
#include "app/symbol_image.h"
#include "app/symbol_print.h"
#include "app/symbol_save_format.h"
#include "app/velmora_application.h"
#include "app/window_settings.h"
#include "codecs/text_charset.h"
#include "engine/velmora_engine.h"
#include "ornament/ornament_window.h"

namespace velmora {
namespace {

constexpr QSize kStartSize(553, 665);
constexpr int kUpperPanelHeight = 291;
constexpr int kParameterPanelWidth = 281;
constexpr int kInputBoxHeight = 88;
const QString kConfigName = QStringLiteral("Config.ini");
const QString kHistoryName = QStringLiteral("history.sqlite");

constexpr const char* kErrorLevels[] = {"L( 7%)", "M(15%)", "Q(25%)", "H(30%)"};
constexpr int kLevelH = 3;

// A menu command with its name and shortcut.
QAction* makeAction(QObject* owner, const char* name, const QKeySequence& shortcut = {}) {
    auto* action = new QAction(owner);
    action->setObjectName(QString::fromLatin1(name));
    action->setShortcut(shortcut);
    action->setIconVisibleInMenu(false);
    return action;
}

// A language menu item; its tag is the language index it selects.
QAction* makeLanguageAction(QObject* owner, const char* name, const char* caption, int tag) {
    QAction* action = makeAction(owner, name);
    action->setText(QString::fromUtf8(caption));
    action->setData(tag);
    action->setCheckable(true);
    return action;
}

// A flat tool button of the tool bar.
QToolButton* makeToolButton(QToolBar* bar, const char* name) {
    auto* button = new QToolButton(bar);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoRaise(true);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
    button->setIconSize(QSize(48, 48));
    button->setFixedSize(55, 54);
    bar->addWidget(button);
    return button;
}

QGroupBox* makeGroupBox(QWidget* parent, const char* name) {
    auto* box = new QGroupBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

// A tight grid inside a group box, so that two columns of boxes fit the narrow parameter panel.
QGridLayout* groupLayout(QGroupBox* box) {
    auto* layout = new QGridLayout(box);
    layout->setContentsMargins(6, 2, 6, 6);
    layout->setSpacing(4);
    return layout;
}

// The font the window was designed with when the desktop has it, else the desktop's own.
QFont windowFont(const QFont& desktop) {
    if (!QFontDatabase::families().contains(QStringLiteral("Arial Narrow"))) return desktop;
    QFont narrow(QStringLiteral("Arial Narrow"));
    narrow.setPointSizeF(desktop.pointSizeF());
    return narrow;
}

}  // namespace

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent),
      folders_(applicationFile(kConfigName)),
      printSideMm_(kDefaultPrintSideMm),
      history_(new ScanHistory(applicationFile(kHistoryName), this)) {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Velmora"));
    setWindowIcon(toolbarIcon(QStringLiteral("app")));
    setFont(windowFont(font()));

    createActions();
    createMenus();
    createToolBar();
    createPanels();
    createStatusBar();
    TimerCam = new QTimer(this);
    TimerCam->setObjectName(QStringLiteral("TimerCam"));
    TimerCam->setInterval(50);
    createCamera();

    // A failure while the window sets itself up is shown, and the window still opens.
    try {
        FormCreate();
    } catch (const std::exception& failure) {
        reportError(QString::fromLocal8Bit(failure.what()));
    }
    connectEncodeTriggers();
    connectDecodeCommands();
    connectCameraCommands();
    placeOnScreen();
    Memo1->setFocus();
}

void TForm1::FormCreate() {
    config_ = readAppConfig(QFile::encodeName(applicationFile(kConfigName)).toStdString());
    LoadLanguage(config_.LanID);
    ApplyLanguage();
    fillParameterLists();
    restoreWindowSettings();
    // No encode runs at start: the input box is empty and the panel shows its prompt.
    Image1->hide();

    bool written = false;
    QString error;
    if (!extractHelpDocument(applicationDirectory(), written, error)) reportError(error);
}

void TForm1::createActions() {
    N_Open = makeAction(this, "N_Open", QKeySequence(Qt::CTRL | Qt::Key_O));
    N_Save = makeAction(this, "N_Save", QKeySequence(Qt::CTRL | Qt::Key_S));
    N_Print = makeAction(this, "N_Print", QKeySequence::Print);
    N_Exit = makeAction(this, "N_Exit");
    N_CopySymbol = makeAction(this, "N_CopySymbol", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    N_CH = makeLanguageAction(this, "N_CH", "中国(&Z)", 1);
    N_En = makeLanguageAction(this, "N_En", "English(&E)", 0);
    N_Ex = makeLanguageAction(this, "N_Ex", "Extra(&X)", 2);
    N_ScreenGrab = makeAction(this, "N_ScreenGrab", QKeySequence(Qt::CTRL | Qt::Key_W));
    N_AreaGrab = makeAction(this, "N_AreaGrab", QKeySequence(Qt::CTRL | Qt::Key_M));
    N_Cam = makeAction(this, "N_Cam", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_C));
    N_CamGrab = makeAction(this, "N_CamGrab", QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D));
    N_CamGrab->setEnabled(false);
    N_About = makeAction(this, "N_About");
    N_History = makeAction(this, "N_History", QKeySequence(Qt::CTRL | Qt::Key_H));

    N_Open->setIcon(toolbarIcon(QStringLiteral("open")));
    N_Save->setIcon(toolbarIcon(QStringLiteral("save")));
    N_ScreenGrab->setIcon(toolbarIcon(QStringLiteral("screen")));
    N_AreaGrab->setIcon(toolbarIcon(QStringLiteral("area")));
    N_About->setIcon(toolbarIcon(QStringLiteral("about")));
    N_Cam->setIcon(toolbarIcon(QStringLiteral("camera")));
    N_CamGrab->setIcon(toolbarIcon(QStringLiteral("radar")));

    connect(N_Save, &QAction::triggered, this, &TForm1::N_SaveClick);
    connect(N_Print, &QAction::triggered, this, &TForm1::N_PrintClick);
    connect(N_CopySymbol, &QAction::triggered, this, &TForm1::N_CopySymbolClick);
    connect(N_Exit, &QAction::triggered, this, &TForm1::N_ExitClick);
    connect(N_About, &QAction::triggered, this, &TForm1::N_AboutClick);
    connect(N_History, &QAction::triggered, this, &TForm1::N_HistoryClick);
    for (QAction* language : {N_CH, N_En, N_Ex}) connect(language, &QAction::triggered, this, &TForm1::N_CHClick);
}

void TForm1::createMenus() {
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    N_File = menuBar()->addMenu(QString());
    N_File->setObjectName(QStringLiteral("N_File"));
    N_File->addAction(N_Open);
    N_File->addSeparator();
    N_File->addAction(N_Save);
    N_File->addAction(N_Print);
    N_File->addSeparator();
    N_File->addAction(N_Exit);

    N_Edit = menuBar()->addMenu(QString());
    N_Edit->setObjectName(QStringLiteral("N_Edit"));
    N_Edit->addAction(N_CopySymbol);

    N_Tools = menuBar()->addMenu(QString());
    N_Tools->setObjectName(QStringLiteral("N_Tools"));
    N_Tools->addActions({N_CH, N_En, N_Ex});
    N_Tools->addSeparator();
    N_Tools->addActions({N_ScreenGrab, N_AreaGrab});
    N_Tools->addSeparator();
    N_Tools->addActions({N_Cam, N_CamGrab});
    N_Tools->addSeparator();
    N_Tools->addAction(N_History);
    N_Tools->addSeparator();
    N_NewSymbol = new NewSymbolMenu(this, [this](const std::string& text) { putSymbolText(text); });
    N_Tools->addMenu(N_NewSymbol);

    N_Help = menuBar()->addMenu(QString());
    N_Help->setObjectName(QStringLiteral("N_Help"));
    N_Help->addAction(N_About);
}

void TForm1::createToolBar() {
    ToolBar1 = addToolBar(QString());
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(QSize(48, 48));
    ToolBar1->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    ToolButton_Open = makeToolButton(ToolBar1, "ToolButton_Open");
    ToolButton_Open->setDefaultAction(N_Open);
    ToolButton_Save = makeToolButton(ToolBar1, "ToolButton_Save");
    ToolButton_Save->setDefaultAction(N_Save);
    ToolBar1->addSeparator();
    ToolButton_ScreenGrab = makeToolButton(ToolBar1, "ToolButton_ScreenGrab");
    ToolButton_ScreenGrab->setDefaultAction(N_ScreenGrab);
    ToolButton_AreaGrab = makeToolButton(ToolBar1, "ToolButton_AreaGrab");
    ToolButton_AreaGrab->setDefaultAction(N_AreaGrab);
    ToolBar1->addSeparator();
    ToolButton_About = makeToolButton(ToolBar1, "ToolButton_About");
    ToolButton_About->setDefaultAction(N_About);
    ToolBar1->addSeparator();
    ToolButtonCam = makeToolButton(ToolBar1, "ToolButtonCam");
    ToolButtonCam->setDefaultAction(N_Cam);
    ToolButton_CamParse = makeToolButton(ToolBar1, "ToolButton_CamParse");
    ToolButton_CamParse->setDefaultAction(N_CamGrab);
    ToolBar1->addSeparator();
    // The ornament command has no menu item, so its button stands on its own.
    ToolButton_QrOrnament = makeToolButton(ToolBar1, "ToolButton_QrOrnament");
    ToolButton_QrOrnament->setIcon(toolbarIcon(QStringLiteral("ornament")));
    connect(ToolButton_QrOrnament, &QToolButton::clicked, this, &TForm1::ToolButton_QrOrnamentClick);
}

void TForm1::createPanels() {
    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setChildrenCollapsible(false);
    setCentralWidget(Splitter1);

    // Upper panel: the symbol on the left, the parameters on the right.
    PanelUp_AllBottom = new QWidget(Splitter1);
    PanelUp_AllBottom->setObjectName(QStringLiteral("PanelUp_AllBottom"));
    PanelUp_AllBottom->setMinimumHeight(80);
    auto* upperLayout = new QHBoxLayout(PanelUp_AllBottom);
    upperLayout->setContentsMargins(0, 0, 0, 0);
    Splitter2 = new QSplitter(Qt::Horizontal, PanelUp_AllBottom);
    Splitter2->setObjectName(QStringLiteral("Splitter2"));
    Splitter2->setChildrenCollapsible(false);
    upperLayout->addWidget(Splitter2);

    Panel_image = new CaptionPanel(Splitter2);
    Panel_image->setObjectName(QStringLiteral("Panel_image"));
    QPalette white = Panel_image->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    Panel_image->setPalette(white);
    // The symbol panel keeps 30 pixels and the parameter panel 40 whatever the splitter does.
    Panel_image->setMinimumWidth(30);
    Image1 = new PictureView(Panel_image);
    Image1->setObjectName(QStringLiteral("Image1"));
    Panel_image->setSquareChild(Image1);
    // The view shows the picture reduced; a double-click shows it whole, to scroll and zoom.
    Image1->setOnDoubleClick([this] { (new FullPictureWindow(Image1->picture(), this))->show(); });

    Panel_ScrollBox = new QWidget(Splitter2);
    Panel_ScrollBox->setObjectName(QStringLiteral("Panel_ScrollBox"));
    Panel_ScrollBox->setMinimumWidth(40);
    auto* scrollLayout = new QVBoxLayout(Panel_ScrollBox);
    scrollLayout->setContentsMargins(0, 0, 0, 0);
    ScrollBox1 = new QScrollArea(Panel_ScrollBox);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    ScrollBox1->setWidget(createParameterPanel());
    scrollLayout->addWidget(ScrollBox1);

    Splitter2->addWidget(Panel_image);
    Splitter2->addWidget(Panel_ScrollBox);
    Splitter2->setStretchFactor(0, 1);
    Splitter2->setStretchFactor(1, 0);
    Splitter2->setSizes({kStartSize.width() - kParameterPanelWidth, kParameterPanelWidth});

    // Lower panel: the input box over the log box.
    Panel5 = new QWidget(Splitter1);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    auto* lowerLayout = new QVBoxLayout(Panel5);
    lowerLayout->setContentsMargins(0, 0, 0, 0);
    Splitter3 = new QSplitter(Qt::Vertical, Panel5);
    Splitter3->setObjectName(QStringLiteral("Splitter3"));
    Splitter3->setChildrenCollapsible(false);
    lowerLayout->addWidget(Splitter3);
    actions_ = new ReadActions(Panel5);
    actions_->setFolderMemory(&folders_);
    lowerLayout->addWidget(actions_);

    Memo1 = new QPlainTextEdit(Splitter3);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setToolTip(QStringLiteral("INPUT QR  TEXT"));
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setMinimumHeight(40);
    MemoData = new QPlainTextEdit(Splitter3);
    MemoData->setObjectName(QStringLiteral("MemoData"));
    MemoData->setToolTip(QStringLiteral("LOG"));
    MemoData->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The log box keeps 40 pixels below the input box.
    MemoData->setMinimumHeight(40);
    Splitter3->addWidget(Memo1);
    Splitter3->addWidget(MemoData);
    Splitter3->setStretchFactor(0, 0);
    Splitter3->setStretchFactor(1, 1);
    Splitter3->setSizes({kInputBoxHeight, 200});

    Splitter1->addWidget(PanelUp_AllBottom);
    Splitter1->addWidget(Panel5);
    // A larger window gives the symbol view and the boxes below room alike.
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kUpperPanelHeight, 300});
}

QWidget* TForm1::createParameterPanel() {
    auto* panel = new QWidget;
    panel->setObjectName(QStringLiteral("ScrollBoxContents"));

    GroupBox_ErrLevel = makeGroupBox(panel, "GroupBox_ErrLevel");
    ComboBoxErrorLevel = new QComboBox(GroupBox_ErrLevel);
    ComboBoxErrorLevel->setObjectName(QStringLiteral("ComboBoxErrorLevel"));
    groupLayout(GroupBox_ErrLevel)->addWidget(ComboBoxErrorLevel, 0, 0);

    GroupBox_Ver = makeGroupBox(panel, "GroupBox_Ver");
    ComboBoxVersion = new QComboBox(GroupBox_Ver);
    ComboBoxVersion->setObjectName(QStringLiteral("ComboBoxVersion"));
    ComboBoxVersion->setMaxVisibleItems(15);
    LabelVersion = new QLabel(GroupBox_Ver);
    LabelVersion->setObjectName(QStringLiteral("LabelVersion"));
    CheckBoxAutoVer = new QCheckBox(GroupBox_Ver);
    CheckBoxAutoVer->setObjectName(QStringLiteral("CheckBoxAutoVer"));
    QGridLayout* versionLayout = groupLayout(GroupBox_Ver);
    versionLayout->addWidget(ComboBoxVersion, 0, 0);
    versionLayout->addWidget(LabelVersion, 0, 1);
    versionLayout->addWidget(CheckBoxAutoVer, 1, 0, 1, 2);

    GroupBox_Mask = makeGroupBox(panel, "GroupBox_Mask");
    ComboBoxMask = new QComboBox(GroupBox_Mask);
    ComboBoxMask->setObjectName(QStringLiteral("ComboBoxMask"));
    LabelMask = new QLabel(GroupBox_Mask);
    LabelMask->setObjectName(QStringLiteral("LabelMask"));
    QGridLayout* maskLayout = groupLayout(GroupBox_Mask);
    maskLayout->addWidget(ComboBoxMask, 0, 0);
    maskLayout->addWidget(LabelMask, 0, 1);

    GroupBox_Size = makeGroupBox(panel, "GroupBox_Size");
    UpDown1 = new ModuleSizeBox(QStringLiteral("EditSize"), GroupBox_Size);
    UpDown1->setObjectName(QStringLiteral("UpDown1"));
    LabelImageSize = new QLabel(GroupBox_Size);
    LabelImageSize->setObjectName(QStringLiteral("LabelImageSize"));
    QGridLayout* sizeLayout = groupLayout(GroupBox_Size);
    sizeLayout->addWidget(UpDown1, 0, 0);
    sizeLayout->addWidget(LabelImageSize, 1, 0);

    GroupBox_TextEncoding = makeGroupBox(panel, "GroupBox_TextEncoding");
    ComboBoxTextEncoding = new QComboBox(GroupBox_TextEncoding);
    ComboBoxTextEncoding->setObjectName(QStringLiteral("ComboBoxTextEncoding"));
    groupLayout(GroupBox_TextEncoding)->addWidget(ComboBoxTextEncoding, 0, 0);

    // The labels that show a chosen number keep room for "(40)" so the lists do not jump.
    const int numberWidth = LabelVersion->fontMetrics().horizontalAdvance(QStringLiteral("(40)")) + 2;
    LabelVersion->setFixedWidth(numberWidth);
    LabelMask->setFixedWidth(numberWidth);

    PanelPre = new QFrame(panel);
    PanelPre->setObjectName(QStringLiteral("PanelPre"));
    PanelPre->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    PanelPre->setMinimumHeight(120);
    Image2 = new PictureView(PanelPre);
    Image2->setObjectName(QStringLiteral("Image2"));
    auto* previewLayout = new QVBoxLayout(PanelPre);
    previewLayout->setContentsMargins(2, 2, 2, 2);
    previewLayout->addWidget(Image2);

    // The drawing surface of the encode view; never shown itself.
    ImageWork = new PictureView(panel);
    ImageWork->setObjectName(QStringLiteral("ImageWork"));
    ImageWork->hide();

    // Two columns: what the symbol holds on the left, how it is drawn on the right.
    auto* left = new QVBoxLayout;
    left->addWidget(GroupBox_ErrLevel);
    left->addWidget(GroupBox_Mask);
    left->addWidget(GroupBox_TextEncoding);
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    right->addWidget(GroupBox_Ver);
    right->addWidget(GroupBox_Size);
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* whole = new QVBoxLayout(panel);
    whole->setContentsMargins(4, 2, 4, 4);
    whole->setSpacing(2);
    whole->addLayout(columns);
    whole->addWidget(PanelPre, 1);
    return panel;
}

void TForm1::createStatusBar() {
    StatusBar1 = statusBar();
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    // The first panel carries the status and takes the width the second leaves, so that a long
    // status is not cut; the second carries a note beside it (why temp.bmp was not saved) and
    // grows to fit that note.
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setMinimumWidth(200);
    StatusPanel0->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusPanel1->setMinimumWidth(50);
    StatusPanel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    StatusBar1->addWidget(StatusPanel0, 1);
    StatusBar1->addWidget(StatusPanel1);
}

void TForm1::fillParameterLists() {
    ComboBoxErrorLevel->clear();
    for (const char* level : kErrorLevels) ComboBoxErrorLevel->addItem(QString::fromLatin1(level));
    ComboBoxErrorLevel->setCurrentIndex(kLevelH);

    ComboBoxVersion->clear();
    ComboBoxVersion->addItem(currentWindowTexts().autochoice);
    for (int version = 1; version <= 40; ++version) ComboBoxVersion->addItem(QString::asprintf("%2d", version));
    ComboBoxVersion->setCurrentIndex(0);

    ComboBoxMask->clear();
    ComboBoxMask->addItem(currentWindowTexts().autochoice);
    for (int mask = 0; mask <= 7; ++mask) ComboBoxMask->addItem(QString::number(mask));
    ComboBoxMask->setCurrentIndex(0);

    CheckBoxAutoVer->setChecked(false);

    ComboBoxTextEncoding->clear();
    for (const TextCharsetInfo& charset : kTextCharsets)
        ComboBoxTextEncoding->addItem(QString::fromLatin1(charset.displayName));
    ComboBoxTextEncoding->setCurrentIndex(static_cast<int>(config_.charset));
}

void TForm1::connectEncodeTriggers() {
    connect(Memo1, &QPlainTextEdit::textChanged, this, &TForm1::Memo1Change);
    // New text in the input box is no longer what was read: the actions go with it.
    connect(Memo1, &QPlainTextEdit::textChanged, actions_, [this] { actions_->showTexts({}); });
    for (QComboBox* list : {ComboBoxErrorLevel, ComboBoxVersion, ComboBoxMask})
        connect(list, &QComboBox::currentIndexChanged, this, &TForm1::ComboBoxErrorLevelChange);
    connect(UpDown1, &QSpinBox::valueChanged, this, &TForm1::ComboBoxErrorLevelChange);
    connect(CheckBoxAutoVer, &QCheckBox::toggled, this, &TForm1::ComboBoxErrorLevelChange);
    connect(ComboBoxTextEncoding, &QComboBox::currentIndexChanged, this, &TForm1::ComboBoxTextEncodingChange);
}

void TForm1::restoreWindowSettings() {
    const WindowSettings settings = readWindowSettings(QFile::encodeName(applicationFile(kConfigName)).toStdString());
    ComboBoxErrorLevel->setCurrentIndex(settings.errorLevel);
    ComboBoxMask->setCurrentIndex(settings.mask + 1);
    UpDown1->setValue(settings.moduleSize);
    savedPlace_ = settings.geometry;
    savedFrame_ = settings.frame;
}

void TForm1::keepWindowSettings() {
    WindowSettings settings;
    // The frame's corner, which a window manager places as asked, and the inner size.
    settings.geometry = isMaximized() || isFullScreen() ? normalGeometry() : QRect(pos(), size());
    const QRect inside = geometry(), outside = frameGeometry();
    settings.frame = QMargins(inside.left() - outside.left(), inside.top() - outside.top(),
                              outside.right() - inside.right(), outside.bottom() - inside.bottom());
    settings.errorLevel = ComboBoxErrorLevel->currentIndex();
    settings.mask = ComboBoxMask->currentIndex() - 1;
    settings.moduleSize = UpDown1->value();
    // Nothing is asked of a user who is leaving: settings that cannot be kept are given up.
    std::string error;
    writeWindowSettings(QFile::encodeName(applicationFile(kConfigName)).toStdString(), settings, error);
}

void TForm1::placeOnScreen() {
    // The window and its frame (as it was last time, or room for a usual one) fit a small or
    // densely scaled screen whole, status bar included.
    const QMargins frame = savedFrame_;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!savedPlace_.isEmpty()) {
        if (const QScreen* there = QGuiApplication::screenAt(savedPlace_.center())) screen = there;
    }
    if (screen == nullptr) {
        resize(kStartSize);
        return;
    }
    const QRect desktop = screen->availableGeometry();
    const QRect place = savedPlace_.isEmpty() ? centredOnDesktop(kStartSize, desktop, frame)
                                              : fitOnDesktop(savedPlace_, desktop, frame);
    resize(place.size());
    move(place.topLeft());
}

void TForm1::LoadLanguage(int index) {
    selectLanguage(index);
    N_CH->setChecked(index == 1);
    N_Ex->setChecked(index == 2);
    N_En->setChecked(index != 1 && index != 2);
}

void TForm1::ApplyLanguage() {
    const UiTexts& texts = currentUiTexts();
    N_File->setTitle(texts.menuFile + QStringLiteral("(&F)"));
    N_Open->setText(texts.menuOpen + QStringLiteral("(&O)"));
    N_Save->setText(texts.menuSave + QStringLiteral("(&S)"));
    N_Exit->setText(texts.menuExit + QStringLiteral("(&X)"));
    N_Tools->setTitle(texts.menuTools + QStringLiteral("(&T)"));
    N_ScreenGrab->setText(texts.menuScrgrab + QStringLiteral("(&W)"));
    N_AreaGrab->setText(texts.menuAreagrab + QStringLiteral("(&M)"));
    N_Cam->setText(texts.menuCamera + QStringLiteral("(&C)"));
    N_CamGrab->setText(texts.menuCamgrab + QStringLiteral("(&D)"));
    const SymbolTexts& symbolTexts = currentSymbolTexts();
    N_Print->setText(symbolTexts.print + QStringLiteral("(&P)"));
    N_Edit->setTitle(symbolTexts.edit + QStringLiteral("(&E)"));
    N_CopySymbol->setText(symbolTexts.copysymbol + QStringLiteral("(&C)"));
    N_NewSymbol->applyLanguage();
    N_History->setText(currentHistoryTexts().menu + QStringLiteral("(&H)"));
    if (historyWindow_ != nullptr) historyWindow_->applyLanguage();
    N_Help->setTitle(texts.menuHelp + QStringLiteral("(&H)"));
    N_About->setText(texts.menuAbout + QStringLiteral("(&A)"));

    // The tool buttons take their hints from the commands they share with the menu.
    N_Open->setToolTip(texts.hintOpen);
    N_Save->setToolTip(texts.hintSave);
    N_ScreenGrab->setToolTip(texts.hintScrgrab);
    N_AreaGrab->setToolTip(texts.hintAreagrab);
    N_Cam->setToolTip(texts.hintCamera);
    N_CamGrab->setToolTip(texts.hintCamgrab);
    N_About->setToolTip(texts.hintAbout);
    ToolButton_QrOrnament->setToolTip(texts.hintQrornament);
    Image2->setToolTip(texts.hintCampreview);
    actions_->applyLanguage();

    GroupBox_ErrLevel->setTitle(texts.parameterErrorlevel);
    GroupBox_Ver->setTitle(texts.parameterVersion);
    GroupBox_Mask->setTitle(texts.parameterMask);
    GroupBox_Size->setTitle(texts.parameterSize);
    GroupBox_TextEncoding->setTitle(currentCharsetTexts().textencoding);
    // The automatic choices: the check box and the first item of the version and mask lists.
    const QString automatic = currentWindowTexts().autochoice;
    CheckBoxAutoVer->setText(automatic);
    for (QComboBox* list : {ComboBoxVersion, ComboBoxMask})
        if (list->count() > 0) list->setItemText(0, automatic);

    Panel_image->setCaption(texts.inputdata);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Shift+Enter would put a line separator inside the paragraph, which the symbol would hold as
    // U+2028; the user asked for a new line like Enter's.
    if (watched == Memo1 && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            key->modifiers().testFlag(Qt::ShiftModifier)) {
            Memo1->textCursor().insertBlock();
            return true;
        }
    }
    if (filterDecodeEvents(event)) return true;
    return QMainWindow::eventFilter(watched, event);
}

QString TForm1::memoText() const {
    // The plain-text export would swap no-break spaces for spaces and line or paragraph
    // separators for line feeds. Only the breaks between the box's own paragraphs (a typed or
    // pasted line feed) become CR LF; every character inside a paragraph stays as typed.
    QString text;
    for (QTextBlock block = Memo1->document()->begin(); block.isValid(); block = block.next()) {
        if (block != Memo1->document()->begin()) text += QStringLiteral("\r\n");
        text += block.text();
    }
    return text;
}

void TForm1::showNoSymbol(const QString& caption) {
    Panel_image->setCaption(caption);
    LabelVersion->clear();
    LabelMask->clear();
    LabelImageSize->clear();
    Image1->hide();
}

void TForm1::Memo1Change() {
    const QString text = memoText();
    if (text.isEmpty()) {
        showNoSymbol(currentUiTexts().inputdata);
        return;
    }

    const TextCharset charset = static_cast<TextCharset>(qMax(0, ComboBoxTextEncoding->currentIndex()));
    std::string bytes, unconvertible;
    if (!convertFromUtf8(text.toUtf8().toStdString(), charset, bytes, unconvertible)) {
        // A character the chosen set cannot hold would be dropped or changed: no symbol instead.
        QString caption = currentCharsetTexts().notconvertible;
        caption.replace(QStringLiteral("%1"), QString::fromLatin1(textCharsetInfo(charset).displayName));
        caption.replace(QStringLiteral("%2"), QString::fromUtf8(unconvertible));
        showNoSymbol(caption);
        symbolShown_ = false;
        return;
    }

    const int level = ComboBoxErrorLevel->currentIndex();
    int version = ComboBoxVersion->currentIndex();
    int mask = ComboBoxMask->currentIndex() - 1;
    const int autoExtent = CheckBoxAutoVer->isChecked() ? 1 : 0;
    const int moduleSize = UpDown1->value();
    // The length goes with the bytes: a zero character the user pasted belongs to the text.
    if (QR_Encode_Matrix(level, &version, autoExtent, &mask, bytes.data(), static_cast<int>(bytes.size()), nullptr) <= 0) {
        showNoSymbol(currentUiTexts().textoverflow);
        symbolShown_ = false;
        return;
    }

    ImageWork->setPicture(drawSymbolImage(g_QrEncodedData, moduleSize));
    Image1->setPicture(ImageWork->picture());
    const QImage& picture = Image1->picture();
    LabelImageSize->setText(QString::fromUtf8("%1 × %2").arg(picture.width()).arg(picture.height()));
    Panel_image->setCaption(QString());
    Image1->show();
    const bool versionChosen = CheckBoxAutoVer->isChecked() || ComboBoxVersion->currentIndex() == 0;
    LabelVersion->setText(versionChosen ? QStringLiteral("(%1)").arg(version) : QString());
    // A fixed mask is on show in its list already; a stale number from an earlier automatic
    // choice would contradict it.
    LabelMask->setText(ComboBoxMask->currentIndex() == 0 ? QStringLiteral("(%1)").arg(mask) : QString());
    symbolShown_ = true;
}

void TForm1::ComboBoxErrorLevelChange() {
    Memo1Change();
}

void TForm1::ComboBoxTextEncodingChange() {
    config_.charset = static_cast<TextCharset>(qMax(0, ComboBoxTextEncoding->currentIndex()));
    std::string error;
    if (!writeTextCharset(QFile::encodeName(applicationFile(kConfigName)).toStdString(), config_.charset, error))
        reportError(QString::fromLocal8Bit(error.c_str()));
    Memo1Change();
}

QString TForm1::chooseSaveFileName(const QString& folder) {
    QFileDialog dialog(this, QString(), folder, symbolSaveFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // A bare name takes the extension of the chosen type.
    dialog.setDefaultSuffix(QStringLiteral("bmp"));
    connect(&dialog, &QFileDialog::filterSelected, &dialog,
            [&dialog](const QString& filter) { dialog.setDefaultSuffix(symbolSaveSuffix(filter)); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().constFirst();
}

void TForm1::N_SaveClick() {
    if (TimerCam->isActive()) {
        QMessageBox(QMessageBox::NoIcon, QStringLiteral("Velmora"), currentUiTexts().closecam, QMessageBox::Ok, this)
            .exec();
        return;
    }
    if (memoText().isEmpty()) return;
    // After a failed encode the view still holds the previous symbol, which no longer matches
    // the text: say why nothing is saved instead of writing it. The panel's caption names the
    // failure (too much text, or a character the chosen text encoding cannot hold).
    if (!symbolShown_) {
        setStatusText(Panel_image->caption());
        return;
    }
    const QString chosen = chooseSaveFileName(folders_.startFolder(FileKind::Pictures));
    if (chosen.isEmpty()) return;
    folders_.remember(FileKind::Pictures, chosen);
    QString error;
    if (!writeShownSymbol(Image1->picture(), UpDown1->value(), symbolSaveName(chosen), error)) reportError(error);
}

void TForm1::N_ExitClick() {
    close();
}

void TForm1::N_AboutClick() {
    auto* about = new TFormAbout(this);
    about->show();
}

void TForm1::ToolButton_QrOrnamentClick() {
    if (TimerCam->isActive()) {
        QMessageBox(QMessageBox::NoIcon, QStringLiteral("Velmora"), currentUiTexts().closecam, QMessageBox::Ok, this)
            .exec();
        return;
    }
    if (memoText().isEmpty()) {
        // "Test" and a line break, which the change event encodes at once; the pause lets the
        // user see that symbol before the ornament window covers it.
        Memo1->setPlainText(QStringLiteral("Test\n"));
        QEventLoop pause;
        QTimer::singleShot(800, &pause, &QEventLoop::quit);
        pause.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (!symbolShown_) return;
    TFormQROrnament ornament(this, UpDown1->value(), currentOrnamentTexts());
    ornament.exec();
}

void TForm1::N_CHClick() {
    const auto* item = qobject_cast<const QAction*>(sender());
    if (item == nullptr) return;
    const int tag = item->data().toInt();
    for (QAction* language : {N_CH, N_En, N_Ex}) language->setChecked(false);
    (tag == 1 ? N_CH : tag == 2 ? N_Ex : N_En)->setChecked(true);
    std::string error;
    if (!writeLanguageId(QFile::encodeName(applicationFile(kConfigName)).toStdString(), tag, error))
        reportError(QString::fromLocal8Bit(error.c_str()));
    LoadLanguage(tag);
    ApplyLanguage();
    // The new texts put the prompt on the panel. While a symbol is on show the panel is hidden
    // behind it; while the last encode failed the panel has to go on saying why, in the new
    // language, so that failure is shown again.
    if (!symbolShown_ && !memoText().isEmpty()) Memo1Change();
}

QString TForm1::statusText() const {
    return StatusPanel0->text();
}

void TForm1::setStatusText(const QString& text) {
    StatusPanel0->setText(text);
}

QString TForm1::statusNote() const {
    return StatusPanel1->text();
}

void TForm1::setStatusNote(const QString& note) {
    StatusPanel1->setText(note);
    StatusPanel1->setToolTip(note);
}

void TForm1::FormClose() {
    keepWindowSettings();
    shutDownCamera();
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

}  // namespace velmora
