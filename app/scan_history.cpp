#include "app/scan_history.h"

#include <QDateTime>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <atomic>

namespace velmora {
namespace {

// How long a write waits for another program's write to end before it gives up.
constexpr int kBusyTimeoutMs = 10000;

const char* const kCreateTable =
    "CREATE TABLE IF NOT EXISTS scans("
    "id INTEGER PRIMARY KEY, time TEXT NOT NULL, source TEXT NOT NULL, path TEXT, text TEXT NOT NULL, "
    "bytes BLOB NOT NULL, kind TEXT NOT NULL, version INTEGER, level TEXT)";

// A distinct Qt SQL connection name for every history object of the process.
QString newConnectionName() {
    static std::atomic<int> next{0};
    return QStringLiteral("velmora-history-%1").arg(next++);
}

// NULL for an empty optional column; a NOT NULL column gets an empty value instead.
QVariant nullable(const QString& value) {
    return value.isEmpty() ? QVariant() : QVariant(value);
}
QVariant notNull(const QString& value) {
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

// The filter as a LIKE pattern that matches it anywhere, its own % _ and \ taken literally.
QString likePattern(const QString& filter) {
    QString escaped;
    for (const QChar c : filter) {
        if (c == QLatin1Char('%') || c == QLatin1Char('_') || c == QLatin1Char('\\')) escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

QByteArray csvField(const QByteArray& field) {
    if (!field.contains(',') && !field.contains('"') && !field.contains('\n') && !field.contains('\r'))
        return field;
    QByteArray quoted = field;
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

}  // namespace

const char* scanSourceName(ScanSource source) {
    switch (source) {
    case ScanSource::File: return "file";
    case ScanSource::Drop: return "drop";
    case ScanSource::Paste: return "paste";
    case ScanSource::Args: return "args";
    case ScanSource::Screen: return "screen";
    case ScanSource::Area: return "area";
    case ScanSource::Camera: return "camera";
    }
    return "file";
}

QString scanTimeNow() {
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
}

ScanHistory::ScanHistory(QString path, QObject* parent)
    : QObject(parent), path_(std::move(path)), connection_(newConnectionName()) {}

ScanHistory::~ScanHistory() {
    if (!QSqlDatabase::contains(connection_)) return;
    {
        QSqlDatabase database = QSqlDatabase::database(connection_, false);
        database.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool ScanHistory::fail(const QString& reason) {
    error_ = QDir::toNativeSeparators(path_) + QStringLiteral(": ") + reason;
    return false;
}

bool ScanHistory::open() {
    if (opened_) return true;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return fail(QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed"));
    QSqlDatabase database = QSqlDatabase::contains(connection_)
                                ? QSqlDatabase::database(connection_, false)
                                : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    database.setDatabaseName(path_);
    database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    if (!database.open()) return fail(database.lastError().text());
    QSqlQuery query(database);
    // WAL lets one program read while the other writes; a file system without it keeps the
    // rollback journal, which the busy timeout copes with too.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.exec(QString::fromLatin1(kCreateTable))) {
        const QString reason = query.lastError().text();
        database.close();
        return fail(reason);
    }
    opened_ = true;
    return true;
}

template <typename Work>
bool ScanHistory::writeTransaction(Work&& work) {
    if (!open()) return false;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    // IMMEDIATE takes the write lock at once, so that a busy database is waited for here, under
    // the timeout, and never fails half-way through the work.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) return fail(query.lastError().text());
    if (!work(query) || !query.exec(QStringLiteral("COMMIT"))) {
        const QString reason = query.lastError().text();
        query.exec(QStringLiteral("ROLLBACK"));
        return fail(reason);
    }
    emit changed();
    return true;
}

bool ScanHistory::add(const std::vector<ScanRecord>& records) {
    if (records.empty()) return true;
    return writeTransaction([&records](QSqlQuery& query) {
        if (!query.prepare(QStringLiteral("INSERT INTO scans(time, source, path, text, bytes, kind, version, level) "
                                          "VALUES (?, ?, ?, ?, ?, ?, ?, ?)")))
            return false;
        for (const ScanRecord& record : records) {
            query.addBindValue(notNull(record.time));
            query.addBindValue(notNull(record.source));
            query.addBindValue(nullable(record.path));
            query.addBindValue(notNull(record.text));
            query.addBindValue(record.bytes.isNull() ? QByteArray("") : record.bytes);
            query.addBindValue(notNull(record.kind));
            query.addBindValue(record.version > 0 ? QVariant(record.version) : QVariant());
            query.addBindValue(nullable(record.level));
            if (!query.exec()) return false;
        }
        return true;
    });
}

bool ScanHistory::entries(const QString& filter, std::vector<ScanRecord>& rows) {
    rows.clear();
    if (!open()) return false;
    QSqlQuery query(QSqlDatabase::database(connection_, false));
    query.setForwardOnly(true);
    QString sql = QStringLiteral("SELECT id, time, source, path, text, bytes, kind, version, level FROM scans");
    if (!filter.isEmpty())
        sql += QStringLiteral(" WHERE text LIKE ? ESCAPE '\\' OR path LIKE ? ESCAPE '\\' OR source LIKE ? ESCAPE '\\'"
                              " OR kind LIKE ? ESCAPE '\\'");
    sql += QStringLiteral(" ORDER BY time DESC, id DESC");
    if (!query.prepare(sql)) return fail(query.lastError().text());
    if (!filter.isEmpty())
        for (int column = 0; column < 4; ++column) query.addBindValue(likePattern(filter));
    if (!query.exec()) return fail(query.lastError().text());
    while (query.next()) {
        ScanRecord row;
        row.id = query.value(0).toLongLong();
        row.time = query.value(1).toString();
        row.source = query.value(2).toString();
        row.path = query.value(3).toString();
        row.text = query.value(4).toString();
        row.bytes = query.value(5).toByteArray();
        row.kind = query.value(6).toString();
        row.version = query.value(7).toInt();
        row.level = query.value(8).toString();
        rows.push_back(std::move(row));
    }
    if (query.lastError().isValid()) return fail(query.lastError().text());
    return true;
}

bool ScanHistory::remove(const std::vector<qint64>& ids) {
    if (ids.empty()) return true;
    return writeTransaction([&ids](QSqlQuery& query) {
        if (!query.prepare(QStringLiteral("DELETE FROM scans WHERE id = ?"))) return false;
        for (const qint64 id : ids) {
            query.addBindValue(id);
            if (!query.exec()) return false;
        }
        return true;
    });
}

bool ScanHistory::clear() {
    return writeTransaction([](QSqlQuery& query) { return query.exec(QStringLiteral("DELETE FROM scans")); });
}

QByteArray scansAsCsv(const std::vector<ScanRecord>& rows) {
    QByteArray csv = "id,time,source,path,text,bytes,kind,version,level\r\n";
    for (const ScanRecord& row : rows) {
        const QByteArrayList fields = {QByteArray::number(row.id),
                                       row.time.toUtf8(),
                                       row.source.toUtf8(),
                                       row.path.toUtf8(),
                                       row.text.toUtf8(),
                                       row.bytes.toHex(),
                                       row.kind.toUtf8(),
                                       row.version > 0 ? QByteArray::number(row.version) : QByteArray(),
                                       row.level.toUtf8()};
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0) csv += ',';
            csv += csvField(fields[i]);
        }
        csv += "\r\n";
    }
    return csv;
}

}  // namespace velmora
