// Tools ▸ History: the symbols read so far, newest first, with their time, source, kind and the
// start of their text; a search box; the action row for the selected entry; delete the selected
// entries, clear all after a question, export what is listed as CSV.
#pragma once

#include <QWidget>
#include <functional>
#include <vector>

#include "app/scan_history.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace velmora {

class FolderMemory;
class ReadActions;

class HistoryWindow : public QWidget {
    Q_OBJECT

public:
    // Asks for the name of the CSV file to write, suggesting one; empty when cancelled.
    using SaveNameChooser = std::function<QString(const QString&)>;

    // A window of its own over parent, showing history; the save dialogs of the action row
    // remember their folders in folders.
    HistoryWindow(ScanHistory& history, const FolderMemory* folders, QWidget* parent);

    // Reads the entries again (keeping the search) and shows them.
    void refresh();
    // Shows the texts in the words of the selected language.
    void applyLanguage();

    // Deletes the selected entries; asks, then deletes every entry; writes the listed entries
    // to a CSV file the user names.
    void deleteSelected();
    void clearAll();
    void exportCsv();

    // Replaces the save dialog of exportCsv (tests).
    void setSaveNameChooser(SaveNameChooser chooser) { chooser_ = std::move(chooser); }

    // The entries listed, newest first.
    const std::vector<ScanRecord>& listed() const { return rows_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void showSelection();
    // A line under the list: what went wrong (red) or what was done.
    void say(const QString& message, bool problem);

    ScanHistory& history_;
    std::vector<ScanRecord> rows_;
    SaveNameChooser chooser_;
    QLineEdit* search_;
    QTableWidget* table_;
    ReadActions* actions_;
    QLabel* message_;
    QPushButton* delete_;
    QPushButton* clear_;
    QPushButton* export_;
};

}  // namespace velmora
