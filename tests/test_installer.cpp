// The Windows installer (build/kalvorin-setup.exe, built by
// scripts/windows.sh) under Wine, in a prefix of its own: what a silent
// install puts where, that the installed plug-in scores, and what a silent
// uninstall removes and keeps.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <thread>

#include "support/Target.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

namespace fs = std::filesystem;

const std::string kPrefix = std::string(KALVORIN_WINE_DIR) + "/installer";
const std::string kSetup = std::string(KALVORIN_BUILD_DIR) + "/kalvorin-setup.exe";
const std::string kUninstallKey = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kalvorin";

const std::vector<std::string> kProgramFiles = {
    "Kalvorin.exe", "kalvorin-host.exe", "kalvorin-reg.exe", "kalvorin-lint.exe", "Kalvorin.TBP", "version.ini",
    "lang.eng.txt", "lang.txt", "leame.txt", "faq.txt", "filters.hlp.txt", "leame.esp.txt", "faq.esp.txt",
    "filters.hlp.esp.txt", "uninstall.exe"};

// The 64-bit programs, run in the installer's prefix.
const test::Target& installer_target() {
    static const test::Target t = test::Target::current().in_prefix(kPrefix);
    return t;
}

// A program of the prefix, or a file, with its arguments.
test::RunResult wine(const std::vector<std::string>& args) {
    return installer_target().run_file(args.front(), {args.begin() + 1, args.end()});
}

// Compared without printing: the files are programs.
bool same_file(const std::string& a, const std::string& b) { return test::slurp(a) == test::slurp(b); }

bool eventually(const std::function<bool()>& done) {
    for (int i = 0; i < 600; ++i) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

// Each test installs into a folder of its own and uninstalls at its end, so
// that the prefix's one uninstall entry is always the test's own.
class Installer : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        folder_ = "C:\\kalvorin-" + name.substr(0, name.find('/'));
        local_ = kPrefix + "/drive_c/kalvorin-" + name.substr(0, name.find('/'));
        fs::remove_all(local_);
        wine({"reg", "delete", "HKCU\\Software\\kalvorin", "/f"});
    }

    test::RunResult install(std::vector<std::string> args = {}) const {
        args.insert(args.begin(), {kSetup, "/S"});
        args.push_back("/D=" + folder_);  // last, as the installer requires
        return wine(args);
    }

    // A silent uninstall goes on in a copy of its own after the command has
    // returned; it removes itself last, before only the emptied folder.
    void uninstall(std::vector<std::string> args = {}) const {
        args.insert(args.begin(), {local_ + "/uninstall.exe", "/S"});
        ASSERT_EQ(wine(args).status, 0);
        ASSERT_TRUE(eventually([&] { return !fs::exists(local_ + "/uninstall.exe"); }));
    }

    test::RunResult run(const std::string& program, const std::vector<std::string>& args) const {
        std::vector<std::string> a{local_ + "/" + program};
        a.insert(a.end(), args.begin(), args.end());
        return wine(a);
    }

    // The window's start-up, as at the Start-menu entry's first use: it
    // stores its folder as the base folder and writes the three lists.
    void start_window() const {
        const auto c = installer_target().command(local_ + "/Kalvorin.exe", {"-platform", "offscreen"});
        ASSERT_TRUE(test::run_until_file(c.argv, c.env, local_ + "/suspect.edt.tmp"));
    }

    std::string file(const std::string& name) const { return local_ + "/" + name; }

    std::string folder_, local_;
};

fs::path shortcut() {
    for (const auto& user : fs::directory_iterator(kPrefix + "/drive_c/users")) {
        const fs::path lnk = user.path() / "AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Kalvorin.lnk";
        if (fs::exists(lnk)) return lnk;
    }
    return {};
}

bool holds_key(const std::string& key) { return wine({"reg", "query", key}).status == 0; }

