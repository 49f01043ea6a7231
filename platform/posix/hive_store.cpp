// The SQLite file behind the registry stand-in: opening it, refusing a file
// that is not a settings store, and the statements both halves share.
#include "platform/posix/hive_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/errors.h"
#include "platform/registry.h"

namespace kalvorin::platform {

namespace hive {

std::string normalise(const std::string& path) {
    std::string p = path;
    while (!p.empty() && p.front() == '\\') p.erase(0, 1);
    while (!p.empty() && p.back() == '\\') p.pop_back();
    return p;
}

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void make_dirs(const std::string& dir) {
    std::string acc;
    for (std::size_t i = 0; i <= dir.size(); ++i) {
        if (i == dir.size() || dir[i] == '/') {
            if (!acc.empty()) ::mkdir(acc.c_str(), 0700);
        }
        if (i < dir.size()) acc.push_back(dir[i]);
    }
}

}  // namespace

void fail(sqlite3* db) {
    throw ERegistryError("settings file " + hive_location() + ": " + sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql) {
    if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) fail(db);
}

namespace {

// The store's two tables, each by its definition: the statement that makes
// it, from the table's name on.
struct Table {
    const char* name;
    const char* definition;
};

const std::array<Table, 2>& store_tables() {
    static const std::array<Table, 2> tables{{
        {"keys", "keys(path TEXT PRIMARY KEY COLLATE NOCASE, denied INTEGER NOT NULL DEFAULT 0)"},
        {"vals",
         "vals(key TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL,"
         " data BLOB NOT NULL, PRIMARY KEY(key, name))"},
    }};
    return tables;
}

// A row of the file's schema, its root page aside.
struct SchemaRow {
    std::string type, name, table;
    std::optional<std::string> sql;  // none for the index of a primary key
    bool operator==(const SchemaRow&) const = default;
};

// What making the table leaves in the schema: SQLite keeps the statement from
// the table's name on, behind "CREATE TABLE " (never the "IF NOT EXISTS" that
// every release has made it with), and the index of its primary key, which
// has no statement.
std::array<SchemaRow, 2> rows_of(const Table& t) {
    return {{{"table", t.name, t.name, std::string("CREATE TABLE ") + t.definition},
             {"index", std::string("sqlite_autoindex_") + t.name + "_1", t.name, std::nullopt}}};
}

// The file's schema, in its own order. SQLite reads the whole of it before
// the first statement; a row that it cannot take (a type, name or table at
// odds with its statement, a root page outside the file, an index of no
// table) stops it there, and that too is a schema that is not the store's.
std::vector<SchemaRow> stored_schema(sqlite3* db, const std::string& refused) {
    std::vector<SchemaRow> rows;
    try {
        Stmt s(db, "SELECT type, name, tbl_name, sql, sql IS NULL FROM sqlite_master");
        while (s.step())
            rows.push_back({s.text(0), s.text(1), s.text(2), s.integer(4) ? std::nullopt : std::optional(s.text(3))});
    } catch (const ERegistryError&) {
        const std::string why = sqlite3_errmsg(db);
        if (why.starts_with("malformed database schema"))
            throw ERegistryError(refused + " (its schema cannot be read: " + why + ")");
        throw;
    }
    return rows;
}

// Whether the file holds both of the store's tables. It may hold fewer (the
// first releases made them one statement at a time, and a write adds the one
// missing), but nothing else: the schema's rows are compared byte for byte
// with what making the tables it holds leaves, type, name, table and
// statement. Any other statement is refused, even one that SQLite would take
// for the same (other spaces or letter case): what the store reads and
// writes depends on every word of it (a column's type, collation or default,
// a constraint, a generated column), and a byte comparison cannot miss one.
bool has_store_tables(const std::vector<SchemaRow>& stored, const std::string& refused) {
    std::vector<SchemaRow> expected;
    std::size_t held = 0;
    for (const Table& t : store_tables()) {
        if (std::none_of(stored.begin(), stored.end(), [&](const SchemaRow& r) { return r.table == t.name; })) continue;
        ++held;
        for (const SchemaRow& r : rows_of(t)) expected.push_back(r);
    }
    for (const SchemaRow& row : stored) {
        const auto same = std::find_if(expected.begin(), expected.end(), [&](const SchemaRow& r) {
            return r.type == row.type && r.name == row.name;
        });
        if (same == expected.end()) throw ERegistryError(refused + " (it holds the " + row.type + " " + row.name + ")");
        if (*same != row) throw ERegistryError(refused + " (its " + row.type + " " + row.name + " is defined otherwise)");
    }
    for (const SchemaRow& r : expected)
        if (std::find(stored.begin(), stored.end(), r) == stored.end())
            throw ERegistryError(refused + " (it lacks the " + r.type + " " + r.name + ")");
    return held == store_tables().size();
}

// Of the settings in the file's header, only the text encoding changes what
// the store reads and writes: it binds names and key paths as UTF-8 text and
// reads text, the schema's too, as bytes, so another encoding converts the
// bytes of Windows-1252 that are not UTF-8 on their way in, and gives back
// other bytes. The page size, the journal mode, auto-vacuum, the bytes kept
// at each page's end, the user version, the application id and the schema
// format (which, for tables without a descending index, only decides how 0
// and 1 are written, not what they read as) change nothing that it reads or
// writes; SQLite refuses a format that it does not know.
void check_encoding(sqlite3* db, const std::string& refused) {
    Stmt s(db, "PRAGMA encoding");
    const std::string encoding = s.step() ? s.utf8(0) : std::string();
    if (encoding != "UTF-8") throw ERegistryError(refused + " (its text is " + encoding + ", not UTF-8)");
}

// The root pages are not in the schema's statements: swapped or shared
// through the schema, they give a table another's rows or an index another
// table's. SQLite's whole check finds that, as an index that disagrees with
// its table, a page reached twice or a page of the wrong kind. It reads the
// whole file, which is small, and reads are remembered while the file stays
// the same.
void check_trees(sqlite3* db, const std::string& refused) {
    std::string finding;
    try {
        Stmt s(db, "PRAGMA integrity_check(1)");
        // A finding of the file's structure comes after a line naming the database.
        finding = s.step() ? s.text(0) : std::string();
        finding.erase(0, finding.rfind('\n') + 1);
    } catch (const ERegistryError&) {
        if ((sqlite3_extended_errcode(db) & 0xFF) != SQLITE_CORRUPT) throw;
        finding = sqlite3_errmsg(db);
    }
    if (finding != "ok")
        throw ERegistryError(refused + " (its tables do not hold what its schema says: " + finding + ")");
}

// A transaction that is rolled back unless it is committed.
class Transaction {
public:
    Transaction(sqlite3* db, const char* begin) : db_(db) { exec(db, begin); }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    ~Transaction() {
        if (db_) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    void commit() {
        exec(db_, "COMMIT");
        db_ = nullptr;
    }

private:
    sqlite3* db_;
};

std::int64_t pragma(sqlite3* db, const char* sql) {
    Stmt s(db, sql);
    s.step();
    return s.integer(0);
}

// A file cut short, or grown, outside SQLite: SQLite would read the missing
// end of a page as zeros, which can pass for data. Only with the rollback
// journal, which the store keeps, does the file hold every page, whole.
void check_size(sqlite3* db, const std::string& file) {
    Stmt mode(db, "PRAGMA journal_mode");
    if (mode.step() && mode.text(0) == "wal") return;
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) throw ERegistryError("settings file " + file + ": " + std::strerror(errno));
    const std::int64_t pages = pragma(db, "PRAGMA page_count") * pragma(db, "PRAGMA page_size");
    if (st.st_size != pages)
        throw ERegistryError("settings file " + file + ": damaged (" + std::to_string(st.st_size) +
                             " bytes where its pages make " + std::to_string(pages) + ")");
}

// Whether the file holds the store's tables, read under one read lock so that
// no write of another process comes between. Reading the schema is the first
// read of the file, so a file that is damaged or is not a database raises
// here, as does one that is not a settings store.
bool inspect(sqlite3* db) {
    const std::string file = hive_location();
    const std::string refused = "settings file " + file + ": not a settings store";
    Transaction read(db, "BEGIN");
    const std::vector<SchemaRow> schema = stored_schema(db, refused);
    check_encoding(db, refused);
    const bool complete = has_store_tables(schema, refused);
    check_size(db, file);
    check_trees(db, refused);
    read.commit();
    return complete;
}

void create_store_tables(sqlite3* db) {
    Transaction write(db, "BEGIN IMMEDIATE");
    for (const Table& t : store_tables())
        exec(db, (std::string("CREATE TABLE IF NOT EXISTS ") + t.definition).c_str());
    write.commit();
}

}  // namespace

Db open_db(bool for_write) {
    const std::string file = hive_location();
    if (!for_write && !exists(file)) return nullptr;
    if (for_write) {
        auto slash = file.find_last_of('/');
        if (slash != std::string::npos && slash > 0) make_dirs(file.substr(0, slash));
    }
    // Reads too open the file for writing where they may: SQLite then rolls
    // back a write that a killed process left half done, which a read-only
    // connection cannot do, so every read would fail until the next write.
    // Nothing else is ever written by a read.
    sqlite3* raw = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | (for_write ? SQLITE_OPEN_CREATE : 0);
    const int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) {
        if (!for_write && !exists(file)) return nullptr;  // gone since the look above
        throw ERegistryError("settings file " + file + ": " + (raw ? sqlite3_errmsg(raw) : "cannot be opened"));
    }
    sqlite3_busy_timeout(db.get(), 5000);
    // Nothing that the file holds may run code or write behind the store's
    // back, and SQL cannot damage the file's structure.
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(db.get(), SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    // A file that is not a settings store is refused, by writes as by reads:
    // it is the user's, damaged or meant for something else, and making a new
    // store in its place, or adding the store's tables to it, would lose or
    // bury what it holds.
    if (inspect(db.get())) return db;
    if (!for_write) return nullptr;
    create_store_tables(db.get());
    return db;
}

std::optional<bool> key_state(sqlite3* db, const std::string& path) {
    if (path.empty()) return false;  // the hive root always exists
    Stmt s(db, "SELECT denied FROM keys WHERE path = ?");
    s.bind(1, path);
    if (!s.step()) return std::nullopt;
    return s.integer(0) != 0;
}

}  // namespace hive

}  // namespace kalvorin::platform
