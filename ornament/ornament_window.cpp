#include "ornament/ornament_window.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSpinBox>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <opencv2/core.hpp>
#include <string>

#include "app/image_bitmap.h"
#include "app/picture_name_filters.h"
#include "app/wait_cursor.h"
#include "engine/image/picture_loading.h"
#include "ornament/ornament_check.h"
#include "ornament/radio_group.h"

namespace velmora {
namespace {

constexpr int kMinScale = 1;
constexpr int kMaxScale = 40;
constexpr int kPanelWidth = 240;

QSpinBox* makeSpinBox(QWidget* parent, const char* name, int step) {
    auto* box = new QSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setSingleStep(step);
    box->setRange(0, 0);
    box->setAccelerated(true);
    return box;
}

QLabel* makeLabel(QWidget* parent, const char* name) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(name));
    return label;
}

QString localPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The words of the language file for why a picture could not be loaded.
QString failureText(const OrnamentTexts& texts, PictureFailure failure) {
    switch (failure) {
    case PictureFailure::UnknownType: return texts.unknowntype;
    case PictureFailure::CannotOpen: return texts.cannotopen;
    case PictureFailure::Truncated: return texts.truncated;
    case PictureFailure::Unsupported: return texts.unsupported;
    case PictureFailure::TooLarge: return texts.toolarge;
    case PictureFailure::OutOfMemory: return texts.outofmemory;
    case PictureFailure::None:
    case PictureFailure::Malformed: break;
    }
    return texts.malformed;
}

// The save dialog's types, in the order it offers them.
constexpr OrnamentFileFormat kSaveFormats[] = {OrnamentFileFormat::Bmp, OrnamentFileFormat::Png,
                                               OrnamentFileFormat::Jpeg};

QString saveFilterOf(const OrnamentTexts& texts, OrnamentFileFormat format) {
    switch (format) {
    case OrnamentFileFormat::Png: return texts.pngfiles + QStringLiteral(" (*.png)");
    case OrnamentFileFormat::Jpeg: return texts.jpegfiles + QStringLiteral(" (*.jpg *.jpeg)");
    case OrnamentFileFormat::Bmp: break;
    }
    return texts.bmpfiles + QStringLiteral(" (*.bmp)");
}

}  // namespace

TFormQROrnament::TFormQROrnament(QWidget* parent, int moduleSize, const OrnamentTexts& texts)
    : QDialog(parent), symbol_(g_QrEncodedData), firstModuleSize_(std::clamp(moduleSize, kMinScale, kMaxScale)) {
    setObjectName(QStringLiteral("FormQROrnament"));
    setWindowTitle(QStringLiteral("QR Ornament"));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setWindowState(Qt::WindowMaximized);
    setSizeGripEnabled(true);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setAlignment(Qt::AlignCenter);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    ImageOrnament = makeLabel(ScrollBox1, "ImageOrnament");
    ImageOrnament->setAlignment(Qt::AlignCenter);
    ScrollBox1->setWidget(ImageOrnament);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(ScrollBox1, 1);
    layout->addWidget(createControlPanel(), 0);

    FormCreate(texts);
    connectControls();
    resize(fittingSize(QSize(920, 720)));
}

QScrollArea* TFormQROrnament::scrollableChoices(QWidget* parent, QWidget* choices) {
    auto* area = new QScrollArea(parent);
    area->setObjectName(QStringLiteral("ScrollChoices"));
    area->setWidget(choices);
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return area;
}

QSize TFormQROrnament::fittingSize(const QSize& wanted) const {
    const QScreen* shown = screen();
    if (shown == nullptr) return wanted;
    return wanted.boundedTo(shown->availableGeometry().size());
}

TFormQROrnament::~TFormQROrnament() = default;