TEST_F(Installer, SilentInstallScoresFromItsFolderAndSilentUninstallKeepsTheUsersFiles) {
    auto r = install();
    ASSERT_EQ(r.status, 0) << r.err;
    for (const std::string& f : kProgramFiles) EXPECT_TRUE(fs::exists(file(f))) << f;
    EXPECT_TRUE(same_file(file("Kalvorin.TBP"), std::string(KALVORIN_BUILD_DIR) + "/win64/dist/Kalvorin.TBP"));
    ASSERT_FALSE(shortcut().empty());
    EXPECT_NE(test::slurp(shortcut()).find(folder_ + "\\Kalvorin.exe"), std::string::npos);

    const auto entry = wine({"reg", "query", kUninstallKey}).out;
    for (const std::string& value : std::vector<std::string>{"DisplayName    REG_SZ    Kalvorin", "UninstallString    REG_SZ    \"" + folder_ + "\\uninstall.exe\"",
          "QuietUninstallString    REG_SZ    \"" + folder_ + "\\uninstall.exe\" /S",
          "InstallLocation    REG_SZ    " + folder_})
        EXPECT_NE(entry.find(value), std::string::npos) << value << "\n" << entry;

    start_window();
    test::spit(file("trash.filters.txt"), ":Trash\r\nsbjct=#win#\r\n:");
    test::TempDir message;
    test::spit(message / "SBJCT", "you win");
    const std::string parts = "Z:" + message.path();
    r = run("kalvorin-host.exe", {"--parts", parts});
    EXPECT_EQ(r.out, "1000\t" + parts + "\n") << r.err;
    EXPECT_NE(test::slurp(file("plugin.log.txt")).find("|Final Score : 1000"), std::string::npos);

    // An edited language file and the lists survive an install over the old one.
    test::spit(file("lang.txt"), "mine\r\n");
    ASSERT_EQ(install().status, 0);
    EXPECT_EQ(test::slurp(file("lang.txt")), "mine\r\n");
    EXPECT_EQ(test::slurp(file("trash.filters.txt")), ":Trash\r\nsbjct=#win#\r\n:");

    uninstall();
    for (const char* f : {"Kalvorin.exe", "kalvorin-host.exe", "Kalvorin.TBP", "version.ini", "uninstall.exe"})
        EXPECT_FALSE(fs::exists(file(f))) << f;
    for (const char* f : {"secure.filters.txt", "trash.filters.txt", "suspect.filters.txt", "plugin.log.txt",
                                 "lang.txt"})
        EXPECT_TRUE(fs::exists(file(f))) << f;
    EXPECT_TRUE(shortcut().empty());
    EXPECT_FALSE(holds_key(kUninstallKey));
    EXPECT_TRUE(holds_key("HKCU\\Software\\kalvorin\\directorys"));
}

TEST_F(Installer, UninstallAskedToRemoveDataLeavesNothing) {
    ASSERT_EQ(install().status, 0);
    start_window();
    uninstall({"/REMOVEDATA"});
    EXPECT_TRUE(eventually([&] { return !fs::exists(local_); }));
    EXPECT_FALSE(holds_key("HKCU\\Software\\kalvorin"));
}

// The plug-in that matches the mail client: 64-bit unless asked.
struct Choice {
    std::string name, option, dist;  // dist empty: refused
};

void PrintTo(const Choice& c, std::ostream* os) { *os << c.name; }

class InstallerPlugin : public Installer, public ::testing::WithParamInterface<Choice> {};

TEST_P(InstallerPlugin, InstallsThePlugInOfTheArchitectureAsked) {
    const Choice& c = GetParam();
    auto r = install(c.option.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.option});
    if (c.dist.empty()) {
        EXPECT_EQ(r.status, 2);
        EXPECT_FALSE(fs::exists(local_));
        return;
    }
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(same_file(file("Kalvorin.TBP"), std::string(KALVORIN_BUILD_DIR) + "/" + c.dist + "/dist/Kalvorin.TBP"));
    uninstall();
}

INSTANTIATE_TEST_SUITE_P(, InstallerPlugin,
                         ::testing::Values(Choice{"Default", "", "win64"}, Choice{"Asked64", "/PLUGIN=64", "win64"},
                                           Choice{"Asked32", "/PLUGIN=32", "win32"},
                                           Choice{"Refused", "/PLUGIN=16", ""}),
                         [](const auto& info) { return info.param.name; });

