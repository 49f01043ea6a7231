// The registry on systems without one: an SQLite database that keeps every key
// and value as the real registry would (type plus exact data bytes), and a
// per-key write-denied mark.
#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>

#include "CodigoComun/Errors.h"
#include "platform/registry.h"

namespace kalvorin::platform {

namespace {

std::string normalise(const std::string& path) {
    std::string p = path;
    while (!p.empty() && p.front() == '\\') p.erase(0, 1);
    while (!p.empty() && p.back() == '\\') p.pop_back();
    return p;
}

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

struct DbCloser {
    void operator()(sqlite3* db) const noexcept { sqlite3_close(db); }
};
struct StmtFinalizer {
    void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;
using StmtPtr = std::unique_ptr<sqlite3_stmt, StmtFinalizer>;

class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) : db_(db) {
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK)
            throw ERegistryError(std::string("registry store: ") + sqlite3_errmsg(db));
        stmt_.reset(s);
    }
    Stmt& bind(int i, const std::string& text) {
        sqlite3_bind_text(stmt_.get(), i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind_blob(int i, const std::string& data) {
        // A zero-length blob still binds as a blob, not as NULL.
        sqlite3_bind_blob(stmt_.get(), i, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Stmt& bind(int i, std::int64_t v) {
        sqlite3_bind_int64(stmt_.get(), i, v);
        return *this;
    }
    bool step() {
        int rc = sqlite3_step(stmt_.get());
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        throw ERegistryError(std::string("registry store: ") + sqlite3_errmsg(db_));
    }
    std::string text(int col) const {
        auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), col));
        int n = sqlite3_column_bytes(stmt_.get(), col);
        return p ? std::string(p, static_cast<std::size_t>(n)) : std::string();
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_.get(), col); }

private:
    sqlite3* db_;
    StmtPtr stmt_;
};

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        throw ERegistryError("registry store: " + msg);
    }
}

// Opens the hive. For reading, a hive that does not exist yet yields no
// database (nothing is created by a read).
Db open_db(bool for_write) {
    const std::string file = hive_location();
    if (!for_write && !exists(file)) return nullptr;
    if (for_write) {
        auto slash = file.find_last_of('/');
        if (slash != std::string::npos && slash > 0) make_dirs(file.substr(0, slash));
    }
    sqlite3* raw = nullptr;
    int flags = for_write ? (SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE) : SQLITE_OPEN_READONLY;
    int rc = sqlite3_open_v2(file.c_str(), &raw, flags, nullptr);
    Db db(raw);
    if (rc != SQLITE_OK) {
        if (!for_write) return nullptr;
        throw ERegistryError("registry store: cannot open " + file);
    }
    sqlite3_busy_timeout(db.get(), 5000);
    if (for_write) {
        exec(db.get(),
             "CREATE TABLE IF NOT EXISTS keys(path TEXT PRIMARY KEY COLLATE NOCASE,"
             " denied INTEGER NOT NULL DEFAULT 0);"
             "CREATE TABLE IF NOT EXISTS vals(key TEXT NOT NULL COLLATE NOCASE,"
             " name TEXT NOT NULL COLLATE NOCASE, type INTEGER NOT NULL, data BLOB NOT NULL,"
             " PRIMARY KEY(key, name));");
    }
    return db;
}

bool has_schema(sqlite3* db) {
    Stmt s(db, "SELECT count(*) FROM sqlite_master WHERE name IN ('keys','vals')");
    s.step();
    return s.integer(0) == 2;
}

// The key's write-denied mark, or nullopt when the key does not exist.
std::optional<bool> key_state(sqlite3* db, const std::string& path) {
    if (path.empty()) return false;  // the hive root always exists
    Stmt s(db, "SELECT denied FROM keys WHERE path = ?");
    s.bind(1, path);
    if (!s.step()) return std::nullopt;
    return s.integer(0) != 0;
}

}  // namespace

std::string hive_location() {
    if (const char* h = std::getenv("KALVORIN_HIVE"); h && *h) return h;
    std::string base;
    if (const char* x = std::getenv("XDG_CONFIG_HOME"); x && *x) {
        base = x;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home ? home : ".") + "/.config";
    }
    return base + "/kalvorin/hkcu.db";
}

std::optional<RegKey> RegKey::open(const std::string& path) {
    const std::string p = normalise(path);
    Db db = open_db(false);
    if (!db || !has_schema(db.get())) return std::nullopt;
    auto state = key_state(db.get(), p);
    if (!state || *state) return std::nullopt;
    return RegKey(p);
}

