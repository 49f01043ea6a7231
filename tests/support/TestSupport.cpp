// The portable half of the test helpers; TestSupportPosix.cpp and
// TestSupportWin.cpp hold each system's own.
#include "support/TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/EasyRegistry.h"
#include "platform/registry.h"

namespace kalvorin::test {

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void HiveTest::make_base() {
    make_dir(tmp_ / "base");
    base_ = (tmp_ / "base") + kSep;
    spit(base_ + "version.ini", "1.0\r\n");
}

void HiveTest::set_basefolder_setting(const std::string& folder) const {
    // Written straight into the store, so that these tests need no setter.
    store_value("Software\\kalvorin\\directorys", "basefolder", platform::kRegSz, folder + '\0');
}

void store_value(const std::string& key, const std::string& name, std::uint32_t type, const std::string& data) {
    auto k = platform::RegKey::create(key);
    ASSERT_TRUE(k);
    ASSERT_TRUE(k->set(name, type, data));
}

void set_env(const std::string& name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), value.c_str());
#else
    ::setenv(name.c_str(), value.c_str(), 1);
#endif
}

void unset_env(const std::string& name) {
#ifdef _WIN32
    ::_putenv_s(name.c_str(), "");  // an empty value removes it
#else
    ::unsetenv(name.c_str());
#endif
}

std::string dword(std::int32_t v) { return encode_dword(static_cast<std::uint32_t>(v)); }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void spit(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

bool exists(const std::string& path) { return std::filesystem::exists(path); }

void make_dir(const std::string& path) { std::filesystem::create_directories(path); }

std::string utf8_of(char32_t cp) {
    const auto byte = [](char32_t b) { return static_cast<char>(b); };
    if (cp < 0x80) return {byte(cp)};
    if (cp < 0x800) return {byte(0xC0 | (cp >> 6)), byte(0x80 | (cp & 0x3F))};
    if (cp < 0x10000) return {byte(0xE0 | (cp >> 12)), byte(0x80 | ((cp >> 6) & 0x3F)), byte(0x80 | (cp & 0x3F))};
    return {byte(0xF0 | (cp >> 18)), byte(0x80 | ((cp >> 12) & 0x3F)), byte(0x80 | ((cp >> 6) & 0x3F)),
            byte(0x80 | (cp & 0x3F))};
}

std::string dist(const std::string& name) { return std::string(KALVORIN_DIST) + "/" + name; }

}  // namespace kalvorin::test
