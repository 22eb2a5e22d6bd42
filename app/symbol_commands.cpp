// The main window's commands that take its symbol elsewhere or bring one in: Copy symbol, Print,
// and the text of a New symbol form put into the input box.
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPrintPreviewDialog>

#include "app/caption_panel.h"
#include "app/language.h"
#include "app/main_window.h"
#include "app/module_size_box.h"
#include "app/picture_view.h"
#include "app/symbol_clipboard.h"
#include "app/symbol_print.h"
#include "app/symbol_save_format.h"

namespace velmora {

bool TForm1::shownSymbol(ShownModules& modules) {
    if (refuseWhileGrabbing()) return false;
    // After a decode the view shows the picture read, with the input box empty; after a failed
    // encode it still holds the last symbol, which is not that of the text.
    if (memoText().isEmpty()) {
        setStatusText(currentSymbolTexts().nosymbol);
        return false;
    }
    if (!symbolShown_) {
        setStatusText(Panel_image->caption());
        return false;
    }
    modules = shownSymbolModules(Image1->picture(), UpDown1->value());
    if (modules.size == 0) setStatusText(currentSymbolTexts().nosymbol);
    return modules.size != 0;
}

void TForm1::N_CopySymbolClick() {
    ShownModules modules;
    if (!shownSymbol(modules)) return;
    QMimeData* data = symbolMimeData(Image1->picture(), modules, UpDown1->value());
    if (data == nullptr) {
        setStatusText(currentWindowTexts().outofmemory);
        return;
    }
    QApplication::clipboard()->setMimeData(data);
    setStatusText(currentSymbolTexts().copied);
}

void TForm1::showPrintPreview(QPrintPreviewDialog& dialog) {
    dialog.exec();
}

void TForm1::N_PrintClick() {
    ShownModules modules;
    if (!shownSymbol(modules)) return;
    previewSymbolPrint(this, modules, printSideMm_, [this](QPrintPreviewDialog& dialog) { showPrintPreview(dialog); });
}

void TForm1::putSymbolText(const std::string& text) {
    // The box holds lines, which it gives back joined by CR LF: the symbol holds the text as
    // the form wrote it.
    QString lines = QString::fromStdString(text);
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Memo1->setPlainText(lines);
    Memo1->setFocus();
}

}  // namespace velmora
