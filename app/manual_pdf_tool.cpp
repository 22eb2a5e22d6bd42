// Build tool: turns the Markdown manual into the PDF that the program carries as its help
// document. Usage: velmora_manual_pdf MANUAL.md OUTPUT.pdf (run with QT_QPA_PLATFORM=offscreen).
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: velmora_manual_pdf MANUAL.md OUTPUT.pdf\n");
        return 2;
    }
    QFile source(QString::fromLocal8Bit(argv[1]));
    if (!source.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], qPrintable(source.errorString()));
        return 1;
    }

    QTextDocument manual;
    QFont body(QStringLiteral("DejaVu Sans"));
    body.setPointSizeF(10.5);
    manual.setDefaultFont(body);
    manual.setDefaultStyleSheet(QStringLiteral("code { font-family: 'DejaVu Sans Mono'; }"));
    manual.setMarkdown(QString::fromUtf8(source.readAll()));

    // Written to a temporary name first so that an interrupted build leaves no half document.
    const QString output = QString::fromLocal8Bit(argv[2]);
    const QString partial = output + QStringLiteral(".part");
    {
        QPdfWriter writer(partial);
        writer.setTitle(QStringLiteral("Velmora manual"));
        writer.setCreator(QStringLiteral("Velmora"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 18, 20, 18),
                                         QPageLayout::Millimeter));
        writer.setResolution(300);
        manual.print(&writer);
    }
    QFile::remove(output);
    if (!QFile::rename(partial, output)) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
