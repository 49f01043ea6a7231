// Which folder the window takes for its own: the program's beside its texts,
// or, installed, a folder of the account's own filled from the installed texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "config/WindowFolder.h"
#include "support/TestSupport.h"

namespace kalvorin::config {
namespace {

namespace fs = std::filesystem;

struct Layout {
    test::TempDir root;
    std::string program = root / "bin";
    std::string texts = root / "texts";
    std::string own = root / "own" + test::kSep + "kalvorin";

    Layout() {
        test::make_dir(program);
        test::make_dir(texts);
        test::spit(texts + test::kSep + "version.ini", "2.0\n");
        test::spit(texts + test::kSep + "lang.txt", "shipped\n");
        test::spit(texts + test::kSep + "faq.txt", "new help\n");
    }
    std::string own_file(const std::string& name) const { return own + test::kSep + name; }
};

TEST(WindowFolder, BesideItsTextsTheProgramFolderIsTakenAndNothingIsMade) {
    Layout l;
    test::spit(l.program + test::kSep + "version.ini", "1.0\n");
    EXPECT_EQ(window_folder(l.program, l.texts, l.own), l.program);
    EXPECT_FALSE(test::exists(l.own));
}

TEST(WindowFolder, WithoutInstalledTextsTheProgramFolderIsTaken) {
    Layout l;
    fs::remove(l.texts + test::kSep + "version.ini");
    EXPECT_EQ(window_folder(l.program, l.texts, l.own), l.program);
    EXPECT_FALSE(test::exists(l.own));
}

TEST(WindowFolder, InstalledTheOwnFolderIsMadePrivateAndFilled) {
    Layout l;
    ASSERT_EQ(window_folder(l.program, l.texts, l.own), l.own);
    EXPECT_EQ(test::slurp(l.own_file("version.ini")), "2.0\n");
    EXPECT_EQ(test::slurp(l.own_file("lang.txt")), "shipped\n");
#ifndef _WIN32
    EXPECT_EQ(fs::status(l.own).permissions() & fs::perms::all, fs::perms::owner_all);
#endif
}

// The account's language file stays; the program's own texts follow an upgrade.
TEST(WindowFolder, AgainTheLanguageFilesAreKeptAndTheProgramsTextsRenewed) {
    Layout l;
    test::make_dir(l.root / "own");
    test::make_dir(l.own);
    test::spit(l.own_file("lang.txt"), "");
    test::spit(l.own_file("version.ini"), "1.0\n");
    test::spit(l.own_file("faq.txt"), "old help\n");
    ASSERT_EQ(window_folder(l.program, l.texts, l.own), l.own);
    EXPECT_EQ(test::slurp(l.own_file("lang.txt")), "");
    EXPECT_EQ(test::slurp(l.own_file("version.ini")), "2.0\n");
    EXPECT_EQ(test::slurp(l.own_file("faq.txt")), "new help\n");
}

}  // namespace
}  // namespace kalvorin::config
