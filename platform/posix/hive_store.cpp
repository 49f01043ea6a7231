// The SQLite file behind the registry stand-in: opening it, refusing a file
// that is not a settings store, and the statements both halves share.
#include "platform/posix/hive_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
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

// The store's two tables: their columns in order, and how they are made.
struct Table {
    const char* name;
    std::vector<std::string> columns;
    const char* create;
};

const std::array<Table, 2>& store_tables() {
    static const std::array<Table, 2> tables{{
        {"keys",
         {"path", "denied"},
         "CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE,"
         " denied INTEGER NOT NULL DEFAULT 0)"},
        {"vals",
         {"key", "name", "type", "data"},
         "CREATE TABLE IF NOT EXISTS vals(key TEXT NOT NULL COLLATE NOCASE,"
         " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
         " PRIMARY KEY(key, name))"},
    }};
    return tables;
}

std::vector<std::string> columns_of(sqlite3* db, const std::string& table) {
    std::vector<std::string> out;
    Stmt s(db, "SELECT name FROM pragma_table_info(?) ORDER BY cid");
    s.bind(1, table);
    while (s.step()) out.push_back(s.text(0));
    return out;
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

// Whether the file holds both of the store's tables. A file that holds
// anything else of its own (another table, the store's tables with other
// columns, a trigger or a view that would run on the store's reads and
// writes, an index the store did not make) raises. SQLite's own tables and
// the indexes of the store's primary keys belong.
bool has_store_tables(sqlite3* db, const std::string& file) {
    const std::string refused = "settings file " + file + ": not a settings store";
    const auto& tables = store_tables();
    const auto store_table = [&](const std::string& name) {
        return std::find_if(tables.begin(), tables.end(), [&](const Table& t) { return name == t.name; });
    };
    std::size_t found = 0;
    Stmt s(db, "SELECT type, name, tbl_name FROM sqlite_master");
    while (s.step()) {
        const std::string type = s.text(0), name = s.text(1), owner = s.text(2);
        if (name.starts_with("sqlite_") && (type == "table" || store_table(owner) != tables.end())) continue;
        const auto table = type == "table" ? store_table(name) : tables.end();
        if (table == tables.end()) throw ERegistryError(refused + " (it holds the " + type + " " + name + ")");
        if (columns_of(db, name) != table->columns)
            throw ERegistryError(refused + " (its table " + name + " has other columns)");
        ++found;
    }
    return found == tables.size();
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
    Transaction read(db, "BEGIN");
    const bool complete = has_store_tables(db, file);
    check_size(db, file);
    read.commit();
    return complete;
}

void create_store_tables(sqlite3* db) {
    Transaction write(db, "BEGIN IMMEDIATE");
    for (const Table& t : store_tables()) exec(db, t.create);
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
