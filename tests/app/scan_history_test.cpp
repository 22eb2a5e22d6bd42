// The scan history: every reading command adds one row per symbol to history.sqlite with its
// source, the text as shown, the bytes as held, the kind the action row found, version and level;
// a database that cannot be written never stops a read. The History window lists, searches,
// deletes, clears after a question and exports CSV. The database is read back here with its own
// Qt SQL connection, as another program would.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTest>
#include <QUrl>
#include <memory>
#include <opencv2/imgcodecs.hpp>

#include "app/history_window.h"
#include "app/main_window.h"
#include "app/read_actions.h"
#include "app/scan_history.h"
#include "app_test_support.h"
#include "decode_test_support.h"

using velmora::HistoryWindow;
using velmora::ScanSource;
using velmora::TForm1;
using velmora::test::fileBytes;
using velmora::test::ScratchHome;
using velmora::test::symbolPicture;

namespace {

// A row as another program reads it.
struct Row {
    QString source, path, text, kind, level;
    QByteArray bytes;
    QVariant version;
    bool pathIsNull = false;
};

// The rows of scans in the order they were added, read through a connection of the test's own.
std::vector<Row> readRows(const QString& file) {
    std::vector<Row> rows;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("reader"));
        database.setDatabaseName(file);
        if (database.open()) {
            QSqlQuery query(QStringLiteral("SELECT source, path, text, kind, level, bytes, version FROM scans ORDER BY id"),
                            database);
            while (query.next())
                rows.push_back({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                                query.value(3).toString(), query.value(4).toString(), query.value(5).toByteArray(),
                                query.value(6), query.isNull(1)});
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("reader"));
    return rows;
}

// The answer of one statement, through the test's own connection.
QString ask(const QString& file, const QString& statement) {
    QString answer;
    {
        QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("asker"));
        database.setDatabaseName(file);
        if (database.open()) {
            QSqlQuery query(statement, database);
            QStringList values;
            while (query.next()) values << query.value(0).toString() + QLatin1Char('|') + query.value(1).toString();
            answer = values.join(QLatin1Char(','));
        }
        database.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("asker"));
    return answer;
}

// Presses a button of the next message box (its escape button when none is named).
void answerNextQuestion(QMessageBox::StandardButton answer) {
    QTimer::singleShot(50, [answer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr) box->button(answer)->click();
    });
}

}  // namespace

class HistoryKeepsEveryRead : public QObject {
    Q_OBJECT

    std::unique_ptr<ScratchHome> home_;

    QString database() const { return home_->file("history.sqlite"); }
    // A picture of a Wi-Fi network beside a link.
    QString twoSymbols() const {
        const QString path = home_->file("two.png");
        velmora::test::sideBySide({symbolPicture("WIFI:T:WPA;S:Home;P:secret12;;", 1), symbolPicture("https://example.org/a", 1)})
            .save(path);
        return path;
    }

private slots:
    void init() { home_ = std::make_unique<ScratchHome>(); }
    void cleanup() { home_.reset(); }