QWidget* TFormQROrnament::createControlPanel() {
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("PanelControls"));
    panel->setFixedWidth(kPanelWidth);
    // The choices scroll when the window is lower than they are (large scaling on a small
    // screen); what the check found, Save and Exit stay in sight below them.
    auto* choices = new QWidget(panel);
    choices->setObjectName(QStringLiteral("PanelChoices"));

    BitBtn_ReadBmp = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton), QString(), choices);
    BitBtn_ReadBmp->setObjectName(QStringLiteral("BitBtn_ReadBmp"));
    BitBtn_RemoveBmp = new QPushButton(style()->standardIcon(QStyle::SP_DialogDiscardButton), QString(), choices);
    BitBtn_RemoveBmp->setObjectName(QStringLiteral("BitBtn_RemoveBmp"));
    RadioGroup_SyntheticType = new RadioGroup(QStringLiteral("RadioGroup_SyntheticType"), 2, choices);

    LabelSamllPic = makeLabel(choices, "LabelSamllPic");
    Edit_iX_big = makeSpinBox(choices, "Edit_iX_big", 10);
    Edit_iY_big = makeSpinBox(choices, "Edit_iY_big", 10);
    Edit_iX_big->setPrefix(QStringLiteral("x "));
    Edit_iY_big->setPrefix(QStringLiteral("y "));
    // The fine controls are never shown; they carry the place the coarse ones set.
    Edit_iX = makeSpinBox(choices, "Edit_iX", 1);
    Edit_iY = makeSpinBox(choices, "Edit_iY", 1);
    Edit_iX->hide();
    Edit_iY->hide();

    RadioGroupBmpFilter = new RadioGroup(QStringLiteral("RadioGroupBmpFilter"), 3, choices);
    CheckBoxBmp_DrawBorder = new QCheckBox(choices);
    CheckBoxBmp_DrawBorder->setObjectName(QStringLiteral("CheckBoxBmp_DrawBorder"));

    LabelQRScale = makeLabel(choices, "LabelQRScale");
    Edit_iSize = makeSpinBox(choices, "Edit_iSize", 1);
    Edit_iSize->setRange(kMinScale, kMaxScale);
    Edit_iSize->setWrapping(true);
    Edit_iSize->setValue(5);
    RadioGroupDotType = new RadioGroup(QStringLiteral("RadioGroupDotType"), 5, choices);
    CheckBox_AlignProtected = new QCheckBox(choices);
    CheckBox_AlignProtected->setObjectName(QStringLiteral("CheckBox_AlignProtected"));
    CheckBox_AlignProtected->setChecked(true);

    // The finder corners keep full squares; their dot type is not offered.
    RadioGroupFP_Type = new RadioGroup(QStringLiteral("RadioGroupFP_Type"), 3, choices);
    RadioGroupFP_Type->setTitle(QString::fromUtf8("寻像图形点型"));
    RadioGroupFP_Type->setItems({QString::fromUtf8("正方形"), QString::fromUtf8("圆"), QString::fromUtf8("菱形")});
    RadioGroupFP_Type->hide();

    BitBtn_Save = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), QString(), panel);
    BitBtn_Save->setObjectName(QStringLiteral("BitBtn_Save"));
    BitBtn_Exit = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), QString(), panel);
    BitBtn_Exit->setObjectName(QStringLiteral("BitBtn_Exit"));
    LabelLevels = makeLabel(panel, "LabelLevels");
    LabelLevels->setWordWrap(true);
    LabelLevels->hide();
    LabelScan = makeLabel(panel, "LabelScan");
    LabelScan->setWordWrap(true);

    auto* position = new QGridLayout;
    position->addWidget(LabelSamllPic, 0, 0, 1, 2);
    position->addWidget(Edit_iX_big, 1, 0);
    position->addWidget(Edit_iY_big, 1, 1);
    auto* scale = new QHBoxLayout;
    scale->addWidget(LabelQRScale);
    scale->addWidget(Edit_iSize, 1);

    auto* column = new QVBoxLayout(choices);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(BitBtn_ReadBmp);
    column->addWidget(BitBtn_RemoveBmp);
    column->addWidget(RadioGroup_SyntheticType);
    column->addLayout(position);
    column->addWidget(RadioGroupBmpFilter);
    column->addWidget(CheckBoxBmp_DrawBorder);
    column->addSpacing(8);
    column->addLayout(scale);
    column->addWidget(RadioGroupDotType);
    column->addWidget(CheckBox_AlignProtected);
    column->addWidget(RadioGroupFP_Type);
    column->addStretch(1);

    auto* outcome = new QVBoxLayout(panel);
    outcome->setContentsMargins(0, 0, 0, 0);
    outcome->setSpacing(6);
    outcome->addWidget(scrollableChoices(panel, choices), 1);
    outcome->addWidget(LabelLevels);
    outcome->addWidget(LabelScan);
    outcome->addWidget(BitBtn_Save);
    outcome->addWidget(BitBtn_Exit);
    return panel;
}

