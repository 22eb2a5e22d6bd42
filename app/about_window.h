// The About window: product, maker lines and the button that opens the help document.
#pragma once

#include <QDialog>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

class TFormAbout : public QDialog {
    Q_OBJECT

public:
    // Creates the window with the texts of the current language; it deletes itself when closed.
    explicit TFormAbout(QWidget* owner);

    // The eight lines of the text box for a language index (Chinese for exactly 1).
    static QStringList aboutLines(int languageIndex);

    // "OK": closes the window.
    void BitBtn1Click();
    // "Help...": opens qr_readme.pdf in the desktop's viewer, or says "No pdf reader".
    void BitBtn2Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();

    QLabel* Image1;
    QPlainTextEdit* Memo1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
};

}  // namespace velmora
