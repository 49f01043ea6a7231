// The Windows configuration program under Wine, started on a fresh prefix
// with each platform plug-in it carries: the offscreen one that the tests
// use, and the Windows one that users get (with no display, Wine draws
// nowhere). Its start-up stores its folder as the base folder in the registry
// and creates the three lists beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "support/Target.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

class WindowsConfig : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(WindowsConfig, StartUpStoresTheFolderInTheRegistryAndCreatesTheLists) {
    const test::Target& t = test::Target::current();
    test::TempDir tmp;
    const std::string folder = tmp / "program";
    test::make_dir(folder);
    for (const char* f : {"Kalvorin.exe", "version.ini", "lang.eng.txt", "lang.txt"})
        std::filesystem::copy_file(t.file(f), folder + "/" + f);
    t.clear_settings();

    const auto c = t.command(folder + "/Kalvorin.exe", GetParam());
    ASSERT_TRUE(test::run_until_file(c.argv, c.env, folder + "/suspect.edt.tmp")) << "start-up did not finish";

    auto r = t.reg({"query", "HKCU\\Software\\kalvorin\\directorys", "/v", "basefolder"});
    EXPECT_EQ(r.out, "\nHKCU\\Software\\kalvorin\\directorys\n    basefolder    REG_SZ    " +
                         t.path(folder) + "\n\n");
    for (const char* l : {"secure", "trash", "suspect"})
        EXPECT_NE(test::slurp(folder + "/" + l + ".filters.txt").find("snder=\"put your filters here\"\r\n"),
                  std::string::npos)
            << l;
}

INSTANTIATE_TEST_SUITE_P(, WindowsConfig,
                         ::testing::Values(std::vector<std::string>{"-platform", "offscreen"},
                                           std::vector<std::string>{}),
                         [](const auto& info) { return info.param.empty() ? "windows" : "offscreen"; });

// The filter files tab's buttons pressed in the Windows program
// (--print-checks) show what they show in the native one: the findings of
// the lists, the message the plug-in logged with why it scored so, what each
// line decided, and the line "Make a line" makes from that message.
class WindowsChecks : public test::HiveTest {
protected:
    test::RunResult print_checks(const test::Target& t) const {
        const std::string folder = tmp_ / t.name();
        test::make_dir(folder);
        for (const char* f : {"version.ini", "lang.eng.txt"}) std::filesystem::copy_file(t.file(f), folder + "/" + f);
        const std::string program = folder + "/" + std::filesystem::path(t.program("Kalvorin")).filename().string();
        std::filesystem::copy_file(t.program("Kalvorin"), program);
        test::spit(folder + "/lang.txt", "");
        test::spit(folder + "/secure.filters.txt", ":Secure\r\nsbjct=#friend#\r\nSBJCT=#FRIEND#\r\nmbody=%viagra%\r\n:");
        test::spit(folder + "/trash.filters.txt", ":Trash\r\nmbody=%(ab%\r\nmbody=#caf\xC3\xA9#\r\n:");
        test::spit(folder + "/suspect.filters.txt", ":Suspect\r\n1\r\n:");
        // The Windows host takes a message as its parts.
        const std::string parts = folder + "/m";
        test::make_dir(parts);
        test::spit(parts + "/SNDER", "ann@x.org");
        test::spit(parts + "/SBJCT", "my friend");
        test::spit(parts + "/MBODY", "hello\r\n");
        test::spit(parts + "/HEADR", "From: ann@x.org\r\nSubject: my friend\r\n\r\n");
        test::spit(parts + "/RWMSG", "From: ann@x.org\r\nSubject: my friend\r\n\r\nhello\r\n");
        t.clear_settings();
        t.reg({"add", "HKCU\\Software\\kalvorin\\directorys", "/v", "basefolder", "/t", "REG_SZ", "/d", t.path(folder),
               "/f"});
        const test::RunResult host = t.run("kalvorin-host", {"--parts", t.path(parts)});
        EXPECT_EQ(host.out, "-1000\t" + t.path(parts) + "\n") << host.err;
        const auto c = t.command(program, {"--print-checks", "-platform", "offscreen"});
        test::RunResult r = test::run(c.argv, "", c.env);
        if (t.windows()) r.out.erase(std::remove(r.out.begin(), r.out.end(), '\r'), r.out.end());
        return r;
    }
};

TEST_F(WindowsChecks, TheFilterFilesTabsButtonsShowWhatTheNativeOnesShow) {
    const test::RunResult native = print_checks(test::Target::all().front());
    const test::RunResult windows = print_checks(test::Target::current());
    EXPECT_EQ(windows.status, 0) << windows.err;
    EXPECT_EQ(windows.out, native.out);
    for (const char* shown : {"finding: trash | 2 | regex-error | correct the pattern",
                              "finding: suspect | 2 | decides-all", "finding: secure | 4 | never-holds",
                              "finding: trash | 3 | utf-8", "finding: secure | 3 | duplicate",
                              "message: ann@x.org | my friend | -1000\n  decided by secure line 2: sbjct=#friend#\n",
                              "use: secure.filters.txt | 2 | 1 | 0 | ", "use: suspect.filters.txt | 2 | 0 | ",
                              "proposal: SNDER=#ann@x.org# | 1 / 1 | 1 | 1\n",
                              "made: Added as a line not yet saved: SNDER=#ann@x.org#\n"})
        EXPECT_NE(windows.out.find(shown), std::string::npos) << shown << "\n" << windows.out;
}

}  // namespace
}  // namespace kalvorin
