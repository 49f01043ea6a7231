// The Windows programs of build/win32/dist and build/win64/dist as objdump
// reads them: the architecture and kind of every file, the protections the
// loader applies, the plug-in's exports and calling convention, and that they
// need no DLL from the build machine. Nothing here runs them, so the 32-bit
// programs are checked on a machine that cannot run them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kalvorin {
namespace {

struct Arch {
    std::string name;        // win32, win64
    std::string format;      // objdump's name of the file format
    std::string magic;       // the optional header's magic
    std::vector<std::string> files;  // the programs and the plug-in
};

const std::vector<Arch>& arches() {
    static const std::vector<Arch> a{
        {"win32", "pei-i386", "010b\t(PE32)",
         {"kalvorin-host.exe", "kalvorin-reg.exe", "kalvorin-lint.exe", "Kalvorin.TBP"}},
        // Only the 64-bit folder carries the configuration program.
        {"win64", "pei-x86-64", "020b\t(PE32+)",
         {"kalvorin-host.exe", "kalvorin-reg.exe", "kalvorin-lint.exe", "Kalvorin.exe", "Kalvorin.TBP"}},
    };
    return a;
}

std::string dist(const Arch& a) { return std::string(KALVORIN_BUILD_DIR) + "/" + a.name + "/dist/"; }

std::string objdump(const std::string& file) {
    auto r = test::run({"/usr/bin/x86_64-w64-mingw32-objdump", "-p", file});
    EXPECT_EQ(r.status, 0) << file << ": " << r.err;
    return r.out;
}

// The lines that follow a header line of objdump's output, up to a line
// that does not start with the given indent.
std::vector<std::string> block(const std::string& text, const std::string& header, const std::string& indent) {
    std::vector<std::string> out;
    const std::size_t at = text.find(header);
    if (at == std::string::npos) return out;
    for (std::size_t pos = text.find('\n', at + header.size()) + 1, nl; pos < text.size(); pos = nl + 1) {
        nl = text.find('\n', pos);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = text.substr(pos, nl - pos);
        if (line.rfind(indent, 0) != 0) break;
        out.push_back(line.substr(line.find_first_not_of(" \t")));
    }
    return out;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The DLLs a file imports, each "DLL Name: X" line of objdump's output.
std::vector<std::string> imported_dlls(const std::string& text) {
    std::vector<std::string> out;
    const std::string key = "DLL Name: ";
    for (std::size_t at = text.find(key); at != std::string::npos; at = text.find(key, at + 1))
        out.push_back(text.substr(at + key.size(), text.find('\n', at) - at - key.size()));
    return out;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// A DLL that a plain Windows folder lacks: the MinGW runtime, Qt, PCRE2.
bool from_build_machine(const std::string& dll) {
    const std::string d = lower(dll);
    for (const char* p : {"lib", "qt", "pcre", "gcc", "stdc++", "winpthread"})
        if (d.rfind(p, 0) == 0) return true;
    return false;
}

void PrintTo(const Arch& a, std::ostream* os) { *os << a.name; }

class WinBinaries : public ::testing::TestWithParam<Arch> {};

TEST_P(WinBinaries, EveryFileIsOfItsArchitectureWithTheLoadersProtectionsAndNeedsOnlySystemDlls) {
    const Arch& a = GetParam();
    for (const std::string& name : a.files) {
        SCOPED_TRACE(a.name + "/" + name);
        const std::string p = objdump(dist(a) + name);
        EXPECT_NE(p.find("file format " + a.format + "\n"), std::string::npos);
        EXPECT_NE(p.find("Magic\t\t\t" + a.magic), std::string::npos);
        const auto flags = block(p, "\nDllCharacteristics", "\t\t\t\t\t");
        for (const char* f : {"DYNAMIC_BASE", "NX_COMPAT"}) EXPECT_TRUE(contains(flags, f)) << f;
        // A 64-bit program may be placed anywhere in its address space.
        EXPECT_EQ(contains(flags, "HIGH_ENTROPY_VA"), a.name == "win64");
        EXPECT_EQ(contains(block(p, "\nCharacteristics", "\t"), "DLL"), name == "Kalvorin.TBP");
        const std::string subsystem = name == "Kalvorin.exe" ? "00000002\t(Windows GUI)" : "00000003\t(Windows CUI)";
        EXPECT_NE(p.find("\nSubsystem\t\t" + subsystem + "\n"), std::string::npos) << subsystem;
        const auto dlls = imported_dlls(p);
        EXPECT_FALSE(dlls.empty());
        for (const std::string& d : dlls) EXPECT_FALSE(from_build_machine(d)) << d;
    }
}

TEST_P(WinBinaries, PluginExportsExactlyTheNineFunctionsUndecorated) {
    const Arch& a = GetParam();
    std::vector<std::string> names;
    for (const std::string& line : block(objdump(dist(a) + "Kalvorin.TBP"), "[Ordinal/Name Pointer] Table", "\t["))
        names.push_back(line.substr(line.find(']') + 2));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"TBP_Finalize", "TBP_GetName", "TBP_GetSpamScore", "TBP_GetStatus",
                                               "TBP_GetVersion", "TBP_Initialize", "TBP_NeedCOM", "TBP_NeedConfig",
                                               "TBP_Setup"}));
}

