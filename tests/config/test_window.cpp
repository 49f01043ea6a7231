// The window as a whole: its components, start-up and the plain handlers of
// the options, filter files and window level.
#include <filesystem>
#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "CodigoComun/ConfigSys.h"
#include "config/WindowFixture.h"
#include "platform/registry.h"
#include "config/cp1252.h"

namespace kalvorin::test {
namespace {

using config::TForm1;
using config::to_ansi;

std::string text_of(const QAbstractButton* b) { return to_ansi(b->text()); }
std::string text_of(const QLabel* l) { return to_ansi(l->text()); }
std::string text_of(const QLineEdit* e) { return to_ansi(e->text()); }

std::vector<std::string> items(const QComboBox* box) {
    std::vector<std::string> out;
    for (int i = 0; i < box->count(); ++i) out.push_back(to_ansi(box->itemText(i)));
    return out;
}

std::string tab_caption(const TForm1& w, const QWidget* page) {
    return to_ansi(w.pg_ppal->tabText(w.pg_ppal->indexOf(const_cast<QWidget*>(page))));
}

// A language file's lines, split at CR LF.
std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find("\r\n", at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return lines;
}

const char* const kDefaultSecureList =
    ":Secure filters\r\n: <-- this is a comment\r\nsnder=\"put your filters here\"\r\nsnder=\"and here\"\r\n:\r\n";

// ------------------------------------------------------------------ components

TEST_F(WindowTest, EveryComponentCarriesItsNameAndTheTabsStandInOrder) {
    TForm1& w = open_window();
    for (const char* name :
         {"pg_ppal", "btn_saveall", "btn_readme", "btn_faq", "lbl_homelink", "ts_editor", "lbl_record", "lbl_have",
          "lbl_tstring", "lbl_string", "cbox_record", "cbox_have", "cbox_tstring", "edt_string", "btn_add", "edt_4",
          "edt_3", "edt_2", "edt_1", "edt_0", "chk_l4", "chk_l3", "chk_l2", "chk_l1", "chk_L0", "btn_rotate",
          "btn_clear", "btn_or", "btn_and", "chk_expert", "btn_addsecure", "btn_addtrash", "btn_addsuspect",
          "ts_bulk", "lbl_bulkrecord", "lbl_bulkhave", "lbl_bulktstring", "cbox_bulkrecord", "cbox_bulkhave",
          "cbox_bulktstring", "rd_bulkstring", "mmo_origen", "rd_bulkfromfile", "edt_filename", "btn_bulkexaminar",
          "btn_bulkprocesa", "btn_bulkaddsecure", "btn_bulkaddtrash", "btn_bulkaddsuspect", "ts_filters",
          "btn_secure", "btn_trash", "btn_suspect", "btn_testfilters", "btn_helpfilters", "mmo_test", "ts_specials",
          "grp_externalimg", "rd_none", "rd_trash", "rd_suspect", "grp_htmlasmime", "RadioButton1", "RadioButton2",
          "RadioButton3", "ts_options", "grp_scores", "lbl_scoresecure", "lbl_scoretrash", "lbl_scoresuspect",
          "edt_secure", "edt_trash", "edt_suspect", "chk_uppercase", "chk_up50kb", "chk_bodyattach", "lbl_logsize",
          "edt_logsize"}) {
        EXPECT_NE(w.findChild<QWidget*>(name), nullptr) << name;
    }
    EXPECT_NE(w.findChild<QObject*>("OpenDialog1"), nullptr);

    ASSERT_EQ(w.pg_ppal->count(), 5);
    const QWidget* order[] = {w.ts_editor, w.ts_bulk, w.ts_filters, w.ts_specials, w.ts_options};
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w.pg_ppal->widget(i), order[i]) << i;
    EXPECT_EQ(w.pg_ppal->currentWidget(), w.ts_editor);
}

TEST_F(WindowTest, WindowIsAFixedSizeDialogWithOnlyACloseBox) {
    TForm1& w = open_window();
    EXPECT_EQ(w.size(), QSize(607, 328));
    EXPECT_EQ(w.minimumSize(), w.maximumSize());
    EXPECT_TRUE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(w.lbl_homelink->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(text_of(w.lbl_homelink), TForm1::kHomePage);
}

TEST_F(WindowTest, ComponentsThatCannotBeOperatedStayDisabled) {
    TForm1& w = open_window();
    EXPECT_FALSE(w.chk_bodyattach->isEnabled());
    EXPECT_FALSE(w.grp_htmlasmime->isEnabled());
    EXPECT_EQ(to_ansi(w.grp_htmlasmime->title()), "htlm encoded as base64");
    EXPECT_TRUE(w.RadioButton1->isChecked());
    for (QWidget* level : {static_cast<QWidget*>(w.chk_L0), static_cast<QWidget*>(w.chk_l1)})
        EXPECT_FALSE(level->isEnabled());
}

// ------------------------------------------------------------------ start-up

TEST_F(WindowTest, StartUpWithoutMarkerWritesProgramFolderAndCreatesFiles) {
    for (const char* f : {"~tmp.dat", "secure.edt.tmp", "trash.edt.tmp", "suspect.edt.tmp"})
        spit(base() + f, "left over\r\n");
    open_window();

    EXPECT_TRUE(seam.errors.empty());
    EXPECT_EQ(clsConfigSys().get_basefolder(), base());
    EXPECT_EQ(slurp(base() + "secure.filters.txt"), kDefaultSecureList);
    EXPECT_EQ(slurp(base() + "trash.filters.txt").substr(0, 16), ":Trash filters\r\n");
    EXPECT_EQ(slurp(base() + "suspect.filters.txt").substr(0, 18), ":Suspect filters\r\n");
    for (const char* f : {"~tmp.dat", "secure.edt.tmp", "trash.edt.tmp", "suspect.edt.tmp"}) {
        ASSERT_TRUE(exists(base() + f)) << f;
        EXPECT_EQ(slurp(base() + f), "") << f;
    }
}

TEST_F(WindowTest, StartUpLeavesExistingListsAsTheyAre) {
    spit(base() + "secure.filters.txt", "");
    spit(base() + "trash.filters.txt", "SBJCT=#x#");
    open_window();
    EXPECT_EQ(slurp(base() + "secure.filters.txt"), "");
    EXPECT_EQ(slurp(base() + "trash.filters.txt"), "SBJCT=#x#");
    EXPECT_EQ(slurp(base() + "suspect.filters.txt").substr(0, 18), ":Suspect filters\r\n");
}

// Without a marker file the program folder replaces whatever the setting held;
// a folder of the marker's name is no marker.
TEST_F(WindowTest, WithoutAMarkerFileAnOldBaseFolderSettingIsReplaced) {
    const std::vector<std::pair<const char*, std::function<void()>>> markers = {
        {"no marker", [] {}},
        {"a folder named like the marker", [this] { make_dir(base() + "depure.dat"); }},
    };
    for (const auto& [name, make_marker] : markers) {
        SCOPED_TRACE(name);
        TempDir elsewhere;
        set_basefolder_setting(elsewhere.path());
        make_marker();
        open_window();
        EXPECT_TRUE(seam.errors.empty());
        EXPECT_EQ(clsConfigSys().get_basefolder(), base());
        form.reset();
    }
}

TEST_F(WindowTest, AFolderNamedLikeAListIsNoListAndStopsStartUp) {
    make_dir(base() + "secure.filters.txt");
    open_window();
    EXPECT_EQ(seam.errors, std::vector<std::string>{"Access denied: " + base() + "secure.filters.txt"});
    EXPECT_TRUE(std::filesystem::is_directory(base() + "secure.filters.txt"));
    EXPECT_FALSE(exists(base() + "trash.filters.txt")) << "start-up stopped at the first list";
}

#ifndef _WIN32
// POSIX by nature: folder modes.
// A folder where other accounts may put files stops start-up before the
// window makes or empties any file there. Sticky and this account's own, it
// is taken.
TEST_F(WindowTest, AFolderOthersCanWriteStopsStartUpBeforeAnyFileIsMadeThere) {
    for (const auto& [mode, refused] : {std::pair{0777, true}, std::pair{0775, true}, std::pair{01777, false}}) {
        SCOPED_TRACE(testing::Message() << std::oct << mode);
        seam.errors.clear();
        std::filesystem::remove(base() + "secure.filters.txt");
        spit(base() + "secure.edt.tmp", "SNDER=#waiting#\r\n");
        ASSERT_EQ(::chmod(base().c_str(), static_cast<mode_t>(mode)), 0);
        open_window();
        EXPECT_EQ(seam.errors, refused ? std::vector<std::string>{"the folder " + folder() +
                                                                  " can be written by other accounts; let only its "
                                                                  "owner write it (chmod go-w), or make it sticky and "
                                                                  "your own"}
                                       : std::vector<std::string>{});
        EXPECT_EQ(exists(base() + "secure.filters.txt"), !refused);
        EXPECT_EQ(slurp(base() + "secure.edt.tmp"), refused ? "SNDER=#waiting#\r\n" : "");
        form.reset();
    }
}

// A folder above it that others may write could be swapped for one of
// theirs: that stops start-up too, before any file is made.
TEST_F(WindowTest, AFolderAboveOthersCanWriteStopsStartUp) {
    ASSERT_EQ(::chmod(tmp_.path().c_str(), 0777), 0);
    open_window();
    EXPECT_EQ(seam.errors, std::vector<std::string>{"the folder " + tmp_.path() +
                                                    " above the base folder can be written by other accounts, who "
                                                    "could replace the base folder; let only its owner write it "
                                                    "(chmod go-w)"});
    EXPECT_FALSE(exists(base() + "secure.filters.txt"));
    ASSERT_EQ(::chmod(tmp_.path().c_str(), 0700), 0);
}

#endif  // _WIN32

TEST_F(WindowTest, MarkerKeepsTheBaseFolderSettingAndListsStillGoToTheProgramFolder) {
    TempDir elsewhere;
    spit(elsewhere / "version.ini", "7.5\r\n");
    spit(elsewhere / "lang.eng.txt", language_lines("X", 70));
    spit(elsewhere / "lang.txt", language_lines("Y", 66));
    set_basefolder_setting(elsewhere.path());
    spit(base() + "depure.dat", "");

    TForm1& w = open_window();

    EXPECT_TRUE(seam.errors.empty());
    EXPECT_EQ(clsConfigSys().get_basefolder(), elsewhere.path() + kSep);
    EXPECT_EQ(slurp(base() + "secure.filters.txt"), kDefaultSecureList);
    EXPECT_FALSE(exists(elsewhere / "secure.filters.txt"));
    EXPECT_TRUE(exists(elsewhere / "suspect.edt.tmp"));
    EXPECT_FALSE(exists(base() + "suspect.edt.tmp"));
    EXPECT_EQ(to_ansi(w.windowTitle()), "Kalvorin 7.5 Y2, lang by Y1");
}

TEST_F(WindowTest, CaptionsTitleAndPickListsComeFromTheLanguageSlots) {
    TForm1& w = open_window();
    EXPECT_EQ(to_ansi(w.windowTitle()), "Kalvorin 1.0 S2, lang by S1");

    const std::vector<std::pair<const QAbstractButton*, std::string>> buttons = {
        {w.btn_readme, "S3"},        {w.btn_secure, "S5"},         {w.btn_trash, "S6"},
        {w.rd_trash, "S6"},          {w.btn_suspect, "S7"},        {w.rd_suspect, "S7"},
        {w.btn_saveall, "S24"},      {w.chk_uppercase, "S28"},     {w.btn_testfilters, "S30"},
        {w.rd_none, "S37"},          {w.btn_faq, "S38"},           {w.btn_helpfilters, "S40"},
        {w.chk_up50kb, "S41"},       {w.btn_add, "S43"},           {w.btn_clear, "S44"},
        {w.btn_and, "S45"},          {w.btn_or, "S46"},            {w.btn_addsecure, "S47"},
        {w.btn_bulkaddsecure, "S47"}, {w.btn_addtrash, "S48"},     {w.btn_bulkaddtrash, "S48"},
        {w.btn_addsuspect, "S49"},   {w.btn_bulkaddsuspect, "S49"}, {w.chk_bodyattach, "S55"},
        {w.btn_rotate, "S59"},       {w.chk_expert, "S60"},        {w.btn_bulkexaminar, "S65"},
        {w.btn_bulkprocesa, "S66"},  {w.rd_bulkstring, "S54 S64"}, {w.rd_bulkfromfile, "S63 S64"}};
    for (const auto& [button, caption] : buttons) EXPECT_EQ(text_of(button), caption) << caption;

    const std::vector<std::pair<const QLabel*, std::string>> labels = {
        {w.lbl_scoresecure, "S8"}, {w.lbl_scoretrash, "S9"},  {w.lbl_scoresuspect, "S10"}, {w.lbl_logsize, "S42"},
        {w.lbl_record, "S51"},     {w.lbl_bulkrecord, "S51"}, {w.lbl_have, "S52"},         {w.lbl_bulkhave, "S52"},
        {w.lbl_tstring, "S53"},    {w.lbl_bulktstring, "S53"}, {w.lbl_string, "S54"}};
    for (const auto& [label, caption] : labels) EXPECT_EQ(text_of(label), caption) << caption;

    EXPECT_EQ(tab_caption(w, w.ts_options), "S23");
    EXPECT_EQ(tab_caption(w, w.ts_filters), "S34");
    EXPECT_EQ(tab_caption(w, w.ts_editor), "S50");
    EXPECT_EQ(tab_caption(w, w.ts_bulk), "S61");
    EXPECT_EQ(tab_caption(w, w.ts_specials), "S62");
    EXPECT_EQ(to_ansi(w.grp_externalimg->title()), "S36");
    EXPECT_EQ(to_ansi(w.grp_scores->title()), "S39");
    EXPECT_EQ(to_ansi(w.mmo_test->toPlainText()), "S33");

    const std::vector<std::string> fields = {"1 S11", "2 S12", "5 S15", "6 S16"};
    const std::vector<std::string> operators = {"= S56", "- S57"};
    const std::vector<std::string> delimiters = {"\" S17", "# S18", "% S19"};
    for (const QComboBox* box : {w.cbox_record, w.cbox_bulkrecord}) EXPECT_EQ(items(box), fields);
    for (const QComboBox* box : {w.cbox_have, w.cbox_bulkhave}) EXPECT_EQ(items(box), operators);
    for (const QComboBox* box : {w.cbox_tstring, w.cbox_bulktstring}) EXPECT_EQ(items(box), delimiters);
    for (const QComboBox* box :
         {w.cbox_record, w.cbox_have, w.cbox_tstring, w.cbox_bulkrecord, w.cbox_bulkhave, w.cbox_bulktstring}) {
        EXPECT_EQ(box->currentIndex(), -1);
        EXPECT_FALSE(box->isEditable());
    }
}

TEST_F(WindowTest, ShortLocalLanguageFileLeavesTheRestToTheEnglishOne) {
    // Line 3 is empty on purpose: an empty line still replaces the English text.
    spit(base() + "lang.txt", "S1\r\nS2\r\n\r\nS4\r\nS5");
    TForm1& w = open_window();
    EXPECT_EQ(text_of(w.btn_readme), "");
    EXPECT_EQ(text_of(w.btn_secure), "S5");
    EXPECT_EQ(text_of(w.btn_trash), "E6");
    EXPECT_EQ(text_of(w.btn_bulkprocesa), "E66");
}

TEST_F(WindowTest, LinesAfterTheHundredthAreIgnored) {
    spit(base() + "lang.eng.txt", language_lines("E", 150));
    spit(base() + "lang.txt", language_lines("S", 130));
    TForm1& w = open_window();
    EXPECT_TRUE(seam.errors.empty());
    EXPECT_EQ(text_of(w.btn_bulkprocesa), "S66");
}

TEST_F(WindowTest, CaptionsAreShownAsWrittenNeverAsMarkup) {
    std::string lines = language_lines("S", 66);
    lines.replace(lines.find("S8\r\n"), 2, "<b>bold</b>");
    spit(base() + "lang.txt", lines);
    TForm1& w = open_window();
    ASSERT_TRUE(seam.errors.empty());
    EXPECT_EQ(text_of(w.lbl_scoresecure), "<b>bold</b>");
    EXPECT_EQ(text_of(w.lbl_scoretrash), "S9");
    for (const QLabel* label : w.findChildren<QLabel*>())
        EXPECT_EQ(label->textFormat(), Qt::PlainText) << label->objectName().toStdString();
}

TEST_F(WindowTest, LanguageLinesAreTakenAsBytes) {
    spit(base() + "lang.txt", "T\xe9\r\nEspa\xf1ol \x80\r\n");
    TForm1& w = open_window();
    EXPECT_EQ(w.windowTitle(), QString::fromUtf8("Kalvorin 1.0 Español €, lang by Té"));
}

// Each missing file stops start-up at its step; earlier steps stay done. The
// window still speaks, from the language files read so far or else the
// built-in English, and shows the stored options, which the check takes.
struct MissingFile {
    const char* file;
    bool working_files_made;
    bool built_in_texts;
};

class StartUpFailure : public WindowTest, public ::testing::WithParamInterface<MissingFile> {};

TEST_P(StartUpFailure, ShowsTheFileErrorAndTheWindowStillSpeaksAndShowsTheStoredOptions) {
    std::remove((base() + GetParam().file).c_str());
    clsConfigSys().set_uppercase(true);
    // A pattern in lower case never holds on the text in capitals.
    spit(base() + "secure.filters.txt", ":s\r\nsbjct=%viagra%\r\n");
    const std::vector<std::string> english =
        lines_of(slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/lang.eng.txt"));
    auto text = [&](int n) { return GetParam().built_in_texts ? english.at(n - 1) : "E" + std::to_string(n); };
    TForm1& w = open_window();

    ASSERT_EQ(seam.errors, std::vector<std::string>{"File not found: " + base() + GetParam().file});
    EXPECT_EQ(clsConfigSys().get_basefolder(), base());
    EXPECT_TRUE(exists(base() + "secure.filters.txt"));
    EXPECT_EQ(exists(base() + "~tmp.dat"), GetParam().working_files_made);
    EXPECT_EQ(exists(base() + "suspect.edt.tmp"), GetParam().working_files_made);
    EXPECT_EQ(text_of(w.btn_add), text(43));
    EXPECT_EQ(tab_caption(w, w.ts_filters), text(34));
    EXPECT_NE(to_ansi(w.windowTitle()).find(text(2)), std::string::npos) << to_ansi(w.windowTitle());
    EXPECT_EQ(w.cbox_record->count(), 0) << "the editor generates nothing";
    for (const QPushButton* b : {w.btn_bulkaddsecure, w.btn_bulkaddtrash, w.btn_bulkaddsuspect, w.btn_saveall})
        EXPECT_FALSE(b->isEnabled());
    EXPECT_TRUE(w.chk_uppercase->isChecked());

    w.btn_checklists->click();
    const config::TCheckForm& check = *w.frm_check;
    EXPECT_EQ(to_ansi(check.windowTitle()), text(69));
    EXPECT_EQ(to_ansi(check.lst_findings->headerItem()->text(0)), text(80));
    EXPECT_EQ(to_ansi(check.btn_openlist->text()), text(71));
    ASSERT_GE(check.lst_findings->topLevelItemCount(), 1);
    EXPECT_EQ(to_ansi(check.lst_findings->topLevelItem(0)->text(2)), "never-holds")
        << to_ansi(check.lst_findings->topLevelItem(0)->text(3));
}

INSTANTIATE_TEST_SUITE_P(Files, StartUpFailure,
                         ::testing::Values(MissingFile{"version.ini", false, true},
                                           MissingFile{"lang.eng.txt", true, true},
                                           MissingFile{"lang.txt", true, false}));

TEST_F(WindowTest, AStoredValueOfTheWrongTypeStopsStartUpAndTheWindowStillOpens) {
    store_value("Software\\kalvorin\\settings", "uppercase", platform::kRegDword, dword(1));
    TForm1& w = open_window();
    EXPECT_EQ(seam.errors, std::vector<std::string>{"Invalid data type for 'uppercase'"});
    EXPECT_EQ(text_of(w.btn_add), "S43") << "the captions were set before";
    EXPECT_TRUE(w.rd_none->isChecked()) << "the settings read before it are shown";
    EXPECT_TRUE(w.chk_up50kb->isChecked()) << "and those after it";
    for (const QPushButton* b : {w.btn_bulkaddsecure, w.btn_bulkaddtrash, w.btn_bulkaddsuspect, w.btn_saveall})
        EXPECT_FALSE(b->isEnabled());
    w.show();
    EXPECT_TRUE(w.isVisible());
}

// ------------------------------------------------------------------ settings shown

struct ShownRule {
    const char* stored;
    const char* selected;
};

class SettingsShown : public WindowTest, public ::testing::WithParamInterface<ShownRule> {};

TEST_P(SettingsShown, ExternalImageRuleSelectsItsButtonOnlyWhenExact) {
    clsConfigSys().set_extimg(GetParam().stored);
    TForm1& w = open_window();
    EXPECT_TRUE(w.findChild<QRadioButton*>(GetParam().selected)->isChecked()) << GetParam().stored;
}

INSTANTIATE_TEST_SUITE_P(Rules, SettingsShown,
                         ::testing::Values(ShownRule{"trash", "rd_trash"}, ShownRule{"susp", "rd_suspect"},
                                           ShownRule{"SUSP", "rd_none"}, ShownRule{"Trash", "rd_none"},
                                           ShownRule{"none", "rd_none"}, ShownRule{"", "rd_none"}));

TEST_F(WindowTest, PreparedSettingsAreShownAndSaveAllEndsDisabled) {
    clsConfigSys config;
    config.set_scores(-5, 250, 0);
    config.set_logsize(100);
    config.set_uppercase(false);
    config.set_up50kb(true);
    config.set_xpertmode(true);
    TForm1& w = open_window();

    EXPECT_EQ(text_of(w.edt_secure), "-5");
    EXPECT_EQ(text_of(w.edt_trash), "250");
    EXPECT_EQ(text_of(w.edt_suspect), "0");
    EXPECT_EQ(text_of(w.edt_logsize), "100");  // wider than the field accepts from the keyboard
    EXPECT_FALSE(w.chk_uppercase->isChecked());
    EXPECT_TRUE(w.chk_up50kb->isChecked());
    EXPECT_TRUE(w.chk_expert->isChecked());
    EXPECT_FALSE(w.btn_saveall->isEnabled());
    for (const QPushButton* b : {w.btn_bulkaddsecure, w.btn_bulkaddtrash, w.btn_bulkaddsuspect})
        EXPECT_FALSE(b->isEnabled());
}

TEST_F(WindowTest, StoredExpertModeMakesTheLevelLinesEditableFromTheStart) {
    for (const bool expert : {true, false}) {
        SCOPED_TRACE(expert);
        clsConfigSys().set_xpertmode(expert);
        TForm1& w = open_window();
        EXPECT_EQ(w.chk_expert->isChecked(), expert);
        for (const QLineEdit* line : {w.edt_0, w.edt_1, w.edt_2, w.edt_3, w.edt_4})
            EXPECT_EQ(line->isReadOnly(), !expert) << line->objectName().toStdString();
        form.reset();
    }
}

struct LogSizeTyping {
    const char* shown;   // what the box holds before
    const char* typed;   // inserted at the end, as a keystroke or a paste
    const char* result;
};

TEST_F(WindowTest, TheLogSizeBoxTakesAtMostFourTypedCharacters) {
    const LogSizeTyping cases[] = {
        {"", "12345", "1234"}, {"5", "12345", "5123"}, {"1234", "5", "1234"}, {"", "7", "7"}, {"10000", "5", "10000"},
    };
    clsConfigSys().set_logsize(10000);
    TForm1& w = open_window();
    EXPECT_EQ(text_of(w.edt_logsize), "10000") << "a stored value is shown whole";
    for (const LogSizeTyping& c : cases) {
        SCOPED_TRACE(std::string(c.shown) + " + " + c.typed);
        if (std::string(c.shown) != "10000") w.edt_logsize->setText(c.shown);
        w.edt_logsize->end(false);
        w.edt_logsize->insert(c.typed);
        EXPECT_EQ(text_of(w.edt_logsize), c.result);
        w.edt_logsize->setText("10000");
    }
}

TEST_F(WindowTest, DefaultsAreShownOnAnEmptyStore) {
    TForm1& w = open_window();
    EXPECT_EQ(text_of(w.edt_secure), "-1000");
    EXPECT_EQ(text_of(w.edt_trash), "1000");
    EXPECT_EQ(text_of(w.edt_suspect), "70");
    EXPECT_EQ(text_of(w.edt_logsize), "9");
    EXPECT_TRUE(w.rd_none->isChecked());
    EXPECT_TRUE(w.chk_uppercase->isChecked());
    EXPECT_TRUE(w.chk_up50kb->isChecked());
    EXPECT_FALSE(w.chk_expert->isChecked());
}

// ------------------------------------------------------------------ change handlers

TEST_F(WindowTest, EveryOptionChangeEnablesSaveAll) {
    TForm1& w = open_window();
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"edt_secure", [&] { w.edt_secure->setText("1"); }},
        {"edt_trash", [&] { w.edt_trash->setText("1"); }},
        {"edt_suspect", [&] { w.edt_suspect->setText("1"); }},
        {"edt_logsize", [&] { w.edt_logsize->setText("1"); }},
        {"rd_trash", [&] { w.rd_trash->setChecked(true); }},
        {"rd_suspect", [&] { w.rd_suspect->setChecked(true); }},
        {"rd_none", [&] { w.rd_none->setChecked(true); }},
        {"chk_uppercase", [&] { w.chk_uppercase->toggle(); }},
        {"chk_up50kb", [&] { w.chk_up50kb->toggle(); }}};
    for (const auto& [name, change] : changes) {
        w.btn_saveall->setEnabled(false);
        change();
        EXPECT_TRUE(w.btn_saveall->isEnabled()) << name;
    }
    w.btn_saveall->setEnabled(false);
    w.edt_secure->setText(w.edt_secure->text());
    EXPECT_FALSE(w.btn_saveall->isEnabled()) << "setting the same text runs nothing";
}

// ------------------------------------------------------------------ shell, help, home page, close

std::vector<std::pair<QPushButton*, const char*>> file_buttons(TForm1& w) {
    return {{w.btn_secure, "secure.filters.txt"}, {w.btn_trash, "trash.filters.txt"},
            {w.btn_suspect, "suspect.filters.txt"}, {w.btn_readme, "leame.txt"},
            {w.btn_faq, "faq.txt"},               {w.btn_helpfilters, "filters.hlp.txt"}};
}

TEST_F(WindowTest, FileButtonsOpenTheirFileInTheBaseFolderAndSayNothing) {
    TForm1& w = open_window();
    for (const char* help : {"leame.txt", "faq.txt", "filters.hlp.txt"}) spit(base() + help, "help\r\n");
    for (const auto& [button, file] : file_buttons(w)) {
        seam.opened_files.clear();
        button->click();
        EXPECT_EQ(seam.opened_files, std::vector<std::string>{base() + file}) << file;
    }
    EXPECT_TRUE(seam.errors.empty());
    EXPECT_TRUE(seam.warnings.empty());
}

// A language file names its own help texts; a name that is not a plain file
// name, or whose file is not there, leaves the usual one.
TEST_F(WindowTest, HelpButtonsOpenTheHelpTextsTheLanguageFileNames) {
    struct Named {
        const char* name;
        bool there;
        const char* opened;
    };
    const Named cases[] = {{"leame.esp.txt", true, "leame.esp.txt"},
                           {"leame.esp.txt", false, "leame.txt"},
                           {"sub/leame.esp.txt", true, "leame.txt"},
                           {"", true, "leame.txt"}};
    make_dir(base() + "sub");
    spit(base() + "leame.txt", "help\r\n");
    for (const Named& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((base() + c.name).c_str());
        if (c.there) spit(base() + c.name, "ayuda\r\n");
        spit(base() + "lang.txt", language_lines("S", 309) + c.name + "\r\n");
        TForm1& w = open_window();
        seam.opened_files.clear();
        w.btn_readme->click();
        EXPECT_EQ(seam.opened_files, std::vector<std::string>{base() + c.opened});
    }
}

// The shipped help texts, in each shipped language, name every button of
// the window by its caption.
TEST(ShippedHelp, NamesEveryButtonInBothLanguages) {
    const std::string resources = std::string(KALVORIN_SOURCE_DIR) + "/resources/";
    for (const char* language : {"lang.eng.txt", "lang.txt"}) {
        const std::vector<std::string> lines = lines_of(slurp(resources + language));
        std::string help;
        for (int n : {310, 311, 312}) help += slurp(resources + lines.at(n - 1));
        for (int n : {3, 5, 6, 7, 24, 30, 38, 40, 43, 44, 47, 48, 49, 59, 60, 65, 66, 67, 68, 71, 72})
            EXPECT_NE(help.find(lines.at(n - 1)), std::string::npos) << language << " line " << n;
    }
}

struct OpeningFailure {
    const char* name;
    enum class There { file, nothing, link } there;
    bool desktop_opens;
    const char* said;  // followed by ": " and the file's path
};

TEST_F(WindowTest, AFileThatCannotBeOpenedIsSaidInTheErrorBox) {
    const OpeningFailure cases[] = {
        {"no program", OpeningFailure::There::file, false, "No program is associated with this file"},
        {"missing file", OpeningFailure::There::nothing, true, "File not found"},
#ifndef _WIN32
        // Another program is not handed a file that a link leads to (links
        // in the base folder are a POSIX matter).
        {"a link in its name", OpeningFailure::There::link, true, "Is a symbolic link, not followed"},
#endif
    };
    TForm1& w = open_window();
    spit(tmp_ / "elsewhere.txt", "text\r\n");
    for (const OpeningFailure& c : cases) {
        SCOPED_TRACE(c.name);
        seam.desktop_opens = c.desktop_opens;
        for (const auto& [button, file] : file_buttons(w)) {
            std::remove((base() + file).c_str());
            if (c.there == OpeningFailure::There::file) spit(base() + file, "text\r\n");
            if (c.there == OpeningFailure::There::link) std::filesystem::create_symlink(tmp_ / "elsewhere.txt", base() + file);
            seam.errors.clear();
            button->click();
            EXPECT_EQ(seam.errors, std::vector<std::string>{std::string(c.said) + ": " + base() + file});
        }
    }
}

void left_click(QWidget* widget) {
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)),
                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

