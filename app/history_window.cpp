#include "app/history_window.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVBoxLayout>
#include <set>

#include "app/language.h"
#include "app/read_actions.h"
#include "codecs/whole_file.h"

namespace velmora {
namespace {

enum Column { TimeColumn, SourceColumn, KindColumn, TextColumn, ColumnCount };

// The start of a text, on one line.
QString textStart(const QString& text) {
    QString line = text.simplified();
    if (line.size() > 100) line = line.left(99) + QChar(0x2026);
    return line;
}

// The time column in this computer's time zone, to the second.
QString localTime(const QString& utc) {
    const QDateTime time = QDateTime::fromString(utc, Qt::ISODate);
    return time.isValid() ? time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : utc;
}

QString sourceWord(const QString& source) {
    const HistoryTexts& texts = currentHistoryTexts();
    const std::pair<const char*, QString> words[] = {{"file", texts.file},     {"drop", texts.drop},
                                                     {"paste", texts.paste},   {"args", texts.args},
                                                     {"screen", texts.screen}, {"area", texts.area},
                                                     {"camera", texts.camera}};
    for (const auto& [name, word] : words)
        if (source == QLatin1String(name)) return word;
    return source;
}

QString kindWord(const QString& kind) {
    const HistoryTexts& texts = currentHistoryTexts();
    const std::pair<const char*, QString> words[] = {{"url", texts.url},         {"wifi", texts.wifi},
                                                     {"contact", texts.contact}, {"event", texts.event},
                                                     {"text", texts.plain}};
    for (const auto& [name, word] : words)
        if (kind == QLatin1String(name)) return word;
    return kind;
}

QPushButton* makeButton(QWidget* parent, const char* name) {
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setAutoDefault(false);
    return button;
}

}  // namespace

HistoryWindow::HistoryWindow(ScanHistory& history, const FolderMemory* folders, QWidget* parent)
    : QWidget(parent, Qt::Window),
      history_(history),
      chooser_([this](const QString& suggested) {
          return QFileDialog::getSaveFileName(this, QString(), suggested,
                                              currentHistoryTexts().csvfiles + QStringLiteral(" (*.csv)"));
      }),
      search_(new QLineEdit(this)),
      table_(new QTableWidget(0, ColumnCount, this)),
      actions_(new ReadActions(this)),
      message_(new QLabel(this)),
      delete_(makeButton(this, "DeleteButton")),
      clear_(makeButton(this, "ClearButton")),
      export_(makeButton(this, "ExportButton")) {
    setObjectName(QStringLiteral("HistoryWindow"));
    resize(720, 480);
    search_->setObjectName(QStringLiteral("SearchBox"));
    search_->setClearButtonEnabled(true);
    table_->setObjectName(QStringLiteral("HistoryList"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(TextColumn, QHeaderView::Stretch);
    actions_->setFolderMemory(folders);
    message_->setObjectName(QStringLiteral("HistoryMessage"));
    message_->setTextFormat(Qt::PlainText);
    message_->setWordWrap(true);
    message_->hide();

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(delete_);
    buttons->addWidget(clear_);
    buttons->addStretch(1);
    buttons->addWidget(export_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(search_);
    layout->addWidget(table_, 1);
    layout->addWidget(actions_);
    layout->addWidget(message_);
    layout->addLayout(buttons);

    auto* deleteKey = new QAction(table_);
    deleteKey->setShortcut(QKeySequence::Delete);
    deleteKey->setShortcutContext(Qt::WidgetShortcut);
    table_->addAction(deleteKey);
    connect(deleteKey, &QAction::triggered, this, &HistoryWindow::deleteSelected);
    connect(search_, &QLineEdit::textChanged, this, &HistoryWindow::refresh);
    connect(table_, &QTableWidget::itemSelectionChanged, this, &HistoryWindow::showSelection);
    connect(delete_, &QPushButton::clicked, this, &HistoryWindow::deleteSelected);
    connect(clear_, &QPushButton::clicked, this, &HistoryWindow::clearAll);
    connect(export_, &QPushButton::clicked, this, &HistoryWindow::exportCsv);
    // Symbols read while the window is open appear at once.
    connect(&history_, &ScanHistory::changed, this, [this] {
        if (isVisible()) refresh();
    });
    applyLanguage();
}

void HistoryWindow::applyLanguage() {
    const HistoryTexts& texts = currentHistoryTexts();
    setWindowTitle(texts.title + QStringLiteral(" - Velmora"));
    search_->setPlaceholderText(texts.search);
    table_->setHorizontalHeaderLabels({texts.coltime, texts.colsource, texts.colkind, texts.coltext});
    delete_->setText(texts.remove);
    clear_->setText(texts.clear);
    export_->setText(texts.exportcsv);
    actions_->applyLanguage();
    refresh();
}

void HistoryWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // Another program may have added rows since the list was read.
    refresh();
}

void HistoryWindow::refresh() {
    std::set<qint64> selected;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        selected.insert(rows_[static_cast<std::size_t>(index.row())].id);
    const bool read = history_.entries(search_->text(), rows_);
    if (read)
        message_->hide();
    else
        say(currentHistoryTexts().unreadable.arg(history_.error()), true);

    const QSignalBlocker quiet(table_);
    table_->clearSelection();
    table_->setRowCount(static_cast<int>(rows_.size()));
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const ScanRecord& row = rows_[static_cast<std::size_t>(r)];
        const QString cells[ColumnCount] = {localTime(row.time), sourceWord(row.source), kindWord(row.kind),
                                            textStart(row.text)};
        for (int c = 0; c < ColumnCount; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == TextColumn || (c == SourceColumn && !row.path.isEmpty()))
                item->setToolTip(c == TextColumn ? textStart(row.text.left(400)) : QDir::toNativeSeparators(row.path));
            table_->setItem(r, c, item);
        }
    }
    // The entries selected before stay selected.
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
        if (selected.count(rows_[static_cast<std::size_t>(r)].id) != 0)
            table_->selectionModel()->select(table_->model()->index(r, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    showSelection();
}

void HistoryWindow::showSelection() {
    const QModelIndexList selected = table_->selectionModel()->selectedRows();
    delete_->setEnabled(!selected.isEmpty());
    clear_->setEnabled(!rows_.empty() || !search_->text().isEmpty());
    export_->setEnabled(!rows_.empty());
    // The actions are those of the entry last clicked, as in the main window after one symbol.
    const QModelIndex current = table_->currentIndex();
    if (selected.isEmpty() || !current.isValid() || !table_->selectionModel()->isRowSelected(current.row())) {
        actions_->showTexts({});
        return;
    }
    actions_->showTexts({rows_[static_cast<std::size_t>(current.row())].text.toStdString()});
}

void HistoryWindow::say(const QString& message, bool problem) {
    message_->setStyleSheet(problem ? QStringLiteral("color: #c00000;") : QString());
    message_->setText(message);
    message_->show();
}

void HistoryWindow::deleteSelected() {
    std::vector<qint64> ids;
    for (const QModelIndex& index : table_->selectionModel()->selectedRows())
        ids.push_back(rows_[static_cast<std::size_t>(index.row())].id);
    if (ids.empty()) return;
    if (!history_.remove(ids)) {
        say(currentHistoryTexts().unreadable.arg(history_.error()), true);
        return;
    }
    table_->clearSelection();
    refresh();
}

void HistoryWindow::clearAll() {
    std::vector<ScanRecord> all;
    if (!history_.entries(QString(), all)) {
        say(currentHistoryTexts().unreadable.arg(history_.error()), true);
        return;
    }
    if (all.empty()) return;
    QMessageBox question(QMessageBox::Question, windowTitle(),
                         currentHistoryTexts().clearquestion.arg(static_cast<qlonglong>(all.size())),
                         QMessageBox::Yes | QMessageBox::No, this);
    question.setDefaultButton(QMessageBox::No);
    question.setEscapeButton(QMessageBox::No);
    if (question.exec() != QMessageBox::Yes) return;
    if (!history_.clear()) say(currentHistoryTexts().unreadable.arg(history_.error()), true);
    refresh();
}

void HistoryWindow::exportCsv() {
    if (rows_.empty()) return;
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir()) folder = QDir::homePath();
    QString path = chooser_(QDir(folder).filePath(QStringLiteral("velmora-history.csv")));
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".csv");
    const QByteArray csv = scansAsCsv(rows_);
    const std::string file = QFile::encodeName(path).toStdString();
    std::string error;
    if (!writeFileWhole(file, csv.constData(), static_cast<std::size_t>(csv.size()), error)) {
        if (error.starts_with(file + ": ")) error.erase(0, file.size() + 2);
        say(currentActionTexts().notsaved.arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(error.c_str())), true);
        return;
    }
    say(currentHistoryTexts().exported.arg(static_cast<qlonglong>(rows_.size())).arg(QDir::toNativeSeparators(path)),
        false);
}

}  // namespace velmora