void TFormQROrnament::FormCreate(const OrnamentTexts& texts) {
    ImageTemp = QImage();
    texts_ = texts;
    composer_.requestRecentre();
    BitBtn_ReadBmp->setText(texts.addpicture);
    BitBtn_RemoveBmp->setText(texts.removepicture);
    BitBtn_RemoveBmp->setEnabled(false);
    LabelLevels->setText(texts.levelsapart);
    RadioGroup_SyntheticType->setTitle(texts.mixtype);
    RadioGroup_SyntheticType->setItems({texts.mix0, texts.mix1});
    RadioGroup_SyntheticType->setItemIndex(kMixMixture);
    LabelSamllPic->setText(texts.SmallPicPos);
    RadioGroupBmpFilter->setTitle(texts.SmallPicFilterType);
    RadioGroupBmpFilter->setItems({texts.SmallPicFilter0, texts.SmallPicFilter1, texts.SmallPicFilter2});
    RadioGroupBmpFilter->setItemIndex(kShapeRound);
    CheckBoxBmp_DrawBorder->setText(texts.SmallPicBorder);
    LabelQRScale->setText(texts.QRScale);
    RadioGroupDotType->setTitle(texts.QRDotType);
    RadioGroupDotType->setItems({texts.QRDot0, texts.QRDot1, texts.QRDot2, texts.QRDot3, texts.QRDot4});
    RadioGroupDotType->setItemIndex(kDotSmallSquare);
    CheckBox_AlignProtected->setText(texts.QRAlign);
    BitBtn_Save->setText(texts.QRSave);
    BitBtn_Exit->setText(texts.Exit);
    RadioGroupBmpFilter->setEnabled(false);
    CheckBoxBmp_DrawBorder->setEnabled(false);
}

void TFormQROrnament::connectControls() {
    for (RadioGroup* group : {RadioGroup_SyntheticType, RadioGroupBmpFilter, RadioGroupDotType, RadioGroupFP_Type})
        connect(group, &RadioGroup::itemClicked, this, &TFormQROrnament::RadioGroupDotTypeClick);
    for (QCheckBox* box : {CheckBoxBmp_DrawBorder, CheckBox_AlignProtected})
        connect(box, &QCheckBox::clicked, this, &TFormQROrnament::RadioGroupDotTypeClick);
    connect(BitBtn_ReadBmp, &QPushButton::clicked, this, &TFormQROrnament::BitBtn_ReadBmpClick);
    connect(BitBtn_RemoveBmp, &QPushButton::clicked, this, &TFormQROrnament::BitBtn_RemoveBmpClick);
    connect(BitBtn_Save, &QPushButton::clicked, this, &TFormQROrnament::BitBtn_SaveClick);
    connect(BitBtn_Exit, &QPushButton::clicked, this, &QDialog::accept);
    connect(Edit_iX, &QSpinBox::valueChanged, this, &TFormQROrnament::Edit_iXChange);
    connect(Edit_iY, &QSpinBox::valueChanged, this, &TFormQROrnament::Edit_iYChange);
    connect(Edit_iX_big, &QSpinBox::valueChanged, this, &TFormQROrnament::Edit_iX_bigChange);
    connect(Edit_iY_big, &QSpinBox::valueChanged, this, &TFormQROrnament::Edit_iY_bigChange);
    connect(Edit_iSize, &QSpinBox::valueChanged, this, &TFormQROrnament::Edit_iSizeChange);
}

