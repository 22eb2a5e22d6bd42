// The ornament window: the symbol the main window shows, redrawn with shaped dots and merged
// with a picture the user adds, shown as it is composed and saved on request.
#pragma once

#include <QDialog>
#include <QImage>

#include "app/language.h"
#include "engine/velmora_engine.h"
#include "ornament/ornament_composer.h"
#include "ornament/ornament_file.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSpinBox;

namespace velmora {

class RadioGroup;

class TFormQROrnament : public QDialog {
    Q_OBJECT

public:
    // The window for the symbol of the encode record as it is now, first drawn at moduleSize
    // pixels per module (held to 1..40), with its captions from texts.
    TFormQROrnament(QWidget* parent, int moduleSize, const OrnamentTexts& texts);
    ~TFormQROrnament() override;

    // Composes with the current choices, reads the result back and shows both. Returns 1, or -1
    // when a composition is already running or fails.
    int Compose();

    // Click of every choice (radio groups, check boxes): composes.
    void RadioGroupDotTypeClick();
    // Asks for a picture and puts it in place of the one added before. Cancelling keeps the
    // ornament as it is; a picture that cannot be loaded is reported by name and reason, and the
    // picture placed before stays.
    void BitBtn_ReadBmpClick();
    // Takes the added picture away.
    void BitBtn_RemoveBmpClick();
    // Asks for a file name and saves the composed picture in the format its extension names; a
    // name without the extension of a format the ornament is saved in gets the extension of the
    // type chosen in the dialog.
    void BitBtn_SaveClick();
    void Edit_iXChange();
    void Edit_iYChange();
    void Edit_iX_bigChange();
    void Edit_iY_bigChange();
    void Edit_iSizeChange();

    // The composed picture on show, 24-bit.
    const QImage& ornamentPicture() const { return ornamentPicture_; }
    const OrnamentComposer& composer() const { return composer_; }
    // Whether Velmora's reader reads the composed picture back as the symbol.
    bool scans() const { return scans_; }
    // The add-picture dialog's filter: every type the picture loader reads, in any letter case,
    // then all files.
    QString pictureDialogFilter() const;

protected:
    void showEvent(QShowEvent* event) override;
    // Ask the user for the picture to add and for the name to save under; empty when cancelled.
    virtual QString chooseOpenFileName();
    // The type chosen in the save dialog is left in chosen.
    virtual QString chooseSaveFileName(OrnamentFileFormat& chosen);

private:
    void FormCreate(const OrnamentTexts& texts);
    QWidget* createControlPanel();
    // The choices in an area of parent that scrolls them up and down.
    QScrollArea* scrollableChoices(QWidget* parent, QWidget* choices);
    // The size wanted, held to the screen's available area.
    QSize fittingSize(const QSize& wanted) const;
    void connectControls();
    // Puts the composer's range and place of the movable item into the four position controls.
    void showPlacement();
    // Shows the outcome of a composition: what the check found, the note on the levels, and
    // which controls apply.
    void showComposition();
    // Where the file dialogs start: the folder of the last picture added or saved here, else
    // the Pictures folder, else home.
    QString dialogFolder() const;
    // Shows a failure in a message box, with the technical details behind a button when given.
    void showProblem(const QString& message, const QString& details = QString());
    // Copies the coarse and fine position controls into each other.
    void copyPosition(QSpinBox* from, QSpinBox* to);

    C_QrEncodedData symbol_;
    OrnamentComposer composer_;
    int firstModuleSize_;
    bool firstShow_ = true;
    bool busy_ = false;
    bool suppressEvents_ = false;
    bool scans_ = false;
    OrnamentTexts texts_;
    QString lastFolder_;
    QImage ornamentPicture_;
    QImage ImageTemp;

    QScrollArea* ScrollBox1;
    QLabel* ImageOrnament;
    QPushButton* BitBtn_ReadBmp;
    QPushButton* BitBtn_RemoveBmp;
    QLabel* LabelScan;
    QLabel* LabelLevels;
    RadioGroup* RadioGroup_SyntheticType;
    QLabel* LabelSamllPic;
    QSpinBox* Edit_iX_big;
    QSpinBox* Edit_iY_big;
    QSpinBox* Edit_iX;
    QSpinBox* Edit_iY;
    RadioGroup* RadioGroupBmpFilter;
    QCheckBox* CheckBoxBmp_DrawBorder;
    QLabel* LabelQRScale;
    QSpinBox* Edit_iSize;
    RadioGroup* RadioGroupDotType;
    QCheckBox* CheckBox_AlignProtected;
    RadioGroup* RadioGroupFP_Type;
    QPushButton* BitBtn_Save;
    QPushButton* BitBtn_Exit;
};

}  // namespace velmora
