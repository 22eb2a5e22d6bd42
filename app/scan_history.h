// The scan history: every symbol read, kept in history.sqlite in the application directory
// through Qt SQL's SQLite driver. Other programs and scripts may read the file, so its table
// keeps these names:
//
//   scans(id INTEGER PRIMARY KEY, time TEXT NOT NULL, source TEXT NOT NULL, path TEXT,
//         text TEXT NOT NULL, bytes BLOB NOT NULL, kind TEXT NOT NULL, version INTEGER, level TEXT)
//
// The database runs in WAL mode with a busy timeout, so that two running programs both add their
// rows. A database that cannot be opened or written only makes add() return false with a reason;
// the caller's reading goes on.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <vector>

namespace velmora {

// Where a symbol was read from: the command that read it.
enum class ScanSource { File, Drop, Paste, Args, Screen, Area, Camera };

// "file", "drop", "paste", "args", "screen", "area", "camera": the source column's words.
const char* scanSourceName(ScanSource source);

// One row of scans.
struct ScanRecord {
    qint64 id = 0;       // given by the database
    QString time;        // ISO 8601 UTC, 2026-12-11T10:15:30Z
    QString source;      // a scanSourceName
    QString path;        // the picture file, or empty (NULL) when there was none of the user's
    QString text;        // as shown
    QByteArray bytes;    // as the symbol holds them
    QString kind;        // url | wifi | contact | event | text
    int version = 0;     // 1..40; 0 (NULL) when unknown
    QString level;       // L, M, Q or H; empty (NULL) when unknown
};

// The time column's form of now.
QString scanTimeNow();

class ScanHistory : public QObject {
    Q_OBJECT

public:
    // The history in the SQLite file at path; nothing is opened before the first use.
    explicit ScanHistory(QString path, QObject* parent = nullptr);
    ~ScanHistory() override;

    const QString& path() const { return path_; }

    // Adds the rows of one decode together, or none of them. False, with error(), when the
    // database cannot be opened or written.
    bool add(const std::vector<ScanRecord>& records);
    // The rows newest first; with a filter only those whose text, path, source or kind contain
    // it (ASCII letters in any case). False, with error(), when the database cannot be read.
    bool entries(const QString& filter, std::vector<ScanRecord>& rows);
    // Deletes the rows of these ids, together.
    bool remove(const std::vector<qint64>& ids);
    // Deletes every row.
    bool clear();

    // Why the last call failed: the file and the database's reason.
    const QString& error() const { return error_; }

signals:
    // Rows were added or deleted through this object.
    void changed();

private:
    // Opens the file, creating it and the table when missing; true when it is ready.
    bool open();
    bool fail(const QString& reason);
    // Runs statements inside one write transaction; rolls back when one fails.
    template <typename Work>
    bool writeTransaction(Work&& work);

    QString path_;
    QString connection_;  // the Qt SQL connection name, one per object
    bool opened_ = false;
    QString error_;
};

// The rows as CSV (RFC 4180): a header line with the column names, CR LF line ends, fields that
// hold a comma, a quote or a line break in quotes with inner quotes doubled; bytes as hexadecimal.
QByteArray scansAsCsv(const std::vector<ScanRecord>& rows);

}  // namespace velmora
