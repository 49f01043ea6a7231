// The Windows configuration program under Wine, started on a fresh prefix
// with each platform plug-in it carries: the offscreen one that the tests
// use, and the Windows one that users get (with no display, Wine draws
// nowhere). Its start-up stores its folder as the base folder in the registry
// and creates the three lists beside it.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kalvorin