void TFormQROrnament::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!firstShow_) return;
    firstShow_ = false;
    // The first picture is drawn at the main window's module size.
    suppressEvents_ = true;
    Edit_iSize->setValue(firstModuleSize_);
    suppressEvents_ = false;
    Compose();
}

int TFormQROrnament::Compose() {
    if (busy_) return -1;
    busy_ = true;
    OrnamentSettings settings;
    settings.style.scale = Edit_iSize->value();
    settings.style.finderDotType = RadioGroupFP_Type->itemIndex();
    settings.style.dataDotType = RadioGroupDotType->itemIndex();
    settings.style.alignProtected = CheckBox_AlignProtected->isChecked();
    settings.mixType = RadioGroup_SyntheticType->itemIndex();
    settings.framing.shape = RadioGroupBmpFilter->itemIndex();
    settings.framing.border = CheckBoxBmp_DrawBorder->isChecked();
    composer_.moveTo(Edit_iX->value(), Edit_iY->value());

    const int result = composer_.Compose(symbol_, settings);
    if (result == 1) {
        {
            const WaitCursor wait;
            scans_ = ornamentScans(composer_, settings.style.scale);
        }
        showComposition();
    }
    busy_ = false;
    return result;
}

void TFormQROrnament::showComposition() {
    RadioGroupBmpFilter->setEnabled(composer_.framingApplies());
    CheckBoxBmp_DrawBorder->setEnabled(composer_.framingApplies());
    // Without a picture there is nothing to move or to take away.
    Edit_iX_big->setEnabled(composer_.hasPicture());
    Edit_iY_big->setEnabled(composer_.hasPicture());
    BitBtn_RemoveBmp->setEnabled(composer_.hasPicture());
    LabelLevels->setVisible(composer_.levelsHeldApart());
    LabelScan->setText(scans_ ? texts_.scans : texts_.noscan);
    LabelScan->setStyleSheet(scans_ ? QStringLiteral("QLabel { color: #1b7d2a; }")
                                    : QStringLiteral("QLabel { color: #c0392b; font-weight: bold; }"));
    if (composer_.recentred()) showPlacement();
    if (CopyImageToBitmap(composer_.canvas(), &ornamentPicture_)) {
        ImageOrnament->setPixmap(QPixmap::fromImage(ornamentPicture_));
        ImageOrnament->adjustSize();
    }
}

void TFormQROrnament::showPlacement() {
    suppressEvents_ = true;
    const PixelPoint range = composer_.movableRange(), place = composer_.movablePosition();
    for (QSpinBox* box : {Edit_iX, Edit_iX_big}) {
        box->setRange(0, std::max(range.x, 0));
        box->setValue(place.x);
    }
    for (QSpinBox* box : {Edit_iY, Edit_iY_big}) {
        box->setRange(0, std::max(range.y, 0));
        box->setValue(place.y);
    }
    suppressEvents_ = false;
}

void TFormQROrnament::RadioGroupDotTypeClick() {
    Compose();
}

void TFormQROrnament::Edit_iSizeChange() {
    if (suppressEvents_) return;
    composer_.requestRecentre();
    Compose();
}

void TFormQROrnament::copyPosition(QSpinBox* from, QSpinBox* to) {
    if (to->value() != from->value()) to->setValue(from->value());
}

void TFormQROrnament::Edit_iXChange() {
    if (suppressEvents_) return;
    copyPosition(Edit_iX, Edit_iX_big);
    Compose();
}

void TFormQROrnament::Edit_iYChange() {
    if (suppressEvents_) return;
    copyPosition(Edit_iY, Edit_iY_big);
    Compose();
}

