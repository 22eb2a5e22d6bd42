#include "app/symbol_print.h"

#include <QBoxLayout>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <algorithm>

#include "app/language.h"
#include "codecs/symbol_picture.h"

namespace velmora {
namespace {

constexpr double kMmPerInch = 25.4;

// The symbol's side in modules with its quiet zone on both sides.
int modulesWithQuietZone(const ShownModules& modules) {
    return modules.size + 2 * kQuietZoneModules;
}

}  // namespace

double largestPrintSideMm(const QPrinter& printer, const ShownModules& modules) {
    if (modules.size == 0) return 0;
    const QRectF area = printer.pageRect(QPrinter::Millimeter);
    return std::min(area.width(), area.height()) * modules.size / modulesWithQuietZone(modules);
}

double printSymbol(QPrinter& printer, const ShownModules& modules, double sideMm) {
    if (modules.size == 0) return 0;
    const double side = std::clamp(sideMm, kMinPrintSideMm, std::max(kMinPrintSideMm, largestPrintSideMm(printer, modules)));
    QPainter painter;
    if (!painter.begin(&printer)) return 0;
    // Device pixels per millimetre; the painter's origin is the printable area's top left.
    const double scale = printer.resolution() / kMmPerInch;
    const QRectF area = printer.pageRect(QPrinter::DevicePixel);
    const double module = side * scale / modules.size;
    const QPointF origin((area.width() - side * scale) / 2, (area.height() - side * scale) / 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    forEachDarkRun(modules.matrix.data(), modules.size, modules.size, [&](int row, int start, int length) {
        painter.drawRect(QRectF(origin.x() + start * module, origin.y() + row * module, length * module, module));
    });
    painter.end();
    return side;
}

void previewSymbolPrint(QWidget* parent, const ShownModules& modules, double& sideMm,
                        const std::function<void(QPrintPreviewDialog&)>& show) {
    const SymbolTexts& texts = currentSymbolTexts();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(QStringLiteral("Velmora"));
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setWindowTitle(QStringLiteral("Velmora"));

    auto* sizeRow = new QWidget(&dialog);
    auto* label = new QLabel(texts.printsize, sizeRow);
    auto* side = new QDoubleSpinBox(sizeRow);
    side->setObjectName(QStringLiteral("PrintSide"));
    side->setDecimals(1);
    side->setSuffix(QStringLiteral(" mm"));
    side->setRange(kMinPrintSideMm, 1000);
    side->setValue(sideMm);
    side->setKeyboardTracking(false);
    side->setToolTip(texts.printsizehint);
    label->setToolTip(texts.printsizehint);
    label->setBuddy(side);
    auto* rowLayout = new QHBoxLayout(sizeRow);
    rowLayout->setContentsMargins(8, 4, 8, 0);
    rowLayout->addWidget(label);
    rowLayout->addWidget(side);
    rowLayout->addStretch(1);
    // The preview dialog lays out its tool bar over its pages; the size goes above both.
    if (auto* layout = qobject_cast<QBoxLayout*>(dialog.layout())) layout->insertWidget(0, sizeRow);

    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog, [&modules, side](QPrinter* target) {
        // The box never offers more than the page holds, so that what is printed is what it says.
        const double largest = largestPrintSideMm(*target, modules);
        if (largest >= kMinPrintSideMm) {
            const QSignalBlocker quiet(side);
            side->setMaximum(largest);
        }
        printSymbol(*target, modules, side->value());
    });
    QObject::connect(side, &QDoubleSpinBox::valueChanged, &dialog, [&dialog, &sideMm](double value) {
        sideMm = value;
        if (auto* preview = dialog.findChild<QPrintPreviewWidget*>()) preview->updatePreview();
    });
    show(dialog);
    sideMm = side->value();
}

}  // namespace velmora
