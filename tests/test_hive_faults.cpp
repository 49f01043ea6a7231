// The settings file when it is damaged, cut short or another program's
// database: the settings layer, the settings tool and the plug-in's
// initialisation each say what is wrong and name the file, no write replaces
// or extends it, and no read changes a byte of it. And the file that a killed
// write leaves behind reads as it was before that write.
#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "CodigoComun/EasyRegistry.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using Db = std::unique_ptr<sqlite3, decltype(&sqlite3_close)>;

Db open(const std::string& path) {
    sqlite3* raw = nullptr;
    sqlite3_open(path.c_str(), &raw);
    return Db(raw, sqlite3_close);
}

// The bytes of a new database made by sql.
std::string database(const test::TempDir& dir, const std::string& sql) {
    const std::string path = dir / "made.db";
    std::remove(path.c_str());
    const Db db = open(path);
    // Made without waiting for the disk, which only a crash would need.
    sqlite3_exec(db.get(), "PRAGMA synchronous = OFF", nullptr, nullptr, nullptr);
    EXPECT_EQ(sqlite3_exec(db.get(), sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db.get());
    return test::slurp(path);
}

std::string random_bytes(std::size_t n) {
    std::mt19937 random(20240611);
    std::string out;
    while (out.size() < n) out.push_back(static_cast<char>(random() & 0xFF));
    return out;
}

// The store's tables as SQLite keeps the statements that make them.
const std::string kKeys = "CREATE TABLE keys(path TEXT PRIMARY KEY COLLATE NOCASE, denied INTEGER NOT NULL DEFAULT 0);";
const std::string kVals =
    "CREATE TABLE vals(key TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,"
    " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name));";

clsRegistry section(const std::string& name) {
    clsRegistry r;
    r.init("kalvorin");
    r.set_section(name);
    return r;
}

struct Damage {
    std::string what;
    std::string bytes;   // the settings file
    std::string reason;  // what the error says after the file's name
};

class HiveFaultTest : public test::HiveTest {
protected:
    // A settings file of several pages, written by the settings layer.
    std::string good_hive() {
        section("directorys").write_str("basefolder", tmp_.path());
        for (int i = 0; i < 60; ++i) section("settings").write_str("v" + std::to_string(i), std::string(100, 'x'));
        return test::slurp(hive_);
    }

    // The store's two tables as the store makes them, and more.
    std::string store_with(const std::string& more) const { return database(tmp_, kKeys + kVals + more); }

    std::vector<Damage> damages(const std::string& good) const {
        constexpr std::size_t kPage = 4096;
        const std::string malformed = "database disk image is malformed";
        const std::string cut_in_last_page = good.substr(0, good.size() - 1);
        return {
            {"random bytes", random_bytes(2 * kPage), "file is not a database"},
            {"cut in the header", good.substr(0, 50), malformed},
            {"cut in the first page", good.substr(0, 1000), malformed},
            {"only the first page", good.substr(0, kPage), malformed},
            {"all but the last page", good.substr(0, good.size() - kPage), malformed},
            {"cut in the last page", cut_in_last_page,
             "damaged (" + std::to_string(good.size() - 1) + " bytes where its pages make " +
                 std::to_string(good.size()) + ")"},
            {"another program's database",
             database(tmp_, "CREATE TABLE messages(id INTEGER PRIMARY KEY, body TEXT);"
                            "INSERT INTO messages(body) VALUES ('keep me');"),
             "not a settings store (it holds the table messages)"},
            {"the store's tables with other columns",
             database(tmp_, "CREATE TABLE keys(path TEXT PRIMARY KEY, denied INTEGER);"
                            "CREATE TABLE vals(key TEXT, name TEXT, value BLOB);"),
             "not a settings store (its table keys is defined otherwise)"},
            // Anything of the file's own that would run on the store's reads
            // and writes, or that the store did not make.
            {"a trigger on the values", store_with("CREATE TRIGGER t AFTER INSERT ON vals BEGIN DELETE FROM vals; END;"),
             "not a settings store (it holds the trigger t)"},
            {"a view", store_with("CREATE VIEW v AS SELECT * FROM vals;"), "not a settings store (it holds the view v)"},
            {"an index of its own", store_with("CREATE INDEX i ON vals(data);"),
             "not a settings store (it holds the index i)"},
        };
    }
};

TEST_F(HiveFaultTest, EveryReaderSaysWhatIsWrongAndNoWriterReplacesTheFile) {
    const std::string good = good_hive();
    ASSERT_GT(good.size(), 4u * 4096);
    for (const Damage& d : damages(good)) {
        SCOPED_TRACE(d.what);
        test::spit(hive_, good);
        // A read answered before the damage is not given again after it.
        ASSERT_EQ(section("directorys").read_str("basefolder", ""), tmp_.path());
        test::spit(hive_, d.bytes);
        const std::string error = "settings file " + hive_ + ": " + d.reason;

        auto error_of = [](auto f) { return test::error_text<ERegistryError>(f); };
        EXPECT_EQ(error_of([] { section("directorys").read_str("basefolder", "."); }), error);
        EXPECT_EQ(error_of([] { section("scores").read_int("secure", -1000); }), error);
        EXPECT_EQ(error_of([] { section("scores").write_int("secure", 5); }), error);

        const std::string key = "HKCU\\Software\\kalvorin\\directorys";
        for (const auto& args : {std::vector<std::string>{"query", key},
                                 std::vector<std::string>{"add", key, "/v", "basefolder", "/d", "x", "/f"}}) {
            const auto r = test::reg(args);
            EXPECT_EQ(r.status, 1) << args[0];
            EXPECT_EQ(r.err, "ERROR: " + error + "\n") << args[0];
        }

        const auto host = test::run({test::dist("kalvorin-host")});
        EXPECT_LT(host.status, 128) << "ended by a signal";
        EXPECT_NE(host.err.find("Kalvorin: initialisation stopped at step 1 (read the base folder): " + error + "\n"),
                  std::string::npos)
            << host.err;

        EXPECT_TRUE(test::slurp(hive_) == d.bytes) << "the file was changed";
        EXPECT_FALSE(test::exists(hive_ + "-journal"));
    }
}

// The text with its first "from" made "to".
std::string edit(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// A store's schema made otherwise, by SQL or by rewriting the schema itself.
// Each file holds the same few values.
TEST_F(HiveFaultTest, AFileWhoseSchemaIsNotTheStoresIsRefusedAndKept) {
    const std::string values =
        "INSERT INTO keys(path) VALUES ('Software'), ('Software\\kalvorin'), ('Software\\kalvorin\\settings');"
        "INSERT INTO vals(key, name, type, data) VALUES ('Software\\kalvorin\\settings', 'a', 1, x'6100'),"
        " ('Software\\kalvorin\\settings', 'b', 3, x'0102');";
    const auto store = [&](const std::string& tables, const std::string& more = "") {
        return database(tmp_, tables + values + more);
    };
    const std::string pk = "PRIMARY KEY(key, name)";
    const auto rewritten = [&](const std::string& sql) {
        return database(tmp_, kKeys + kVals + values + "PRAGMA writable_schema = ON;" + sql);
    };
    const auto swapped = [&](const std::string& a, const std::string& b) {
        return rewritten("CREATE TEMP TABLE r AS SELECT name, rootpage FROM sqlite_master;"
                         "UPDATE sqlite_master SET rootpage = (SELECT rootpage FROM r WHERE r.name = CASE"
                         " sqlite_master.name WHEN '" + a + "' THEN '" + b + "' ELSE '" + a + "' END)"
                         " WHERE name IN ('" + a + "', '" + b + "');");
    };
    const std::string keys = "not a settings store (its table keys is defined otherwise)";
    const std::string vals = "not a settings store (its table vals is defined otherwise)";
    const std::string unreadable = "not a settings store (its schema cannot be read: malformed database schema";
    const std::string trees = "not a settings store (its tables do not hold what its schema says: ";
    const std::vector<Damage> variants{
        {"a virtual generated column", store(kKeys + edit(kVals, pk, "g BLOB AS (data) VIRTUAL, " + pk)), vals},
        {"a stored generated column", store(kKeys + edit(kVals, pk, "g BLOB AS (data || data) STORED, " + pk)), vals},
        {"a CHECK constraint", store(kKeys + edit(kVals, pk, "CHECK (type <> 4), " + pk)), vals},
        {"another collation", store(edit(kKeys, "NOCASE", "RTRIM") + kVals), keys},
        {"another type", store(kKeys + edit(kVals, "data BLOB", "data TEXT")), vals},
        {"another default", store(edit(kKeys, "DEFAULT 0", "DEFAULT 1") + kVals), keys},
        {"the same definitions in other words", rewritten("UPDATE sqlite_master SET sql = lower(sql);"), keys},
        {"another definition written over a table's",
         rewritten("UPDATE sqlite_master SET sql = 'CREATE TABLE vals(key, name, type, data, " + pk +
                   ")' WHERE name = 'vals';"),
         vals},
        {"an index on an expression renamed as a primary key's",
         store(kKeys + kVals, "CREATE INDEX e ON vals(lower(name)); PRAGMA writable_schema = ON;"
                              "UPDATE sqlite_master SET name = 'sqlite_autoindex_vals_2',"
                              " sql = 'CREATE INDEX sqlite_autoindex_vals_2 ON vals(lower(name))' WHERE name = 'e';"),
         "not a settings store (it holds the index sqlite_autoindex_vals_2)"},
        {"an index of its own renamed as a primary key's",
         store(kKeys + kVals, "CREATE INDEX i ON vals(data); PRAGMA writable_schema = ON;"
                              "UPDATE sqlite_master SET name = 'sqlite_autoindex_vals_2', sql = NULL WHERE name = 'i';"),
         unreadable},
        {"a table renamed as SQLite's own",
         store(kKeys + kVals, "CREATE TABLE junk(x); PRAGMA writable_schema = ON;"
                              "UPDATE sqlite_master SET name = 'sqlite_junk', tbl_name = 'sqlite_junk',"
                              " sql = 'CREATE TABLE sqlite_junk(x)' WHERE name = 'junk';"),
         "not a settings store (it holds the table sqlite_junk)"},
        {"the query planner's statistics", store(kKeys + kVals, "ANALYZE;"),
         "not a settings store (it holds the table sqlite_stat1)"},
        {"a primary key's index gone", rewritten("DELETE FROM sqlite_master WHERE name = 'sqlite_autoindex_keys_1';"),
         "not a settings store (it lacks the index sqlite_autoindex_keys_1)"},
        {"an index's name and statement gone",
         rewritten("UPDATE sqlite_master SET name = NULL, sql = NULL WHERE name = 'sqlite_autoindex_vals_1';"),
         unreadable},
        {"a table given another type", rewritten("UPDATE sqlite_master SET type = 'index' WHERE name = 'keys';"),
         unreadable},
        {"a table twice", rewritten("INSERT INTO sqlite_master SELECT * FROM sqlite_master WHERE name = 'keys';"),
         unreadable},
        {"a root page past the end", rewritten("UPDATE sqlite_master SET rootpage = 99 WHERE name = 'vals';"),
         unreadable},
        {"the tables' root pages swapped", swapped("keys", "vals"), trees},
        {"the primary keys' indexes swapped", swapped("sqlite_autoindex_keys_1", "sqlite_autoindex_vals_1"), trees},
        {"a table and its index swapped", swapped("keys", "sqlite_autoindex_keys_1"), trees},
        {"two tables on one root page", rewritten("UPDATE sqlite_master SET rootpage = 2 WHERE name = 'vals';"), trees},
        {"text in UTF-16", store("PRAGMA encoding = 'UTF-16be';" + kKeys + kVals),
         "not a settings store (its text is UTF-16be, not UTF-8)"},
    };
    for (const Damage& v : variants) {
        SCOPED_TRACE(v.what);
        test::spit(hive_, v.bytes);
        const std::string error = "settings file " + hive_ + ": " + v.reason;
        // Some reasons end in SQLite's own words.
        const auto refused = [&](const std::string& what) {
            if (v.reason.back() == ')') EXPECT_EQ(what, error);
            else EXPECT_EQ(what.substr(0, error.size()), error);
        };
        refused(test::error_text<ERegistryError>([] { section("settings").read_str("a", "."); }));
        refused(test::error_text<ERegistryError>([] { section("settings").write_int("c", 4); }));
        const auto r = test::reg({"add", "HKCU\\Software\\kalvorin\\settings", "/v", "a", "/d", "x", "/f"});
        EXPECT_EQ(r.status, 1);
        refused(r.err.starts_with("ERROR: ") ? r.err.substr(7, r.err.size() - 8) : r.err);
        EXPECT_TRUE(test::slurp(hive_) == v.bytes) << "the file was changed";
        EXPECT_FALSE(test::exists(hive_ + "-journal"));
    }
}

// A key opened before its file was refused: the value's write says why, not
// that access is denied.
TEST_F(HiveFaultTest, AValueThatTheStoreCannotWriteRaisesItsError) {
    const auto key = platform::RegKey::create("Software\\kalvorin\\scores");
    ASSERT_TRUE(key);
    test::spit(hive_, store_with("CREATE VIEW v AS SELECT 1;"));
    EXPECT_EQ(test::error_text<ERegistryError>([&] { key->set("secure", platform::kRegDword, test::dword(5)); }),
              "settings file " + hive_ + ": not a settings store (it holds the view v)");
}

TEST_F(HiveFaultTest, AStoreOfAnEarlierReleaseIsTaken) {
    test::spit(hive_, test::slurp(std::string(KALVORIN_TEST_DATA) + "/settings-earlier.db"));
    EXPECT_EQ(section("directorys").read_str("basefolder", ""), "/srv/kalvorin");
    EXPECT_EQ(section("scores").read_int("secure", 0), 5);
    section("scores").write_int("secure", 7);
    EXPECT_EQ(section("scores").read_int("secure", 0), 7);
}

// An empty file, or one that holds only the first of the store's tables as
// the first releases made them one at a time: a read finds nothing and
// changes nothing, a write makes what is missing.
TEST_F(HiveFaultTest, AFileOfSomeOfTheStoresTablesIsAStoreNotYetMade) {
    for (const std::string& bytes : {std::string(), database(tmp_, kKeys)}) {
        test::spit(hive_, bytes);
        EXPECT_EQ(section("scores").read_int("secure", -1000), -1000);
        EXPECT_TRUE(test::slurp(hive_) == bytes);
        section("scores").write_int("secure", 5);
        EXPECT_EQ(section("scores").read_int("secure", -1000), 5);
    }
}

TEST_F(HiveFaultTest, AWriteThatAKilledProcessLeftHalfDoneIsUndoneByTheNextRead) {
    section("scores").write_int("secure", 5);
    // A writer that changes the value, spills its changes into the file
    // before committing, and dies: its journal stays beside the file.
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const Db db = open(hive_);
        sqlite3_exec(db.get(),
                     "PRAGMA cache_size = 1; BEGIN;"
                     "UPDATE vals SET data = x'07000000' WHERE name = 'secure';"
                     "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500)"
                     " INSERT INTO vals SELECT 'Software\\kalvorin\\bulk', 'v' || i, 3, randomblob(500) FROM n;",
                     nullptr, nullptr, nullptr);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(writer, &status, 0), writer);
    ASSERT_TRUE(test::exists(hive_ + "-journal"));

    const auto r = test::reg({"query", "HKCU\\Software\\kalvorin\\scores", "/v", "secure"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("REG_DWORD    0x5\n"), std::string::npos) << r.out;
    EXPECT_FALSE(test::exists(hive_ + "-journal"));
    EXPECT_EQ(section("scores").read_int("secure", 0), 5);
}

}  // namespace
}  // namespace kalvorin
