#include <gtest/gtest.h>

#include <cstdio>

#include "CodigoComun/EasyRegistry.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "support/TestSupport.h"
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/posix/hive_stamp.h"
#endif

namespace kalvorin {
namespace {

class RegistryTest : public test::HiveTest {
protected:
    clsRegistry section(const std::string& name) const {
        clsRegistry r;
        r.init("kalvorin");
        r.set_section(name);
        return r;
    }
    // Stores exact bytes under a type, as a hand edit of the registry would.
    void store(const std::string& key, const std::string& name, std::uint32_t type, const std::string& data) const {
        test::store_value(key, name, type, data);
    }
    template <typename F>
    static std::string error_of(F&& f) {
        return test::error_text<ERegistryError>(f);
    }
};

// Registry numbers: least significant byte first, whatever this machine's
// byte order; a DWORD is read from its first four bytes only.
TEST(RegistryNumbers, AreLittleEndian) {
    EXPECT_EQ(platform::little_endian(0x0A0B0C0D, 4), std::string("\x0D\x0C\x0B\x0A"));
    EXPECT_EQ(platform::little_endian(0x0102030405060708ULL, 8), std::string("\x08\x07\x06\x05\x04\x03\x02\x01"));
    EXPECT_EQ(platform::from_little_endian(std::string("\xFF\x01", 2)), 0x01FFu);
    EXPECT_EQ(encode_dword(0xFFFFFFFFu), std::string(4, '\xFF'));
    EXPECT_EQ(decode_dword(std::string("\x01\x00\x00\x80\x07", 5)), 0x80000001u);
    EXPECT_EQ(static_cast<std::int32_t>(decode_dword(encode_dword(static_cast<std::uint32_t>(-5)))), -5);
}

TEST_F(RegistryTest, KeyPathIsAbsoluteAndTheLastSectionWins) {
    clsRegistry r;
    r.init("kalvorin");
    EXPECT_EQ(r.key_path(), "\\Software\\kalvorin");
    r.set_section("scores");
    r.set_section("settings");
    EXPECT_EQ(r.key_path(), "\\Software\\kalvorin\\settings");
    r.init("kalvorin");
    EXPECT_EQ(r.key_path(), "\\Software\\kalvorin");
}

TEST_F(RegistryTest, ReadsOfAMissingKeyGiveDefaultsAndCreateNothing) {
    EXPECT_EQ(section("scores").read_int("secure", -1000), -1000);
    EXPECT_EQ(section("settings").read_str("extimg", "none"), "none");
#ifndef _WIN32
    EXPECT_FALSE(test::exists(hive_));  // the settings file of other systems
#else
    EXPECT_FALSE(platform::RegKey::open_read("Software\\kalvorin"));
#endif
    store("Software\\other", "x", platform::kRegSz, std::string("1", 2));
    EXPECT_EQ(section("scores").read_int("secure", 5), 5);
    EXPECT_FALSE(platform::RegKey::open_read("Software\\kalvorin\\scores"));
}

TEST_F(RegistryTest, WriteCreatesTheWholePathAndRoundTrips) {
    section("scores").write_int("secure", -5);
    section("settings").write_str("extimg", "trash");
    EXPECT_EQ(section("scores").read_int("secure", 0), -5);
    EXPECT_EQ(section("settings").read_str("extimg", "none"), "trash");
    // Names are compared without regard to ASCII case.
    EXPECT_EQ(section("SCORES").read_int("SECURE", 0), -5);
    auto v = platform::RegKey::open("Software\\kalvorin\\scores")->query("secure");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->type, platform::kRegDword);
    EXPECT_EQ(v->data, std::string("\xFB\xFF\xFF\xFF", 4));
    EXPECT_EQ(platform::RegKey::open("Software\\kalvorin\\settings")->query("extimg")->data, std::string("trash\0", 6));
}

#ifndef _WIN32
// The write-denied mark is the settings file's only.
TEST_F(RegistryTest, AWriteDeniedKeyReadsAsMissingAndIsNotWritten) {
    section("scores").write_int("secure", 7);
    ASSERT_TRUE(platform::reg_set_denied("Software\\kalvorin\\scores", true));
    EXPECT_EQ(section("scores").read_int("secure", -1000), -1000);
    section("scores").write_int("secure", 9);  // silently not written
    ASSERT_TRUE(platform::reg_set_denied("Software\\kalvorin\\scores", false));
    EXPECT_EQ(section("scores").read_int("secure", -1000), 7);
}

#endif  // _WIN32

TEST_F(RegistryTest, ReadStrRules) {
    const std::string key = "Software\\kalvorin\\settings";
    store(key, "nodata", platform::kRegSz, "");
    store(key, "nul", platform::kRegSz, std::string("ab\0cd\0", 6));
    store(key, "expand", platform::kRegExpandSz, std::string("%HOME%\\x\0", 9));
    store(key, "noterm", platform::kRegSz, "abc");
    EXPECT_EQ(section("settings").read_str("nodata", "default"), "");
    EXPECT_EQ(section("settings").read_str("nul", ""), "ab");
    EXPECT_EQ(section("settings").read_str("expand", ""), "%HOME%\\x");
    EXPECT_EQ(section("settings").read_str("noterm", ""), "abc");
}

TEST_F(RegistryTest, TypeAndSizeErrorsNameTheValue) {
    const std::string key = "Software\\kalvorin\\scores";
    store(key, "sz3", platform::kRegSz, std::string("70\0", 3));
    store(key, "sz6", platform::kRegSz, std::string("-1000\0", 6));
    store(key, "bin8", platform::kRegBinary, std::string(8, '\1'));
    store(key, "bin4", platform::kRegBinary, std::string(4, '\1'));
    store(key, "dword", platform::kRegDword, std::string("\x46\0\0\0", 4));
    store(key, "short", platform::kRegDword, std::string("\x46", 1));
    const auto s = section("scores");
    EXPECT_EQ(error_of([&] { s.read_int("sz3", 0); }), "Invalid data type for 'sz3'");
    EXPECT_EQ(error_of([&] { s.read_int("sz6", 0); }), "Failed to get data for 'sz6'");
    EXPECT_EQ(error_of([&] { s.read_int("bin8", 0); }), "Failed to get data for 'bin8'");
    EXPECT_EQ(error_of([&] { s.read_int("bin4", 0); }), "Invalid data type for 'bin4'");
    EXPECT_EQ(error_of([&] { s.read_str("dword", ""); }), "Invalid data type for 'dword'");
    EXPECT_EQ(s.read_int("dword", 0), 70);
    EXPECT_EQ(s.read_int("short", 0), 70);
    EXPECT_EQ(s.read_int("short", 1000), 0x346);  // 0x46 over the default's 0xE8 0x03 0x00 0x00
}

#ifndef _WIN32
// The settings file of other systems: put out of reach, replaced and deleted.
TEST_F(RegistryTest, AValueThatCannotBeSetRaises) {
    // A folder where the hive file should be: the store cannot be opened.
    test::make_dir(hive_);
    EXPECT_THROW(section("scores").write_int("secure", 1), ERegistryError);
}

TEST_F(RegistryTest, EveryChangeBetweenTwoReadsIsSeen) {
    // Reads may be answered from the last one while the file is unchanged.
    // Writes of the same size, quicker than the file times' tick, a write
    // denial, another file put in its place and a deleted file all show at
    // the next read.
    auto scores = section("scores");
    for (std::int32_t v = 1; v <= 3; ++v) {
        scores.write_int("secure", v);
        ASSERT_EQ(scores.read_int("secure", 0), v);
    }
    const std::string older = hive_ + ".older";
    test::spit(older, test::slurp(hive_));
    scores.write_int("secure", 4);
    ASSERT_TRUE(platform::reg_set_denied("Software\\kalvorin\\scores", true));
    EXPECT_EQ(scores.read_int("secure", 0), 0);
    ASSERT_TRUE(platform::reg_set_denied("Software\\kalvorin\\scores", false));
    EXPECT_EQ(scores.read_int("secure", 0), 4);
    ASSERT_EQ(std::rename(older.c_str(), hive_.c_str()), 0);
    EXPECT_EQ(scores.read_int("secure", 0), 3);
    ASSERT_EQ(std::remove(hive_.c_str()), 0);
    EXPECT_EQ(scores.read_int("secure", 0), 0);
}

// A write that leaves the file's size and, put back, its modification time
// as they were still shows at the next read.
TEST_F(RegistryTest, AWriteThatKeepsSizeAndModificationTimeIsSeen) {
    auto scores = section("scores");
    scores.write_int("secure", 1);
    ASSERT_EQ(scores.read_int("secure", 0), 1);
    struct stat before {}, after {};
    ASSERT_EQ(::stat(hive_.c_str(), &before), 0);
    scores.write_int("secure", 2);
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, hive_.c_str(), times, 0), 0);
    ASSERT_EQ(::stat(hive_.c_str(), &after), 0);
    ASSERT_EQ(after.st_size, before.st_size);
    EXPECT_EQ(scores.read_int("secure", 0), 2);
}

