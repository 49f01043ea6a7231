// The writing half of the registry stand-in.
#include "platform/posix/hive_store.h"
#include "platform/registry.h"

namespace kalvorin::platform {

using namespace hive;

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

// A value that the store cannot write (the file refused, the disk full) raises
// the store's error, which names the file and says why: none of these is a
// denied access, which is the key's and refused when it is opened.
bool RegKey::set(const std::string& name, std::uint32_t type, const std::string& data) const {
    Db db = open_db(true);
    Stmt s(db.get(),
           "INSERT INTO vals(key, name, type, data) VALUES (?, ?, ?, ?)"
           " ON CONFLICT(key, name) DO UPDATE SET type = excluded.type, data = excluded.data");
    s.bind(1, path_).bind(2, name).bind(3, static_cast<std::int64_t>(type)).bind_blob(4, data);
    s.step();
    return true;
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
