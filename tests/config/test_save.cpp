// Save All: the stored settings, the merge of the pending lines into the
// lists, and what a failing save leaves behind.
#include <filesystem>
#include <optional>
#include <set>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "CodigoComun/ConfigSys.h"
#include "platform/registry.h"
#include "config/WindowFixture.h"
#ifndef _WIN32
#include "support/Planted.h"
#endif

namespace kalvorin::test {
namespace {

using config::TForm1;

class SaveTest : public WindowTest {
protected:
    TForm1& w() { return form ? *form : open_window(); }
    void save() {
        w().btn_saveall->setEnabled(true);
        w().btn_saveall->click();
    }
    std::string list(const std::string& name) const { return slurp(base() + name + ".filters.txt"); }
    void pending(const std::string& name, const std::string& content) const {
        spit(base() + name + ".edt.tmp", content);
    }
    // What the base folder holds beyond the files of the window and the fixture.
    std::set<std::string> leftovers() const {
        const std::set<std::string> known = {"version.ini",     "lang.eng.txt",      "lang.txt",
                                             "~tmp.dat",        "secure.filters.txt", "trash.filters.txt",
                                             "suspect.filters.txt", "secure.edt.tmp", "trash.edt.tmp",
                                             "suspect.edt.tmp"};
        std::set<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(base()))
            if (!known.contains(entry.path().filename().string())) out.insert(entry.path().filename().string());
        return out;
    }
};

// ------------------------------------------------------------------ settings

TEST_F(SaveTest, StoresScoresRuleSwitchesAndLogSize) {
    w().edt_secure->setText(" -20");
    w().edt_trash->setText("$10");
    w().edt_suspect->setText("5");
    w().edt_logsize->setText("25");
    w().rd_trash->setChecked(true);
    w().chk_uppercase->setChecked(false);
    w().chk_up50kb->setChecked(false);
    w().chk_expert->setChecked(true);
    save();

    ASSERT_TRUE(seam.errors.empty());
    clsConfigSys config;
    std::int32_t secure = 0, trash = 0, suspect = 0;
    config.get_scores(secure, trash, suspect);
    EXPECT_EQ(secure, -20);
    EXPECT_EQ(trash, 16);
    EXPECT_EQ(suspect, 5);
    EXPECT_EQ(config.get_logsize(), 25);
    EXPECT_EQ(config.get_extimg(), "trash");
    EXPECT_FALSE(config.get_uppercase());
    EXPECT_FALSE(config.get_up50kb());
    EXPECT_TRUE(config.get_xpertmode());
    EXPECT_FALSE(w().btn_saveall->isEnabled());
}

struct RuleChange {
    const char* stored;
    QRadioButton* TForm1::*chosen;
    const char* saved;
};

TEST_F(SaveTest, TheChosenRuleReplacesTheStoredOne) {
    const RuleChange cases[] = {{"trash", &TForm1::rd_none, "none"},
                                {"none", &TForm1::rd_suspect, "susp"},
                                {"susp", &TForm1::rd_trash, "trash"}};
    for (const RuleChange& c : cases) {
        SCOPED_TRACE(c.stored);
        form.reset();
        clsConfigSys().set_extimg(c.stored);
        (w().*c.chosen)->setChecked(true);
        save();
        EXPECT_EQ(clsConfigSys().get_extimg(), c.saved);
    }
    EXPECT_TRUE(seam.errors.empty());
}

TEST_F(SaveTest, FieldsWithoutAnIntegerStoreTheirDefaults) {
    w().edt_secure->setText("12 ");
    w().edt_trash->setText("lots");
    w().edt_suspect->setText("");
    w().edt_logsize->setText("zz");
    w().rd_suspect->setChecked(true);
    save();

    clsConfigSys config;
    std::int32_t secure = 0, trash = 0, suspect = 0;
    config.get_scores(secure, trash, suspect);
    EXPECT_EQ(secure, -1000);
    EXPECT_EQ(trash, 1000);
    EXPECT_EQ(suspect, 70);
    EXPECT_EQ(config.get_logsize(), 9);
    EXPECT_EQ(config.get_extimg(), "susp");
    EXPECT_TRUE(seam.errors.empty());
}

struct ShownAfterSave {
    QLineEdit* TForm1::*field;
    const char* typed;
    const char* shown;
};

TEST_F(SaveTest, EveryNumberFieldShowsWhatWasStored) {
    const ShownAfterSave cases[] = {
        {&TForm1::edt_secure, "abc", "-1000"},  {&TForm1::edt_trash, "99999999999", "1000"},
        {&TForm1::edt_suspect, " 12", "12"},    {&TForm1::edt_trash, "$10", "16"},
        {&TForm1::edt_secure, "12 ", "-1000"}, {&TForm1::edt_logsize, "1000", "1000"},
        {&TForm1::edt_logsize, "x", "9"},       {&TForm1::edt_logsize, " 7", "7"},
    };
    for (const ShownAfterSave& c : cases) {
        SCOPED_TRACE(c.typed);
        (w().*c.field)->setText(c.typed);
        save();
        EXPECT_EQ((w().*c.field)->text().toStdString(), c.shown);
        EXPECT_FALSE(w().btn_saveall->isEnabled());
    }
    EXPECT_TRUE(seam.errors.empty());
}

// A log size the plug-in would not obey is refused in the window's
// language, and nothing is saved.
TEST_F(SaveTest, ALogSizeOutsideTheRangeIsRefusedAndNothingSaved) {
    spit(base() + "lang.eng.txt", language_lines("E", 339));
    for (const char* typed : {"0", "-5", "1001", "2147483647", "$FFF"}) {
        SCOPED_TRACE(typed);
        seam.errors.clear();
        clsConfigSys().set_scores(-1000, 1000, 70);
        w().edt_secure->setText("-7");
        w().edt_logsize->setText(typed);
        save();
        EXPECT_EQ(seam.errors, std::vector<std::string>{"E267"});
        std::int32_t secure = 0, trash = 0, suspect = 0;
        clsConfigSys().get_scores(secure, trash, suspect);
        EXPECT_EQ(secure, -1000);
        EXPECT_EQ(clsConfigSys().get_logsize(), 9);
        EXPECT_TRUE(w().btn_saveall->isEnabled());
    }
}

TEST_F(SaveTest, DisablesTheBulkAddButtons) {
    for (QPushButton* b : {w().btn_bulkaddsecure, w().btn_bulkaddtrash, w().btn_bulkaddsuspect}) b->setEnabled(true);
    save();
    for (QPushButton* b : {w().btn_bulkaddsecure, w().btn_bulkaddtrash, w().btn_bulkaddsuspect})
        EXPECT_FALSE(b->isEnabled());
}

// ------------------------------------------------------------------ merge and compaction

TEST_F(SaveTest, StartUpListLosesItsFinalLineEndAndGainsAClosingColon) {
    w();
    save();
    EXPECT_EQ(list("secure"),
              ":Secure filters\r\n: <-- this is a comment\r\nsnder=\"put your filters here\"\r\n"
              "snder=\"and here\"\r\n:");
    for (const char* name : {"secure", "trash", "suspect"}) EXPECT_EQ(slurp(base() + name + ".edt.tmp"), "");
}

TEST_F(SaveTest, PendingLinesLongerThanFiveCharactersAreAppendedInOrder) {
    spit(base() + "trash.filters.txt", ":T\r\nab\r\nabc\r\n\r\n::\r\nx\r\n:");
    w();
    pending("trash", "123456\r\n12345\r\n\r\nSBJCT=#win#\r\n");
    seam.question_answer = true;  // 123456 decides every message: save it anyway
    save();
    EXPECT_EQ(list("trash"), "abc\r\n123456\r\nSBJCT=#win#\r\n:");
    EXPECT_EQ(slurp(base() + "trash.edt.tmp"), "");
}

TEST_F(SaveTest, SavingTwiceGivesIdenticalLists) {
    w();
    pending("suspect", "SNDER=\"spam\"\r\n");
    save();
    const std::string first = list("suspect");
    save();
    EXPECT_EQ(list("suspect"), first);
    EXPECT_TRUE(first.ends_with("\r\nSNDER=\"spam\"\r\n:")) << first;
}

TEST_F(SaveTest, MissingListIsCreatedWithTheWaitingLines) {
    w();
    std::remove((base() + "secure.filters.txt").c_str());
    pending("secure", "SNDER=#me#\r\n");
    save();
    EXPECT_EQ(list("secure"), "SNDER=#me#\r\n:");
}

TEST_F(SaveTest, HandWrittenLastLineWithoutLineEndStaysWhole) {
    spit(base() + "secure.filters.txt", ":mine\r\nSNDER=#friend#");
    w();
    pending("secure", "SBJCT=#invoice#\r\n");
    save();
    EXPECT_EQ(list("secure"), ":mine\r\nSNDER=#friend#\r\nSBJCT=#invoice#\r\n:");
}

TEST_F(SaveTest, ListEndingInTheColonOfAnEarlierSaveGetsNoExtraLine) {
    spit(base() + "secure.filters.txt", "SNDER=#friend#\r\n:");
    w();
    save();
    EXPECT_EQ(list("secure"), "SNDER=#friend#\r\n:");
}

// ------------------------------------------------------------------ failures

struct StartUpStop {
    const char* name;
    void (*cause)(const std::string& base);
};

// Settings and waiting lines of an earlier run that the window never loaded
// stay as they are, whichever start-up step stopped.
TEST_F(SaveTest, AfterAStartUpThatStoppedNothingIsSaved) {
    const StartUpStop cases[] = {
        {"version.ini", [](const std::string& b) { std::remove((b + "version.ini").c_str()); }},
        {"lang.txt", [](const std::string& b) { std::remove((b + "lang.txt").c_str()); }},
        {"wrong type", [](const std::string&) {
             store_value("Software\\kalvorin\\settings", "xpertmode", platform::kRegDword, dword(1));
         }},
    };
    for (const StartUpStop& c : cases) {
        SCOPED_TRACE(c.name);
        form.reset();
        seam.errors.clear();
        clsConfigSys config;
        config.set_scores(-2000, 5000, 70);
        config.set_logsize(50);
        config.set_up50kb(true);
        spit(base() + "trash.filters.txt", ":old\r\n");
        c.cause(base());
        pending("trash", "SBJCT=#from an earlier run#\r\n");
        w();
        ASSERT_EQ(seam.errors.size(), 1u);
        w().chk_up50kb->setChecked(!w().chk_up50kb->isChecked());
        w().btn_saveall->click();

        ASSERT_EQ(seam.errors.size(), 2u);
        EXPECT_EQ(seam.errors[1], "Nothing was saved. Start-up stopped at \"" + seam.errors[0] +
                                      "\", so the window did not load the stored settings. Mend the cause and "
                                      "start the program again.");
        std::int32_t secure = 0, trash = 0, suspect = 0;
        config.get_scores(secure, trash, suspect);
        EXPECT_EQ(secure, -2000);
        EXPECT_EQ(trash, 5000);
        EXPECT_EQ(config.get_logsize(), 50);
        EXPECT_TRUE(config.get_up50kb());
        EXPECT_EQ(list("trash"), ":old\r\n");
        spit(base() + "version.ini", "1.0\r\n");
        spit(base() + "lang.txt", language_lines("S", 66));
        clsConfigSys().set_xpertmode(false);
    }
    w().close();
    EXPECT_TRUE(seam.warnings.empty());
}


TEST_F(SaveTest, MissingPendingFileStopsTheSaveWithEarlierStepsKept) {
    w();
    pending("secure", "SNDER=#first#\r\n");
    pending("suspect", "SNDER=#third#\r\n");
    std::remove((base() + "trash.edt.tmp").c_str());
    const std::string suspect_before = list("suspect");
    w().edt_secure->setText("-7");
    save();

    EXPECT_EQ(seam.errors, std::vector<std::string>{"File not found: " + base() + "trash.edt.tmp"});
    std::int32_t secure = 0, trash = 0, suspect = 0;
    clsConfigSys().get_scores(secure, trash, suspect);
    EXPECT_EQ(secure, -7);
    EXPECT_NE(list("secure").find("SNDER=#first#\r\n:"), std::string::npos);
    EXPECT_EQ(list("suspect"), suspect_before);
    EXPECT_EQ(slurp(base() + "suspect.edt.tmp"), "SNDER=#third#\r\n");
    EXPECT_TRUE(w().btn_saveall->isEnabled());

    w().close();
    EXPECT_TRUE(seam.warnings.empty()) << "no completed save, no close message";
}

TEST_F(SaveTest, ListThatCannotBeReplacedKeepsItsWaitingLines) {
    w();
    // A folder in the list's place: reading finds no list, replacing it fails.
    std::remove((base() + "trash.filters.txt").c_str());
    std::filesystem::create_directory(base() + "trash.filters.txt");
    pending("trash", "SBJCT=#prize#\r\n");
    save();

    EXPECT_EQ(seam.errors, std::vector<std::string>{"Access denied: " + base() + "trash.filters.txt"});
    EXPECT_EQ(slurp(base() + "trash.edt.tmp"), "SBJCT=#prize#\r\n");
    EXPECT_TRUE(std::filesystem::is_directory(base() + "trash.filters.txt"));
    EXPECT_TRUE(leftovers().empty()) << "the new list's file is removed";

    // Once the obstacle is gone, the same lines are saved exactly once.
    std::filesystem::remove(base() + "trash.filters.txt");
    save();
    EXPECT_EQ(list("trash"), "SBJCT=#prize#\r\n:");
}

TEST_F(SaveTest, AUsersOwnFileOfAnyNameBesideTheListIsLeftAlone) {
    w();
    const std::set<std::string> mine = {"~save.tmp", "~secure.filters.txt.tmp",
#ifndef _WIN32
                                        // Windows drops a name's final dot: such a name is POSIX's own.
                                        "~secure.filters.txt.",
#endif
    };
    for (const std::string& name : mine) spit(base() + name, "mine");
    make_dir(base() + "~save.dir");
    pending("secure", "SBJCT=#prize#\r\n");
    save();

    EXPECT_TRUE(seam.errors.empty());
    EXPECT_TRUE(list("secure").ends_with("SBJCT=#prize#\r\n:"));
    for (const std::string& name : mine) EXPECT_EQ(slurp(base() + name), "mine") << name;
    std::set<std::string> left = mine;
    left.insert("~save.dir");
    EXPECT_EQ(leftovers(), left);
}

TEST_F(SaveTest, StartUpRemovesTheScratchListsOfStoppedSavesAndNothingElse) {
    const std::pair<const char*, bool> files[] = {
        {"~secure.filters.txt.0123456789abcdef", true},  {"~suspect.filters.txt.fedcba9876543210", true},
#ifndef _WIN32
        // Windows' names ignore letter case: there this is the first name.
        {"~secure.filters.txt.0123456789ABCDEF", false},
#endif
        {"~secure.filters.txt.0123456789abcde", false},
        {"~secure.filters.txt.tmp", false},              {"~mine.txt.0123456789abcdef", false},
    };
    for (const auto& [name, removed] : files) spit(base() + name, "mine");
    w();
    for (const auto& [name, removed] : files) EXPECT_EQ(exists(base() + name), !removed) << name;
}

#ifndef _WIN32
// POSIX by nature: permission bits, read-only files that root may not write,
// the file-size limit, links and pipes.
TEST_F(SaveTest, TheListKeepsItsPermissionBits) {
    using std::filesystem::perms;
    const perms cases[] = {perms::owner_read | perms::owner_write,
                           perms::owner_read | perms::owner_write | perms::group_read,
                           perms::owner_all | perms::group_read | perms::others_read};
    w();
    for (const perms mode : cases) {
        std::filesystem::permissions(base() + "trash.filters.txt", mode);
        pending("trash", "SBJCT=#prize#\r\n");
        save();
        EXPECT_EQ(std::filesystem::status(base() + "trash.filters.txt").permissions(), mode);
    }
    EXPECT_TRUE(seam.errors.empty());
}

// Root may write anywhere; ReadOnlyFile takes that power away while it lives.
TEST_F(SaveTest, AFolderThatTakesNoNewFileStillLetsItsListsBeRewritten) {
    spit(base() + "secure.filters.txt", ":mine\r\n");
    w();
    pending("secure", "SNDER=#friend#\r\n");
    {
        ReadOnlyFile locked(folder());
        save();
    }
    EXPECT_TRUE(seam.errors.empty()) << seam.errors.front();
    EXPECT_EQ(list("secure"), ":mine\r\nSNDER=#friend#\r\n:");
    EXPECT_EQ(slurp(base() + "secure.edt.tmp"), "");
    EXPECT_FALSE(w().btn_saveall->isEnabled());
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SaveTest, ARewriteInPlaceCutShortPutsTheOldListBack) {
    spit(base() + "secure.filters.txt", ":mine\r\nSNDER=#friend#\r\n");
    w();
    std::string lines;
    for (int i = 0; i < 40000; ++i) lines += "SNDER=#sender" + std::to_string(i) + "@example.org#\r\n";
    pending("secure", lines);
    {
        ReadOnlyFile locked(folder());
        FileSizeLimit limit(1024 * 1024);
        save();
    }
    EXPECT_EQ(seam.errors, std::vector<std::string>{"I/O error 27: " + base() + "secure.filters.txt"});
    EXPECT_EQ(list("secure"), ":mine\r\nSNDER=#friend#\r\n");
    EXPECT_EQ(slurp(base() + "secure.edt.tmp"), lines);
}

TEST_F(SaveTest, AFolderThatTakesNoNewFileIsNamedWhenAListMustBeMade) {
    w();
    std::remove((base() + "trash.filters.txt").c_str());
    pending("trash", "SNDER=#friend#\r\n");
    {
        ReadOnlyFile locked(folder());
        save();
    }
    EXPECT_EQ(seam.errors, std::vector<std::string>{"Access denied: " + folder()});
    EXPECT_EQ(slurp(base() + "trash.edt.tmp"), "SNDER=#friend#\r\n");
    EXPECT_FALSE(exists(base() + "trash.filters.txt"));
}

TEST_F(SaveTest, ScratchFileCutShortIsRemovedAndTheListKept) {
    w();
    const std::string before = list("secure");
    std::string lines;
    for (int i = 0; i < 40000; ++i) lines += "SNDER=#sender" + std::to_string(i) + "@example.org#\r\n";
    pending("secure", lines);
    {
        // Smaller than the new list, larger than anything else the save writes.
        FileSizeLimit limit(1024 * 1024);
        save();
    }
    ASSERT_EQ(seam.errors.size(), 1u);
    EXPECT_TRUE(seam.errors[0].starts_with("I/O error 27: " + base() + "~secure.filters.txt.")) << seam.errors[0];
    EXPECT_EQ(list("secure"), before);
    EXPECT_EQ(slurp(base() + "secure.edt.tmp"), lines);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(SaveTest, PendingFileThatCannotBeEmptiedStopsTheSaveBeforeTheListChanges) {
    w();
    const std::string before = list("secure");
    pending("secure", "SNDER=#once#\r\n");
    {
        ReadOnlyFile locked(base() + "secure.edt.tmp");
        save();
        save();
    }
    EXPECT_EQ(seam.errors, (std::vector<std::string>(2, "Access denied: " + base() + "secure.edt.tmp")));
    EXPECT_EQ(list("secure"), before);
    EXPECT_EQ(slurp(base() + "secure.edt.tmp"), "SNDER=#once#\r\n");
    EXPECT_TRUE(w().btn_saveall->isEnabled());
    EXPECT_TRUE(leftovers().empty());

    // Writable again, the waiting line reaches the list exactly once.
    save();
    const std::string after = list("secure");
    EXPECT_EQ(after.find("SNDER=#once#"), after.rfind("SNDER=#once#"));
    EXPECT_TRUE(after.ends_with("\r\nSNDER=#once#\r\n:")) << after;
    EXPECT_EQ(slurp(base() + "secure.edt.tmp"), "");
}

TEST_F(SaveTest, ListThatMayNotBeRewrittenStopsTheSave) {
    w();
    const std::string before = list("trash");
    pending("trash", "SBJCT=#prize#\r\n");
    {
        ReadOnlyFile locked(base() + "trash.filters.txt");
        save();
    }
    EXPECT_EQ(seam.errors, std::vector<std::string>{"Access denied: " + base() + "trash.filters.txt"});
    EXPECT_EQ(list("trash"), before);
    EXPECT_EQ(slurp(base() + "trash.edt.tmp"), "SBJCT=#prize#\r\n");
    EXPECT_TRUE(leftovers().empty());
    EXPECT_TRUE(w().btn_saveall->isEnabled());
}

// A link or a pipe in the name of a list or of its pending file stops the
// save there: nothing is read through it or written into it, nor waited on.
TEST_F(SaveTest, AListOrPendingFileThatIsALinkOrAPipeStopsTheSave) {
    const std::pair<const char*, std::string> cases[] = {
        {"secure.filters.txt", kLinkRefused}, {"secure.filters.txt", kPipeRefused},
        {"secure.edt.tmp", kLinkRefused},     {"secure.edt.tmp", kPipeRefused},
    };
    w();
    for (const auto& [file, error] : cases) {
        SCOPED_TRACE(std::string(file) + ": " + error);
        seam.errors.clear();
        spit(tmp_ / "mine.txt", ":mine\r\n");
        spit(base() + "secure.filters.txt", ":list\r\n");
        pending("secure", "SNDER=#friend#\r\n");
        const std::string name = base() + file;
        const bool pipe = error == kPipeRefused;
        {
            const std::optional<PipeRescue> rescue = plant(name, error, tmp_ / "mine.txt");
            save();
            EXPECT_FALSE(rescue && rescue->waited()) << "waited on the pipe";
        }
        EXPECT_EQ(seam.errors, std::vector<std::string>{error + ": " + name});
        EXPECT_EQ(slurp(tmp_ / "mine.txt"), ":mine\r\n");
        EXPECT_EQ(std::filesystem::is_symlink(name), !pipe);
        std::filesystem::remove(name);
        EXPECT_TRUE(leftovers().empty());
    }
}

#endif  // _WIN32

TEST_F(SaveTest, CloseMessageAfterACompletedSaveStaysWhateverFollows) {
    w();
    save();
    std::remove((base() + "secure.edt.tmp").c_str());
    save();
    EXPECT_EQ(seam.errors.size(), 1u);
    w().close();
    ASSERT_EQ(seam.warnings.size(), 1u);
    EXPECT_EQ(seam.warnings[0].text, "S58");
}

}  // namespace
}  // namespace kalvorin::test
