// The registry on systems without one: an SQLite database that keeps every key
// and value as the real registry would (type plus exact data bytes), and a
// per-key write-denied mark.
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "platform/errors.h"
#include "platform/posix/hive_stamp.h"
#include "platform/posix/hive_store.h"
#include "platform/posix/unique_fd.h"
#include "platform/registry.h"

namespace kalvorin::platform {

using namespace hive;

namespace {

// ---- Reads remembered while the file stays the same -------------------------------
//
// The plug-in reads its settings for every message, and a read through SQLite
// costs an open, dozens of stats and a query. A read is answered from the last
// one while the file provably has not changed since: the path still names the
// same file (whose descriptor is kept open, so its inode number cannot be given
// to another file), with the same size and change times, no journal or
// write-ahead log beside it, and the same change counter in the database header,
// which SQLite raises with every committed write in its default journal mode.
// Anything else, or anything unexpected, reads for real.

using Fd = posix::UniqueFd;

// A journal or log beside the file means a write in progress, a crashed one or
// another journal mode: the counter alone then does not tell.
bool quiet(const std::string& file) {
    struct stat st {};
    return ::stat((file + "-journal").c_str(), &st) != 0 && errno == ENOENT &&
           ::stat((file + "-wal").c_str(), &st) != 0 && errno == ENOENT;
}

// The file kept open, and which file that is: a descriptor keeps its file,
// so that is asked once, when it is opened.
struct Held {
    Fd fd;
    dev_t dev = 0;
    ino_t ino = 0;
};

Held hold(const std::string& file) {
    Held h{Fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC))};
    struct stat st {};
    if (h.fd.get() >= 0 && ::fstat(h.fd.get(), &st) == 0) {
        h.dev = st.st_dev;
        h.ino = st.st_ino;
    } else {
        h.fd.reset();
    }
    return h;
}

// Whether the path names the file held; st is the path's.
bool names(const std::string& file, const Held& held, struct stat& st) {
    return held.fd.get() >= 0 && ::stat(file.c_str(), &st) == 0 && held.dev == st.st_dev && held.ino == st.st_ino;
}

// The file's state as read through the kept descriptor, when the path still
// names that file; nullopt when it cannot be told.
std::optional<Stamp> stamp_of(const std::string& file, const Held& held) {
    struct stat st {};
    if (!names(file, held, st)) return std::nullopt;
    const Fd& fd = held.fd;
    // The header: the format's name, the read and write versions (1 for the
    // rollback journal, 2 for the write-ahead log) at 18 and 19, the change
    // counter at 24.
    std::array<unsigned char, 28> header{};
    if (::pread(fd.get(), header.data(), header.size(), 0) != static_cast<ssize_t>(header.size())) return std::nullopt;
    if (std::memcmp(header.data(), "SQLite format 3", 16) != 0 || header[18] != 1 || header[19] != 1)
        return std::nullopt;
    if (!quiet(file)) return std::nullopt;
    return Stamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim, {header[24], header[25], header[26], header[27]}};
}

// A key's values by name, the letters of ASCII alike as the store compares
// names.
struct NoCaseLess {
    static char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                            [](char x, char y) { return lower(x) < lower(y); });
    }
};
using KeyValues = std::map<std::string, RegValue, NoCaseLess>;

struct Remembered {
    std::string file;
    Held held;
    std::optional<Stamp> stamp;
    std::map<std::string, std::optional<RegKey>> keys;
    std::map<std::pair<std::string, std::string>, std::optional<RegValue>> values;
    std::map<std::string, std::shared_ptr<const KeyValues>> key_values;  // reg_read's, whole keys
};

std::mutex remembered_lock;
Remembered& remembered() {
    static Remembered r;
    return r;
}