TEST_F(WindowTest, HomeLinkOpensItsAddressWhenClicked) {
    TForm1& w = open_window();
    left_click(w.lbl_homelink);
    EXPECT_EQ(seam.opened_urls, std::vector<std::string>{TForm1::kHomePage});
    EXPECT_TRUE(seam.errors.empty());
}

TEST_F(WindowTest, AHomeLinkNoBrowserOpensIsSaidInTheErrorBox) {
    TForm1& w = open_window();
    seam.desktop_opens = false;
    left_click(w.lbl_homelink);
    EXPECT_EQ(seam.errors,
              std::vector<std::string>{std::string("No browser could be started for the address: ") + TForm1::kHomePage});
}

TEST_F(WindowTest, HomeLinkIgnoresButtonsOtherThanTheLeftOne) {
    TForm1& w = open_window();
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::BackButton}) {
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, w.lbl_homelink->mapToGlobal(at), button, button,
                          Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, w.lbl_homelink->mapToGlobal(at), button, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(w.lbl_homelink, &press);
        QApplication::sendEvent(w.lbl_homelink, &release);
    }
    EXPECT_TRUE(seam.opened_urls.empty());
}

TEST_F(WindowTest, ClosingShowsTheCloseMessageOnlyAfterACompletedSave) {
    TForm1& w = open_window();
    w.close();
    EXPECT_TRUE(seam.warnings.empty());

    w.btn_saveall->setEnabled(true);
    w.btn_saveall->click();
    ASSERT_TRUE(seam.errors.empty());
    w.close();
    ASSERT_EQ(seam.warnings.size(), 1u);
    EXPECT_EQ(seam.warnings[0].title, "Warning");
    EXPECT_EQ(seam.warnings[0].text, "S58");
}

}  // namespace
}  // namespace kalvorin::test