// A folder shared with other programs: the installer writes over, and the
// uninstaller removes, only what Kalvorin put there and nobody changed since.
struct Planted {
    std::string name, bytes;
};

struct Sharing {
    std::string name;
    bool existed = false;             // the folder is there before the install
    std::vector<Planted> before = {}; // in it before the install
    bool refused = false;
    bool update = false;              // installed twice
    std::vector<Planted> after = {};  // written over Kalvorin's after the install
    // Planted after the install as links to a file outside the folder with
    // the bytes of Kalvorin's file of that name, so that only the link tells.
    std::vector<std::string> links = {};
    bool remove_data = false;
    bool folder_gone = false;
};

void PrintTo(const Sharing& c, std::ostream* os) { *os << c.name; }

class InstallerSharing : public Installer, public ::testing::WithParamInterface<Sharing> {};

TEST_P(InstallerSharing, TouchesOnlyItsOwnFiles) {
    const Sharing& c = GetParam();
    if (c.existed) fs::create_directories(local_);
    for (const Planted& p : c.before) test::spit(file(p.name), p.bytes);
    const auto r = install();
    test::TempDir outside;
    std::vector<Planted> targets;
    if (c.refused) {
        EXPECT_EQ(r.status, 2);
        EXPECT_NE(r.err.find("holds version.ini, faq.txt, which Kalvorin did not install"), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(file("Kalvorin.exe")));
    } else {
        ASSERT_EQ(r.status, 0) << r.err;
        if (c.update) ASSERT_EQ(install().status, 0);
        for (const Planted& p : c.after) test::spit(file(p.name), p.bytes);
        for (const std::string& name : c.links) {
            targets.push_back({outside / name, fs::exists(file(name)) ? test::slurp(file(name)) : "outside"});
            test::spit(targets.back().name, targets.back().bytes);
            fs::remove(file(name));
            fs::create_symlink(targets.back().name, file(name));
        }
        uninstall(c.remove_data ? std::vector<std::string>{"/REMOVEDATA"} : std::vector<std::string>{});
        EXPECT_FALSE(fs::exists(file("Kalvorin.exe")));
    }
    // Compared without printing: a file written over is a whole text.
    for (const auto* planted : {&c.before, &c.after})
        for (const Planted& p : *planted) EXPECT_TRUE(test::slurp(file(p.name)) == p.bytes) << p.name;
    for (const Planted& t : targets) EXPECT_TRUE(test::slurp(t.name) == t.bytes) << t.name;
    if (c.folder_gone)
        EXPECT_TRUE(eventually([&] { return !fs::exists(local_); }));
    else
        EXPECT_TRUE(fs::exists(local_));
}

INSTANTIATE_TEST_SUITE_P(
    , InstallerSharing,
    ::testing::Values(
        Sharing{.name = "AnotherPlugInsFilesRefuseTheInstall",
                .existed = true,
                .before = {{"version.ini", "2.7\r\n"}, {"faq.txt", "Another plug-in's questions\r\n"}},
                .refused = true},
        Sharing{.name = "UninstallKeepsAFileAnotherProgramWroteOverKalvorins",
                .after = {{"version.ini", "2.7\r\n"}}},
        Sharing{.name = "UninstallKeepsAFileTheUserChanged",
                .after = {{"leame.txt", "my notes\r\n"}},
                .remove_data = true},
        Sharing{.name = "RemoveDataKeepsAnotherProgramsDataAndTheFolderThatExisted",
                .existed = true,
                .before = {{"plugin.log.txt", "their log\r\n"}, {"plugin.lock", "4711"}},
                .after = {{"lang.txt", "their language\r\n"}},
                .remove_data = true},
        Sharing{.name = "UninstallFollowsNoLink", .links = {"faq.txt", "plugin.log.txt"}, .remove_data = true},
        Sharing{.name = "UpdateOverAnEarlierInstall", .update = true, .remove_data = true, .folder_gone = true}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace kalvorin