// Two states of the settings file are one only when every fact agrees: the
// change counter tells apart writes that the size and times do not show.
TEST(HiveStamp, EveryFactThatDiffersMakesAnotherState) {
    using platform::hive::Stamp;
    const Stamp base{1, 2, 4096, {10, 20}, {30, 40}, {0, 0, 0, 7}};
    struct Case {
        const char* differs;
        void (*change)(Stamp&);
    };
    const Case cases[] = {
        {"device", [](Stamp& s) { ++s.dev; }},
        {"inode", [](Stamp& s) { ++s.ino; }},
        {"size", [](Stamp& s) { ++s.size; }},
        {"mtime seconds", [](Stamp& s) { ++s.mtime.tv_sec; }},
        {"mtime nanoseconds", [](Stamp& s) { ++s.mtime.tv_nsec; }},
        {"ctime seconds", [](Stamp& s) { ++s.ctime.tv_sec; }},
        {"ctime nanoseconds", [](Stamp& s) { ++s.ctime.tv_nsec; }},
        {"counter's low byte", [](Stamp& s) { ++s.change_counter[3]; }},
        {"counter's high byte", [](Stamp& s) { ++s.change_counter[0]; }},
        {"all but the counter", [](Stamp& s) { s = {9, 9, 9, {9, 9}, {9, 9}, s.change_counter}; }},
    };
    EXPECT_TRUE(base == Stamp(base));
    for (const auto& c : cases) {
        Stamp other = base;
        c.change(other);
        EXPECT_FALSE(other == base) << c.differs;
        EXPECT_FALSE(base == other) << c.differs;
    }
}

#endif  // _WIN32

}  // namespace
}  // namespace kalvorin