    void fileCommandsKeepTheirSourcePathAndEverySymbol() {
        const QString two = twoSymbols();
        const QString absolute = QFileInfo(two).absoluteFilePath();
        struct Case {
            const char* source;
            std::function<void(TForm1&)> read;
        };
        const std::vector<Case> cases = {
            {"file", [&](TForm1& window) { window.DecodeFile(two); }},
            {"drop", [&](TForm1& window) { window.decodeFiles({two}, ScanSource::Drop); }},
            {"args", [&](TForm1& window) { window.decodeFiles({two}, ScanSource::Args); }},
            {"paste", [&](TForm1& window) {
                 auto* data = new QMimeData;
                 data->setUrls({QUrl::fromLocalFile(two)});
                 QApplication::clipboard()->setMimeData(data);
                 window.pasteClipboardPicture();
             }},
        };
        TForm1 window;
        for (const Case& c : cases) {
            const std::size_t before = readRows(database()).size();
            c.read(window);
            QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
            const std::vector<Row> rows = readRows(database());
            QCOMPARE(rows.size(), before + 2);
            std::vector<Row> added(rows.begin() + static_cast<std::ptrdiff_t>(before), rows.end());
            std::sort(added.begin(), added.end(), [](const Row& a, const Row& b) { return a.kind < b.kind; });
            QCOMPARE(added[0].kind, QStringLiteral("url"));
            QCOMPARE(added[0].text, QStringLiteral("https://example.org/a"));
            QCOMPARE(added[1].kind, QStringLiteral("wifi"));
            QCOMPARE(added[1].text, QStringLiteral("WIFI:T:WPA;S:Home;P:secret12;;"));
            for (const Row& row : added) {
                QCOMPARE(row.source, QString::fromLatin1(c.source));
                QCOMPARE(row.path, absolute);
                QCOMPARE(row.bytes, row.text.toUtf8());
                QCOMPARE(row.level, QStringLiteral("M"));
                QVERIFY(row.version.toInt() >= 1);
            }
        }
        // log.txt keeps its lines as ever, one per symbol.
        QCOMPARE(fileBytes(home_->file("log.txt")).count("\r\n"), 8);
    }

    // Captures and camera frames are no file of the user's: the path stays NULL.
    void capturesAndCameraFramesNameNoFile() {
        TForm1 window;
        QApplication::clipboard()->setImage(symbolPicture("pasted picture"));
        window.pasteClipboardPicture();
        cv::Mat frame = cv::imread(twoSymbols().toStdString(), cv::IMREAD_COLOR);
        QCOMPARE(window.DecodeCameraFrame(frame), 2);
        const std::vector<Row> rows = readRows(database());
        QCOMPARE(rows.size(), std::size_t(3));
        QCOMPARE(rows[0].source, QStringLiteral("paste"));
        QCOMPARE(rows[0].text, QStringLiteral("pasted picture"));
        QCOMPARE(rows[0].kind, QStringLiteral("text"));
        for (const Row& row : rows) QVERIFY(row.pathIsNull);
        QCOMPARE(rows[1].source, QStringLiteral("camera"));
        QCOMPARE(rows[2].source, QStringLiteral("camera"));
    }

    // The text column holds what the window shows, the bytes column what the symbol holds.
    void bytesStayAsHeldTextAsShown() {
        TForm1 window;
        QVERIFY(symbolPicture(QByteArray("caf\xe9 cr\xe8me")).save(home_->file("latin.png")));
        QCOMPARE(window.DecodeFile(home_->file("latin.png")), 1);
        const std::vector<Row> rows = readRows(database());
        QCOMPARE(rows.size(), std::size_t(1));
        QCOMPARE(rows[0].bytes, QByteArray("caf\xe9 cr\xe8me"));
        QCOMPARE(rows[0].text, QString::fromUtf8("café crème"));
    }