// The answer of read() for this file state: remembered when the file is
// unchanged since the read that gave it, else read for real and remembered
// only when the file stayed the same throughout that read.
template <class Key, class T, class Read>
T remember(std::map<Key, T> Remembered::*table, const Key& key, Read read) {
    const std::string file = hive_location();
    const std::lock_guard<std::mutex> lock(remembered_lock);
    Remembered& r = remembered();
    if (r.file != file || !r.stamp || stamp_of(file, r.held) != r.stamp) {
        // The descriptor is kept while the path names its file: closing any
        // descriptor of a file drops the locks that SQLite holds on it for
        // the whole process.
        Held held = std::move(r.held);
        if (struct stat st {}; !names(file, held, st)) held = hold(file);
        r = Remembered{file, std::move(held), std::nullopt, {}, {}, {}};
        r.stamp = stamp_of(file, r.held);
    } else if (auto it = (r.*table).find(key); it != (r.*table).end()) {
        return it->second;
    }
    T answer = read();
    if (r.stamp && stamp_of(file, r.held) == r.stamp) (r.*table).emplace(key, answer);
    else r.stamp.reset();
    return answer;
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

namespace {

// Whether the key opens with full access: it is there and not write-denied.
// Its path is normalised.
bool opens_for_real(const std::string& p) {
    Db db = open_db(false);
    if (!db) return false;
    const auto state = key_state(db.get(), p);
    return state && !*state;
}

std::optional<RegValue> query_for_real(const std::string& p, const std::string& name) {
    Db db = open_db(false);
    if (!db) return std::nullopt;
    Stmt s(db.get(), "SELECT name, type, data FROM vals WHERE key = ? AND name = ?");
    s.bind(1, p).bind(2, name);
    if (!s.step()) return std::nullopt;
    return RegValue{s.text(0), static_cast<std::uint32_t>(s.integer(1)), s.text(2)};
}

}  // namespace

std::optional<RegKey> RegKey::open(const std::string& path) {
    const std::string p = normalise(path);
    return remember(&Remembered::keys, p, [&]() -> std::optional<RegKey> {
        if (!opens_for_real(p)) return std::nullopt;
        return RegKey(p);
    });
}

// The whole key is read at its first read: a program reads several values of
// one key at its start, and each read of its own would open the store anew.
std::optional<RegValue> reg_read(const std::string& path, const std::string& name) {
    const std::string p = normalise(path);
    const std::shared_ptr<const KeyValues> values =
        remember(&Remembered::key_values, p, [&]() -> std::shared_ptr<const KeyValues> {
            Db db = open_db(false);
            if (!db) return nullptr;
            if (const auto denied = key_state(db.get(), p); !denied || *denied) return nullptr;
            auto all = std::make_shared<KeyValues>();
            Stmt s(db.get(), "SELECT name, type, data FROM vals WHERE key = ?");
            s.bind(1, p);
            while (s.step()) {
                std::string n = s.text(0);
                all->emplace(n, RegValue{n, static_cast<std::uint32_t>(s.integer(1)), s.text(2)});
            }
            return all;
        });
    if (!values) return std::nullopt;
    const auto it = values->find(name);
    return it == values->end() ? std::nullopt : std::optional<RegValue>(it->second);
}

std::optional<RegKey> RegKey::open_read(const std::string& path) {
    const std::string p = normalise(path);
    Db db = open_db(false);
    if (!db) return std::nullopt;
    if (!key_state(db.get(), p)) return std::nullopt;
    return RegKey(p);
}

std::optional<RegValue> RegKey::query(const std::string& name) const {
    return remember(&Remembered::values, std::make_pair(path_, name), [&] { return query_for_real(path_, name); });
}

std::vector<RegValue> RegKey::values() const {
    std::vector<RegValue> out;
    Db db = open_db(false);
    if (!db) return out;
    Stmt s(db.get(), "SELECT name, type, data FROM vals WHERE key = ? ORDER BY rowid");
    s.bind(1, path_);
    while (s.step()) out.push_back({s.text(0), static_cast<std::uint32_t>(s.integer(1)), s.text(2)});
    return out;
}

std::vector<std::string> RegKey::subkeys() const {
    std::vector<std::string> out;
    Db db = open_db(false);
    if (!db) return out;
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
