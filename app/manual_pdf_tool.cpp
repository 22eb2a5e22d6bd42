// Build tool: turns the Markdown manual into the PDF that the program carries as its help
// document. Usage: velmora_manual_pdf MANUAL.md OUTPUT.pdf (run with QT_QPA_PLATFORM=offscreen).
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <cstdio>
#include <vector>

namespace {

// Markdown code comes out in the desktop's generic fixed font, which is wider than the body text
// and breaks the report and command examples across lines; a condensed size keeps them whole.
void setCodeFont(QTextDocument& document) {
    struct Span {
        int position, length;
        bool block;
    };
    std::vector<Span> code;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const bool codeBlock = block.blockFormat().hasProperty(QTextFormat::BlockCodeLanguage) ||
                               block.blockFormat().hasProperty(QTextFormat::BlockCodeFence);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (codeBlock || fragment.charFormat().fontFixedPitch())
                code.push_back({fragment.position(), fragment.length(), codeBlock});
        }
    }
    for (const Span& span : code) {
        QTextCharFormat format;
        format.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
        format.setFontPointSize(span.block ? 9.5 : 10);
        QTextCursor cursor(&document);
        cursor.setPosition(span.position);
        cursor.setPosition(span.position + span.length, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(format);
    }
}

}  // namespace

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
    manual.setMarkdown(QString::fromUtf8(source.readAll()));
    setCodeFont(manual);

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