    // Other programs rely on these names, and two programs on WAL.
    void theFileHasTheSchemaAndWal() {
        TForm1 window;
        QVERIFY(symbolPicture("x").save(home_->file("x.png")));
        QCOMPARE(window.DecodeFile(home_->file("x.png")), 1);
        QCOMPARE(ask(database(), QStringLiteral("SELECT name, type FROM pragma_table_info('scans') ORDER BY cid")),
                 QStringLiteral("id|INTEGER,time|TEXT,source|TEXT,path|TEXT,text|TEXT,bytes|BLOB,kind|TEXT,"
                                "version|INTEGER,level|TEXT"));
        QCOMPARE(ask(database(), QStringLiteral("PRAGMA journal_mode")), QStringLiteral("wal|"));
        const QString time = ask(database(), QStringLiteral("SELECT time FROM scans")).chopped(1);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ$")).match(time).hasMatch(),
                 qPrintable(time));
        QVERIFY(qAbs(QDateTime::fromString(time, Qt::ISODate).secsTo(QDateTime::currentDateTimeUtc())) < 60);
    }

    // A history that cannot be written (a folder in its place, a file that is no database)
    // costs only the history: the read is reported, log.txt written, the
    // status note says so once, and the file is left as it was.
    void aBrokenDatabaseNeverStopsReading() {
        struct Case {
            const char* name;
            std::function<void(const QString&)> spoil;
        };
        const std::vector<Case> cases = {
            {"a folder", [](const QString& path) { QDir().mkpath(path); }},
            {"no database",
             [](const QString& path) {
                 QFile file(path);
                 QVERIFY(file.open(QIODevice::WriteOnly));
                 file.write(QByteArray(4096, 'x'));
             }},
        };
        for (const Case& c : cases) {
            home_.reset();  // first, or its end would unset the new one's VELMORA_HOME
            home_ = std::make_unique<ScratchHome>();
            QVERIFY(symbolPicture("still read").save(home_->file("x.png")));
            c.spoil(database());
            const QByteArray before = QFileInfo(database()).isFile() ? fileBytes(database()) : QByteArray();
            TForm1 window;
            QCOMPARE(window.DecodeFile(home_->file("x.png")), 1);
            QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
            QVERIFY2(window.statusNote().startsWith(QStringLiteral("History not kept: ")),
                     qPrintable(QString::fromLatin1(c.name) + ": " + window.statusNote()));
            QVERIFY2(window.statusNote().contains(QDir::toNativeSeparators(database())), qPrintable(window.statusNote()));
            // Said once: the next command's read goes on without the note.
            window.decodeFiles({home_->file("x.png")}, ScanSource::Drop);
            QCOMPARE(window.statusText(), QStringLiteral("Decoded"));
            QCOMPARE(window.statusNote(), QString());
            QCOMPARE(fileBytes(home_->file("log.txt")), QByteArray("still read\r\nstill read\r\n"));
            if (QFileInfo(database()).isFile()) QCOMPARE(fileBytes(database()), before);
        }
    }

    void theWindowListsSearchesDeletesAndClears() {
        TForm1 window;
        const QByteArrayList texts = {"first plain text", "https://example.org/50%_off", "WIFI:S:Cafe;T:nopass;;",
                                      "last, with \"quotes\"\r\nand a line"};
        for (const QByteArray& text : texts) {
            QVERIFY(symbolPicture(text, 1).save(home_->file("one.png")));
            QCOMPARE(window.DecodeFile(home_->file("one.png")), 1);
        }
        window.findChild<QAction*>(QStringLiteral("N_History"))->trigger();
        QCOMPARE(window.findChild<QAction*>(QStringLiteral("N_History"))->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
        auto* history = window.findChild<HistoryWindow*>();
        QVERIFY(history != nullptr && history->isVisible());
        auto* list = history->findChild<QTableWidget*>(QStringLiteral("HistoryList"));
        QCOMPARE(list->rowCount(), 4);
        // Newest first, with time, source, kind and the start of the text on one line.
        QCOMPARE(list->item(0, 3)->text(), QStringLiteral("last, with \"quotes\" and a line"));
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("File"));
        QCOMPARE(list->item(1, 2)->text(), QStringLiteral("Wi-Fi"));
        QCOMPARE(list->item(3, 3)->text(), QStringLiteral("first plain text"));

        // A new read appears at once.
        QVERIFY(symbolPicture("read while open", 1).save(home_->file("one.png")));
        QCOMPARE(window.DecodeFile(home_->file("one.png")), 1);
        QCOMPARE(list->rowCount(), 5);
        QCOMPARE(list->item(0, 3)->text(), QStringLiteral("read while open"));

        // The search takes % and _ as they are.
        auto* search = history->findChild<QLineEdit*>(QStringLiteral("SearchBox"));
        const std::vector<std::pair<QString, int>> searches = {
            {"50%_", 1}, {"%", 1}, {"_", 1}, {"TEXT", 3}, {"wifi", 1}, {"nothing like it", 0}, {"", 5}};
        for (const auto& [term, count] : searches) {
            search->setText(term);
            QVERIFY2(list->rowCount() == count, qPrintable(term));
        }

        // The selected entry gets the action row, Connect for a network.
        list->selectRow(2);
        auto* actions = history->findChild<velmora::ReadActions*>();
        QVERIFY(actions->isVisible());
        QVERIFY(actions->findChild<QPushButton*>(QStringLiteral("ConnectButton")) != nullptr);
        QTest::mouseClick(actions->findChild<QPushButton*>(QStringLiteral("CopyButton")), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("WIFI:S:Cafe;T:nopass;;"));

        // Delete removes exactly the selected entries.
        list->clearSelection();
        list->selectionModel()->select(list->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        list->selectionModel()->select(list->model()->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        history->findChild<QPushButton*>(QStringLiteral("DeleteButton"))->click();
        QStringList left;
        for (const Row& row : readRows(database())) left << row.text;
        QCOMPARE(left, (QStringList{"first plain text", "https://example.org/50%_off", "WIFI:S:Cafe;T:nopass;;"}));
        QCOMPARE(list->rowCount(), 3);

        // Clear all asks first: No keeps everything, Yes empties the history.
        answerNextQuestion(QMessageBox::No);
        history->clearAll();
        QCOMPARE(readRows(database()).size(), std::size_t(3));
        answerNextQuestion(QMessageBox::Yes);
        history->clearAll();
        QCOMPARE(readRows(database()).size(), std::size_t(0));
        QCOMPARE(list->rowCount(), 0);
    }

    // The CSV quotes what needs it, doubles inner quotes and keeps line breaks inside a field;
    // a spreadsheet or a CSV reader gets each text back whole.
    void exportQuotesWhatNeedsIt() {
        TForm1 window;
        const QByteArrayList texts = {"plain", "a,b", "say \"hi\"", "two\r\nlines"};
        for (const QByteArray& text : texts) {
            QVERIFY(symbolPicture(text, 1).save(home_->file("one.png")));
            QCOMPARE(window.DecodeFile(home_->file("one.png")), 1);
        }
        window.N_HistoryClick();
        auto* history = window.findChild<HistoryWindow*>();
        QString suggested;
        history->setSaveNameChooser([&](const QString& name) {
            suggested = name;
            return home_->file("export");
        });
        history->exportCsv();
        QVERIFY(suggested.endsWith(QStringLiteral("velmora-history.csv")));
        const QByteArray csv = fileBytes(home_->file("export.csv"));
        const QList<QByteArray> lines = csv.split('\n');
        QCOMPARE(lines.first(), QByteArray("id,time,source,path,text,bytes,kind,version,level\r"));
        const QByteArray path = QFileInfo(home_->file("one.png")).absoluteFilePath().toUtf8();
        const std::vector<std::pair<QByteArray, QByteArray>> fields = {
            {"two\r\nlines", "\"two\r\nlines\""}, {"say \"hi\"", "\"say \"\"hi\"\"\""}, {"a,b", "\"a,b\""}, {"plain", "plain"}};
        int id = 4;
        QByteArray expected = "id,time,source,path,text,bytes,kind,version,level\r\n";
        for (const auto& [text, quoted] : fields) {
            const std::vector<velmora::ScanRecord>& rows = history->listed();
            const velmora::ScanRecord& row = rows[static_cast<std::size_t>(4 - id)];
            expected += QByteArray::number(id--) + ',' + row.time.toUtf8() + ",file," + path + ',' + quoted + ',' +
                        text.toHex() + ",text," + QByteArray::number(row.version) + ",M\r\n";
        }
        QCOMPARE(csv, expected);
    }
};

int main(int argc, char** argv) {
    using namespace velmora::test;
    return runTests(argc, argv, {suite<HistoryKeepsEveryRead>()});
}

#include "scan_history_test.moc"
