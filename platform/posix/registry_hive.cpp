// The registry on systems without one: an SQLite database that keeps every key
// and value as the real registry would (type plus exact data bytes), and a
// per-key write-denied mark.
#include <sqlite3.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <sys/stat.h>

#include "platform/errors.h"
#include "platform/posix/hive_store.h"
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

void exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "unknown error";
        sqlite3_free(err);
        throw ERegistryError("registry store: " + msg);
    }
}

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

std::optional<bool> key_state(sqlite3* db, const std::string& path) {
    if (path.empty()) return false;  // the hive root always exists
    Stmt s(db, "SELECT denied FROM keys WHERE path = ?");
    s.bind(1, path);
    if (!s.step()) return std::nullopt;
    return s.integer(0) != 0;
}

}  // namespace hive

using namespace hive;

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

std::optional<RegValue> RegKey::query(const std::string& name) const {
    Db db = open_db(false);
    if (!db || !has_schema(db.get())) return std::nullopt;
    Stmt s(db.get(), "SELECT name, type, data FROM vals WHERE key = ? AND name = ?");
    s.bind(1, path_).bind(2, name);
    if (!s.step()) return std::nullopt;
    return RegValue{s.text(0), static_cast<std::uint32_t>(s.integer(1)), s.text(2)};
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

std::vector<std::string> RegKey::subkeys() const {
    std::vector<std::string> out;
    Db db = open_db(false);
    if (!db || !has_schema(db.get())) return out;
    // Paths are compared as bytes, ASCII letters without regard to case, as
    // the keys' own collation does.
    const std::string prefix = path_.empty() ? std::string() : path_ + "\\";
    auto lower = [](std::string text) {
        for (char& c : text)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return text;
    };
    const std::string wanted = lower(prefix);
    Stmt s(db.get(), "SELECT path FROM keys ORDER BY path COLLATE NOCASE");
    while (s.step()) {
        const std::string path = s.text(0);
        if (path.size() <= prefix.size() || lower(path.substr(0, prefix.size())) != wanted) continue;
        const std::string name = path.substr(prefix.size());
        if (name.find('\\') == std::string::npos) out.push_back(name);
    }
    return out;
}

}  // namespace kalvorin::platform