// The text of a value of a file's version resource, found by its key: each
// entry is the key in UTF-16, a terminator, zeros up to a 4-byte boundary,
// then the value in UTF-16 with its terminator. Empty when there is none.
std::string version_value(const std::string& file, const std::string& key) {
    auto utf16 = [](const std::string& s) {
        std::string out;
        for (char c : s) out += std::string{c, '\0'};
        return out;
    };
    const std::string needle = utf16(key) + std::string(2, '\0');
    const std::size_t at = file.find(needle);
    if (at == std::string::npos) return {};
    std::size_t pos = at + needle.size();
    while (pos + 1 < file.size() && file[pos] == '\0' && file[pos + 1] == '\0') pos += 2;
    std::string value;
    for (; pos + 1 < file.size() && (file[pos] != '\0' || file[pos + 1] != '\0'); pos += 2) value += file[pos];
    return value;
}

std::string version_ini() {
    const std::string v = test::slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/version.ini");
    return v.substr(0, v.find_first_of("\r\n"));
}

// What Windows shows in a file's properties, and the stack protector, whose
// failure handler is linked in only where a function calls it.
TEST_P(WinBinaries, EveryFileHasItsVersionAndTheStackProtector) {
    const Arch& a = GetParam();
    for (const std::string& name : a.files) {
        SCOPED_TRACE(a.name + "/" + name);
        // A version resource: type 16 among the entries of the resource
        // directory's top table, before the first table of names.
        const std::string p = objdump(dist(a) + name);
        const std::size_t top = p.find("Resource Directory section:\n000  Type Table:");
        ASSERT_NE(top, std::string::npos);
        EXPECT_LT(p.find(" Entry: ID: 0x000010,", top), p.find("Name Table:", top));
        const std::string bytes = test::slurp(dist(a) + name);
        EXPECT_EQ(version_value(bytes, "ProductName"), "Kalvorin");
        EXPECT_EQ(version_value(bytes, "OriginalFilename"), name);
        EXPECT_EQ(version_value(bytes, "FileVersion"), version_ini());
        EXPECT_EQ(version_value(bytes, "ProductVersion"), version_ini());
        EXPECT_EQ(version_value(bytes, "FileDescription").rfind("Kalvorin ", 0), 0u);

        auto symbols = test::run({"/usr/bin/x86_64-w64-mingw32-objdump", "-t", dist(a) + name});
        // 32-bit symbols carry one more leading underscore.
        EXPECT_NE(symbols.out.find("__stack_chk_fail\n"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(, WinBinaries, ::testing::ValuesIn(arches()),
                         [](const auto& info) { return info.param.name; });

// 32-bit stdcall functions carry their argument bytes in their symbols; a
// cdecl export would carry none, and a 32-bit mail client would crash calling
// it.
TEST(WinBinaries32, ExportsAreStdcall) {
    auto r = test::run({"/usr/bin/i686-w64-mingw32-nm", std::string(KALVORIN_BUILD_DIR) +
                                  "/win32/plugin/CMakeFiles/kalvorin_tbp.dir/Exports.cpp.obj"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* symbol : {"_TBP_Initialize@0", "_TBP_GetName@8", "_TBP_GetVersion@8", "_TBP_GetSpamScore@8"})
        EXPECT_NE(r.out.find(std::string(" T ") + symbol + "\n"), std::string::npos) << symbol << "\n" << r.out;
}

}  // namespace
}  // namespace kalvorin
