// The Windows configuration program under Wine, started with the offscreen
// platform on a fresh prefix: its start-up stores its folder as the base
// folder in the registry and creates the three lists beside it.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/Target.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

TEST(WindowsConfig, StartUpStoresTheFolderInTheRegistryAndCreatesTheLists) {
    const test::Target& t = test::Target::current();
    test::TempDir tmp;
    const std::string folder = tmp / "program";
    test::make_dir(folder);
    for (const char* f : {"Kalvorin.exe", "version.ini", "lang.eng.txt", "lang.txt"})
        std::filesystem::copy_file(t.file(f), folder + "/" + f);
    t.clear_settings();

    ASSERT_TRUE(test::run_until_file({"/usr/bin/wine", folder + "/Kalvorin.exe", "-platform", "offscreen"},
                                     {"WINEPREFIX=" + t.wineprefix(), "WINEDEBUG=-all", "LC_ALL=C"},
                                     folder + "/suspect.edt.tmp"))
        << "start-up did not finish";

    auto r = t.reg({"query", "HKCU\\Software\\kalvorin\\directorys", "/v", "basefolder"});
    EXPECT_EQ(r.out, "\nHKCU\\Software\\kalvorin\\directorys\n    basefolder    REG_SZ    " +
                         t.path(folder) + "\n\n");
    for (const char* l : {"secure", "trash", "suspect"})
        EXPECT_NE(test::slurp(folder + "/" + l + ".filters.txt").find("snder=\"put your filters here\"\r\n"),
                  std::string::npos)
            << l;
}

}  // namespace
}  // namespace kalvorin