std::optional<RegKey> RegKey::open_read(const std::string& path) {
    const std::string p = normalise(path);
    Db db = open_db(false);
    if (!db || !has_schema(db.get())) return std::nullopt;
    if (!key_state(db.get(), p)) return std::nullopt;
    return RegKey(p);
}

std::optional<RegKey> RegKey::create(const std::string& path) {
    const std::string p = normalise(path);
    Db db = open_db(true);
    exec(db.get(), "BEGIN IMMEDIATE");
    try {
        // Create every key along the path; a denied key at the end refuses full access.
        std::size_t pos = 0;
        while (!p.empty()) {
            std::size_t next = p.find('\\', pos);
            std::string prefix = p.substr(0, next);
            Stmt ins(db.get(), "INSERT OR IGNORE INTO keys(path) VALUES (?)");
            ins.bind(1, prefix).step();
            if (next == std::string::npos) break;
            pos = next + 1;
        }
        auto state = key_state(db.get(), p);
        exec(db.get(), "COMMIT");
        if (!state || *state) return std::nullopt;
    } catch (...) {
        sqlite3_exec(db.get(), "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    return RegKey(p);
}

std::optional<RegValue> RegKey::query(const std::string& name) const {
    Db db = open_db(false);
    if (!db || !has_schema(db.get())) return std::nullopt;
    Stmt s(db.get(), "SELECT name, type, data FROM vals WHERE key = ? AND name = ?");
    s.bind(1, path_).bind(2, name);
    if (!s.step()) return std::nullopt;
    return RegValue{s.text(0), static_cast<std::uint32_t>(s.integer(1)), s.text(2)};
}

bool RegKey::set(const std::string& name, std::uint32_t type, const std::string& data) const {
    try {
        Db db = open_db(true);
        Stmt s(db.get(),
               "INSERT INTO vals(key, name, type, data) VALUES (?, ?, ?, ?)"
               " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
        s.bind(1, path_).bind(2, name).bind(3, static_cast<std::int64_t>(type)).bind_blob(4, data);
        s.step();
        return true;
    } catch (const ERegistryError&) {
        return false;
    }
}

std::vector<RegValue> RegKey::values() const {
    std::vector<RegValue> out;
    Db db = open_db(false);
    if (!db || !has_schema(db.get())) return out;
    Stmt s(db.get(), "SELECT name, type, data FROM vals WHERE key = ? ORDER BY rowid");
    s.bind(1, path_);
    while (s.step()) out.push_back({s.text(0), static_cast<std::uint32_t>(s.integer(1)), s.text(2)});
    return out;
}

bool RegKey::remove_value(const std::string& name) const {
    Db db = open_db(true);
    Stmt s(db.get(), "DELETE FROM vals WHERE key = ? AND name = ?");
    s.bind(1, path_).bind(2, name).step();
    return sqlite3_changes(db.get()) > 0;
}

bool reg_delete_key(const std::string& path) {
    const std::string p = normalise(path);
    if (p.empty()) return false;
    Db db = open_db(true);
    if (!key_state(db.get(), p)) return false;
    // The key and everything below it; LIKE's escape keeps '%' and '_' in names literal.
    std::string pattern;
    for (char c : p + "\\") {
        if (c == '%' || c == '_' || c == '!') pattern.push_back('!');
        pattern.push_back(c);
    }
    pattern += "%";
    exec(db.get(), "BEGIN IMMEDIATE");
    Stmt dv(db.get(), "DELETE FROM vals WHERE key = ? OR key LIKE ? ESCAPE '!'");
    dv.bind(1, p).bind(2, pattern).step();
    Stmt dk(db.get(), "DELETE FROM keys WHERE path = ? OR path LIKE ? ESCAPE '!'");
    dk.bind(1, p).bind(2, pattern).step();
    exec(db.get(), "COMMIT");
    return true;
}

bool reg_set_denied(const std::string& path, bool denied) {
    const std::string p = normalise(path);
    Db db = open_db(true);
    Stmt s(db.get(), "UPDATE keys SET denied = ? WHERE path = ?");
    s.bind(1, static_cast<std::int64_t>(denied ? 1 : 0)).bind(2, p).step();
    return sqlite3_changes(db.get()) > 0;
}

}  // namespace kalvorin::platform
