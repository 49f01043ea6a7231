// End-to-end: the configuration program of the program folder, started on a
// fresh folder with the offscreen platform, writes what its start-up writes.
#include <gtest/gtest.h>

#include <filesystem>

#include "CodigoComun/ConfigSys.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

namespace fs = std::filesystem;

// The program copied into a folder of its own, with its runtime files.
class FreshFolderTest : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        folder_ = tmp_ / "program";
        test::install_program(folder_);
    }

    // Starts the program and ends it once its start-up has emptied the last
    // working file in the base folder.
    void start_and_stop(const std::string& basefolder) const {
        ASSERT_TRUE(test::run_until_file({folder_ + "/Kalvorin"}, {"QT_QPA_PLATFORM=offscreen", "KALVORIN_HIVE=" + hive_},
                                         basefolder + "/suspect.edt.tmp"))
            << "start-up did not finish";
    }

    std::string stored_basefolder() const {
        return settings::section(settings::kDirectorys).read_str(settings::kBasefolder, "<none>");
    }

    std::string folder_;
};

TEST_F(FreshFolderTest, StartUpStoresTheFolderAndCreatesTheFiles) {
    set_basefolder_setting(tmp_ / "old");
    start_and_stop(folder_);
    EXPECT_EQ(stored_basefolder(), folder_);
    const std::pair<const char*, const char*> lists[] = {
        {"secure", ":Secure filters"}, {"trash", ":Trash filters"}, {"suspect", ":Suspect filters"}};
    for (const auto& [name, title] : lists)
        EXPECT_EQ(test::slurp(folder_ + "/" + name + ".filters.txt"),
                  std::string(title) +
                      "\r\n: <-- this is a comment\r\nsnder=\"put your filters here\"\r\nsnder=\"and here\"\r\n:\r\n");
    for (const char* f : {"~tmp.dat", "secure.edt.tmp", "trash.edt.tmp", "suspect.edt.tmp"}) {
        EXPECT_TRUE(test::exists(folder_ + "/" + f)) << f;
        EXPECT_EQ(test::slurp(folder_ + "/" + f), "") << f;
    }
}

TEST_F(FreshFolderTest, TheMarkerFileKeepsTheStoredFolder) {
    // With the marker the stored folder stands: the working files go there,
    // while missing lists are still created beside the program.
    const std::string elsewhere = tmp_ / "elsewhere";
    test::make_dir(elsewhere);
    for (const char* f : {"version.ini", "lang.eng.txt", "lang.txt"}) fs::copy_file(folder_ + "/" + f, elsewhere + "/" + f);
    set_basefolder_setting(elsewhere);
    test::spit(folder_ + "/depure.dat", "");
    test::spit(folder_ + "/secure.filters.txt", "mine\r\n");
    start_and_stop(elsewhere);
    EXPECT_EQ(stored_basefolder(), elsewhere);
    EXPECT_EQ(test::slurp(folder_ + "/secure.filters.txt"), "mine\r\n");  // an existing list is never touched
    EXPECT_TRUE(test::exists(folder_ + "/trash.filters.txt"));
    EXPECT_FALSE(test::exists(folder_ + "/secure.edt.tmp"));
}

}  // namespace
}  // namespace kalvorin
