#pragma once
// The SQLite store behind the registry stand-in, shared by its reading and
// its writing half (the plug-in links only the reading one).
#include <sqlite3.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/errors.h"

namespace kalvorin::platform::hive {

// Raises ERegistryError with the store's last error, naming the store's file.
[[noreturn]] void fail(sqlite3* db);

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
        const int rc = sqlite3_prepare_v2(db, sql, -1, &s, nullptr);
        stmt_.reset(s);
        if (rc != SQLITE_OK) fail(db);
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
        fail(db_);
    }
    std::string text(int col) const {
        auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_.get(), col));
        int n = sqlite3_column_bytes(stmt_.get(), col);
        return p ? std::string(p, static_cast<std::size_t>(n)) : std::string();
    }
    std::int64_t integer(int col) const { return sqlite3_column_int64(stmt_.get(), col); }
    // The column as UTF-8, whatever the file's text encoding.
    std::string utf8(int col) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_.get(), col));
        return p ? std::string(p) : std::string();
    }

private:
    sqlite3* db_;
    StmtPtr stmt_;
};

// A key path as stored: no leading or trailing backslash.
std::string normalise(const std::string& path);
void exec(sqlite3* db, const char* sql);
// Opens the hive. For reading, a hive that does not exist yet, or that holds
// no tables yet, gives no database (a read creates nothing); for writing, the
// file and its tables are created when missing. Raises ERegistryError when the
// file is damaged, is not a database, or its schema or text encoding is not
// exactly the store's.
Db open_db(bool for_write);
// The key's write-denied mark, or nullopt when the key does not exist.
std::optional<bool> key_state(sqlite3* db, const std::string& path);

}  // namespace kalvorin::platform::hive