void TFormQROrnament::Edit_iX_bigChange() {
    if (suppressEvents_) return;
    copyPosition(Edit_iX_big, Edit_iX);
}

void TFormQROrnament::Edit_iY_bigChange() {
    if (suppressEvents_) return;
    copyPosition(Edit_iY_big, Edit_iY);
}

QString TFormQROrnament::pictureDialogFilter() const {
    return QStringLiteral("%1 (%2);;%3 (*)")
        .arg(texts_.picturefiles, pictureNamePatterns().join(QLatin1Char(' ')), texts_.allfiles);
}

QString TFormQROrnament::dialogFolder() const {
    if (!lastFolder_.isEmpty() && QDir(lastFolder_).exists()) return lastFolder_;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return !pictures.isEmpty() && QDir(pictures).exists() ? pictures : QDir::homePath();
}

QString TFormQROrnament::chooseOpenFileName() {
    // The long list of patterns stays out of sight; the dialog still matches by it.
    const QString name = QFileDialog::getOpenFileName(this, QString(), dialogFolder(), pictureDialogFilter(), nullptr,
                                                      QFileDialog::HideNameFilterDetails);
    if (!name.isEmpty()) lastFolder_ = QFileInfo(name).absolutePath();
    return name;
}

QString TFormQROrnament::chooseSaveFileName(OrnamentFileFormat& chosen) {
    QStringList filters;
    for (const OrnamentFileFormat format : kSaveFormats) filters << saveFilterOf(texts_, format);
    QString selected = filters.front();
    const QString name =
        QFileDialog::getSaveFileName(this, QString(), dialogFolder(), filters.join(QStringLiteral(";;")), &selected);
    chosen = kSaveFormats[std::max<qsizetype>(filters.indexOf(selected), 0)];
    if (!name.isEmpty()) lastFolder_ = QFileInfo(name).absolutePath();
    return name;
}

void TFormQROrnament::showProblem(const QString& message, const QString& details) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Velmora"), message, QMessageBox::Ok, this);
    if (!details.isEmpty()) box.setDetailedText(details);
    box.exec();
}

void TFormQROrnament::BitBtn_ReadBmpClick() {
    const QString name = chooseOpenFileName();
    if (name.isEmpty()) return;
    const std::string path = QFile::encodeName(name).toStdString();
    cv::Mat colour, grey;
    std::string reason;
    PictureFailure failure = PictureFailure::None;
    bool loaded = loadPictureFile(path, colour, kLoadColour, &reason, &failure) == 1 &&
                  loadPictureFile(path, grey, kLoadGrey, &reason, &failure) == 1;
    QImage shown;
    if (loaded && !(CopyImageToBitmap(colour, &shown) && composer_.setPicture(colour, grey))) {
        loaded = false;
        failure = PictureFailure::OutOfMemory;
    }
    if (!loaded) {
        showProblem(texts_.notadded.arg(QDir::toNativeSeparators(name), failureText(texts_, failure)),
                    localPath(reason));
        return;
    }
    ImageTemp = shown;
    // The view follows at once, so that what is shown is what is saved.
    Compose();
}

void TFormQROrnament::BitBtn_RemoveBmpClick() {
    if (!composer_.hasPicture()) return;
    composer_.clearPicture();
    ImageTemp = QImage();
    Compose();
}

void TFormQROrnament::BitBtn_SaveClick() {
    OrnamentFileFormat chosen = OrnamentFileFormat::Bmp;
    const QString name = chooseSaveFileName(chosen);
    if (name.isEmpty()) return;
    const std::string path = withFormatExtension(QFile::encodeName(name).toStdString(), chosen);
    std::string error;
    if (!saveOrnamentPicture(composer_.canvas(), path, error))
        showProblem(texts_.notsaved.arg(QDir::toNativeSeparators(localPath(path))), localPath(error));
}

}  // namespace velmora
