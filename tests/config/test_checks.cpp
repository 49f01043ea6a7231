// The filter files tab's two windows and the check before a save, wired to
// the checker, the log reader and the list pass (tested on their own).
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>

#include <QCheckBox>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>

#include "CodigoComun/ConfigSys.h"
#include "config/WindowFixture.h"
#include "config/cp1252.h"
#ifndef _WIN32
#include "support/Planted.h"
#endif

namespace kalvorin::test {
namespace {

using config::to_ansi;

std::string cells(const QTreeWidget* table) {
    std::string out;
    for (int r = 0; r < table->topLevelItemCount(); ++r) {
        for (int c = 0; c < table->columnCount(); ++c) out += (c ? " | " : "") + to_ansi(table->topLevelItem(r)->text(c));
        out += "\n";
    }
    return out;
}

class ChecksTest : public WindowTest {
protected:
    void lists(const std::string& secure, const std::string& trash, const std::string& suspect) const {
        spit(base() + "secure.filters.txt", secure);
        spit(base() + "trash.filters.txt", trash);
        spit(base() + "suspect.filters.txt", suspect);
    }
    void choose(QTreeWidget* table, int row) { table->setCurrentItem(table->topLevelItem(row)); }
    // The window has started, so the pending files exist and are empty.
    void waiting(const std::string& pending, const std::string& lines) const { spit(base() + pending, lines); }
};

TEST_F(ChecksTest, FindingsMostSeriousFirstAndTheChosenLineShown) {
    open_window();
    lists(":s\r\nsbjct=#a#\r\nsbjct=#a#\r\n", ":t\r\nmbody=%(ab%\r\n", ":u\r\n");
    form->btn_checklists->click();
    ASSERT_NE(form->frm_check, nullptr);
    const QTreeWidget* t = form->frm_check->lst_findings;
    EXPECT_EQ(cells(t).substr(0, cells(t).find('\n')),
              "trash | 2 | regex-error | correct the pattern of the test mbody=%(ab% at column 1");
    ASSERT_EQ(t->topLevelItemCount(), 2);
    EXPECT_EQ(to_ansi(t->topLevelItem(1)->text(2)), "duplicate");
    EXPECT_EQ(to_ansi(form->frm_check->windowTitle()), "E69");

    choose(form->frm_check->lst_findings, 1);
    EXPECT_EQ(to_ansi(form->frm_check->mmo_finding->toPlainText()),
              "secure line 3: sbjct=#a#\n    duplicate: remove this line, or the same line at secure line 2\n"
              "    gives the same value as secure line 2 for every message, and secure line 2 decides first\n");
    form->frm_check->btn_openlist->click();
    EXPECT_EQ(seam.opened_files, std::vector<std::string>{base() + "secure.filters.txt"});
    EXPECT_FALSE(form->frm_check->btn_fixutf8->isEnabled());
}

TEST_F(ChecksTest, AMissingListIsSaidAndTheOthersChecked) {
    open_window();
    lists(":s\r\n1\r\n", ":t\r\n", ":u\r\n");
    std::filesystem::remove(base() + "trash.filters.txt");
    std::filesystem::remove(base() + "suspect.filters.txt");
    make_dir(base() + "suspect.filters.txt");
    form->btn_checklists->click();
    EXPECT_EQ(cells(form->frm_check->lst_findings).substr(0, 17), "secure | 2 | deci");
    EXPECT_EQ(to_ansi(form->frm_check->lbl_checkstate->text()),
              "E93 trash.filters.txt: File not found\nE93 suspect.filters.txt: Access denied");

    std::filesystem::remove(base() + "suspect.filters.txt");
    lists(":s\r\n", ":t\r\n", ":u\r\n");
    form->btn_checklists->click();
    EXPECT_EQ(form->frm_check->lst_findings->topLevelItemCount(), 0);
    EXPECT_EQ(to_ansi(form->frm_check->lbl_checkstate->text()), "E78");
    EXPECT_TRUE(seam.errors.empty());
}

TEST_F(ChecksTest, AListSavedAsUTF8IsConvertedOnlyWhenTheUserAgrees) {
    open_window();
    const std::string utf8 = ":s\r\nmbody=#caf\xC3\xA9#\r\n:";
    lists(utf8, ":t\r\n", ":u\r\n");
    form->btn_checklists->click();
    choose(form->frm_check->lst_findings, 0);
    ASSERT_TRUE(form->frm_check->btn_fixutf8->isEnabled());

    seam.question_answer = false;
    form->frm_check->btn_fixutf8->click();
    EXPECT_EQ(slurp(base() + "secure.filters.txt"), utf8);

    seam.question_answer = true;
    form->frm_check->btn_fixutf8->click();
    EXPECT_EQ(slurp(base() + "secure.filters.txt"), ":s\r\nmbody=#caf\xE9#\r\n:");
    EXPECT_EQ(seam.questions.size(), 2u);
    EXPECT_EQ(form->frm_check->lst_findings->topLevelItemCount(), 0);
}

TEST_F(ChecksTest, SaveAllAsksBeforeAddingALineThatStopsTheScoring) {
    open_window();
    // A faulty line already in a list is the check's business, not the save's.
    lists(":s\r\nsbjct=#a#\r\n", ":trash\r\nsbjct=#c#x\r\n", ":u\r\n");
    // Only redundant: saved without a question.
    waiting("secure.edt.tmp", "sbjct=#a#\r\n");
    form->btn_saveall->setEnabled(true);
    form->btn_saveall->click();
    EXPECT_TRUE(seam.questions.empty());
    EXPECT_EQ(slurp(base() + "secure.filters.txt"), "sbjct=#a#\r\nsbjct=#a#\r\n:");

    waiting("trash.edt.tmp", "mbody=%(ab%\r\nsbjct=#b#x\r\n");
    seam.question_answer = false;
    form->edt_secure->setText("-5");
    form->btn_saveall->click();
    ASSERT_EQ(seam.questions.size(), 1u);
    const std::string& text = seam.questions[0].text;
    EXPECT_EQ(text.find("\n\ntrash line 4: sbjct=#b#x\n    stops: "), std::size_t{0}) << text;
    EXPECT_NE(text.find("trash line 3: mbody=%(ab%\n    regex-error: correct the pattern"), std::string::npos) << text;
    EXPECT_EQ(text.find("line 2"), std::string::npos) << text;
    EXPECT_EQ(seam.questions[0].first, "E76");
    EXPECT_EQ(seam.questions[0].second, "E77");
    // Going back saves nothing, the settings neither.
    std::int32_t secure = 0, trash = 0, suspect = 0;
    clsConfigSys().get_scores(secure, trash, suspect);
    EXPECT_EQ(secure, -1000);
    EXPECT_EQ(slurp(base() + "trash.filters.txt"), ":trash\r\nsbjct=#c#x\r\n:");
    EXPECT_EQ(slurp(base() + "trash.edt.tmp"), "mbody=%(ab%\r\nsbjct=#b#x\r\n");
    EXPECT_TRUE(form->btn_saveall->isEnabled());

    seam.question_answer = true;
    form->btn_saveall->click();
    EXPECT_EQ(slurp(base() + "trash.filters.txt"), ":trash\r\nsbjct=#c#x\r\nmbody=%(ab%\r\nsbjct=#b#x\r\n:");
    EXPECT_EQ(slurp(base() + "trash.edt.tmp"), "");
}

// The total names what the findings do to the scoring; "Open the list"
// speaks the window's language, as the window of findings does.
TEST_F(ChecksTest, TheCheckGivesATotalAndOpenTheListSpeaksTheWindowsLanguage) {
    spit(base() + "lang.eng.txt", language_lines("E", 339));
    open_window();
    lists(":s\r\nsbjct=#a#\r\nsbjct=#a#\r\nsbjct=#b#\r\nsbjct=#b#\r\n", ":t\r\nmbody=%(ab%\r\n", ":u\r\n");
    form->btn_checklists->click();
    EXPECT_EQ(to_ansi(form->frm_check->lbl_total->text()), "E304 3 (1 E305, 2 E307)");

    choose(form->frm_check->lst_findings, 0);
    const std::string trash = base() + "trash.filters.txt";
    seam.desktop_opens = false;
    form->frm_check->btn_openlist->click();
    std::filesystem::remove(trash);
    form->frm_check->btn_openlist->click();
    EXPECT_EQ(seam.errors, (std::vector<std::string>{"E309: " + trash, "E308: " + trash}));
}

// However many waiting lines are faulty, the box that names them fits the
// screen and its buttons stay in it; its text scrolls.
TEST_F(ChecksTest, TheSaveAllBoxFitsTheScreen) {
    open_window();
    std::string faulty;
    for (int n = 0; n < 60; ++n) faulty += "mbody=%(a" + std::to_string(n) + "%\r\n";
    waiting("trash.edt.tmp", faulty);
    form->btn_saveall->setEnabled(true);
    form->btn_saveall->click();
    ASSERT_EQ(seam.questions.size(), 1u);
    const RecordingSeam::Question& q = seam.questions[0];
    const std::unique_ptr<QDialog> box = config::question_box(form.get(), q.title, q.text, q.first, q.second);
    box->show();
    EXPECT_LE(box->frameGeometry().height(), box->screen()->availableGeometry().height());
    const QList<QPushButton*> buttons = box->findChildren<QPushButton*>();
    ASSERT_EQ(buttons.size(), 2);
    for (const QPushButton* b : buttons)
        EXPECT_TRUE(box->rect().contains(QRect(b->mapTo(box.get(), QPoint(0, 0)), b->size())))
            << to_ansi(b->text());
}

// The list of messages takes the most of what its window grows by.
TEST_F(ChecksTest, TheMessageListGrowsWithItsWindow) {
    open_window();
    form->btn_lastmessages->click();
    config::TMessagesForm& f = *form->frm_messages;
    const int before = f.lst_messages->height();
    f.resize(f.width(), f.height() + 400);
    f.layout()->activate();
    EXPECT_GE(f.lst_messages->height() - before, 200);
}

// A waiting line that matches every message, or that never holds, is asked
// about too; saving anyway saves it.
TEST_F(ChecksTest, SaveAllAsksBeforeAddingALineThatDecidesAllOrNeverHolds) {
    open_window();
    form->chk_uppercase->setChecked(true);
    lists(":s\r\n", ":trash\r\n", ":u\r\n");
    waiting("trash.edt.tmp", "sbjct=#ok#\r\nsbjct=#zz#+1\r\nmbody=%viagra%\r\n");
    seam.question_answer = true;
    form->btn_saveall->setEnabled(true);
    form->btn_saveall->click();
    ASSERT_EQ(seam.questions.size(), 1u);
    const std::string& text = seam.questions[0].text;
    EXPECT_NE(text.find("trash line 3: sbjct=#zz#+1\n    decides-all: the number 1 at column 12"), std::string::npos)
        << text;
    EXPECT_NE(text.find("trash line 4: mbody=%viagra%\n    never-holds: "), std::string::npos) << text;
    EXPECT_EQ(text.find("line 2"), std::string::npos) << text;
    EXPECT_EQ(slurp(base() + "trash.filters.txt"), ":trash\r\nsbjct=#ok#\r\nsbjct=#zz#+1\r\nmbody=%viagra%\r\n:");
}

// With the Spanish language file the findings and what to change are
// Spanish; the list's name and the line stay as they are.
TEST_F(ChecksTest, FindingsInTheWindowsLanguage) {
    for (const char* name : {"lang.eng.txt", "lang.txt"})
        spit(base() + name, slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/" + name));
    open_window();
    lists(":s\r\nsbjct=#zz#+1\r\n", ":t\r\n", ":u\r\n");
    form->btn_checklists->click();
    EXPECT_EQ(cells(form->frm_check->lst_findings),
              "secure | 2 | decide-todo | el n\xFAmero 1 de la columna 12 hace coincidir todo mensaje: qu\xEDtelo, o "
              "quite la l\xEDnea\n");
    choose(form->frm_check->lst_findings, 0);
    EXPECT_NE(to_ansi(form->frm_check->mmo_finding->toPlainText()).find("coincide con todo mensaje"), std::string::npos);
}

#ifndef _WIN32
// POSIX only: the messages are scored by the native kalvorin-host, started as
// a child, and a link or a pipe is planted in the base folder.
class LastMessagesTest : public ChecksTest {
protected:
    // Scores messages through the real plug-in, which logs them; each run
    // starts the plug-in anew, which empties its log.
    void score(const std::vector<std::string>& messages) const {
        std::vector<std::string> argv = {dist("kalvorin-host")};
        for (const std::string& m : messages) {
            argv.push_back(tmp_ / ("m" + std::to_string(argv.size()) + ".eml"));
            spit(argv.back(), m);
        }
        const RunResult r = run(argv);
        // 4: every message was scored, and a line stopped one of them.
        ASSERT_TRUE(r.status == 0 || r.status == 4) << r.err;
    }
    QTreeWidget* messages() { return form->frm_messages->lst_messages; }
    std::string why() { return to_ansi(form->frm_messages->mmo_why->toPlainText()); }
};

TEST_F(LastMessagesTest, EachLoggedMessageExplainedAndWhatTheWaitingLinesChange) {
    spit(base() + "lang.eng.txt", language_lines("E", 339));
    open_window();
    lists(":s\r\nsbjct=#friend#\r\n:", ":trash\r\n:", ":u\r\n:");
    form->btn_lastmessages->click();
    EXPECT_EQ(messages()->topLevelItemCount(), 0);
    EXPECT_EQ(to_ansi(form->frm_messages->lbl_logstate->text()), "E260");

    score({"From: ann@x.org\r\nSubject: my friend\r\n\r\nhello\r\n"});
    form->btn_lastmessages->click();
    EXPECT_EQ(cells(messages()), "ann@x.org | my friend | -1000\n");
    // The account's sentences are language lines: 228 "decided by", 241 a
    // test's finding, 251 a matching expression, 255 the cap, 259 no image.
    EXPECT_EQ(why(), "  E228\n    sbjct=#friend#  E241 -> 1\n    E251\n  E255\n  E259\n");
    EXPECT_EQ(to_ansi(form->frm_messages->lbl_pending->text()), "E73\nE91");
    waiting("trash.edt.tmp", "sbjct=#pills#\r\n");
    score({"From: bob@y.org\r\nSubject: cheap pills\r\n\r\nbuy\r\n",
           "From: ann@x.org\r\nSubject: pills for a friend\r\n\r\nhello\r\n"});
    form->btn_lastmessages->click();
    EXPECT_EQ(cells(messages()), "bob@y.org | cheap pills | 0\nann@x.org | pills for a friend | -1000\n");
    EXPECT_EQ(cells(form->frm_messages->lst_pending), "bob@y.org | cheap pills | E332 -> trash, 0 -> 1000\n");
    EXPECT_EQ(why().find("  E231\n"), std::size_t{0}) << why();
    // The header's final blank line was trimmed, which none of these lines
    // can see: no note (324) on it.
    EXPECT_EQ(why().find("E324"), std::string::npos) << why();

    choose(form->frm_messages->lst_pending, 0);
    EXPECT_EQ(why(), "E330\nE331\n");
    EXPECT_EQ(to_ansi(form->frm_messages->lbl_pending->text()), "E73");

    // The lists changed since the plug-in scored, and the waiting lines
    // cannot be read: the logged score stands beside today's, and the
    // messages are still explained.
    lists(":s\r\nsbjct=#enemy#\r\n:", ":trash\r\n:", ":u\r\n:");
    std::filesystem::remove(base() + "trash.edt.tmp");
    make_dir(base() + "trash.edt.tmp");
    form->btn_lastmessages->click();
    EXPECT_EQ(cells(messages()), "bob@y.org | cheap pills | 0\nann@x.org | pills for a friend | -1000 (E96 0)\n");
    EXPECT_EQ(to_ansi(form->frm_messages->lbl_logstate->text()),
              "E95 " + base() + "trash.edt.tmp: Access denied");
    EXPECT_EQ(form->frm_messages->lst_pending->topLevelItemCount(), 0);
    EXPECT_TRUE(seam.errors.empty()) << seam.errors.front();
}

// With the Spanish language file the account, the part notes and what the
// waiting lines change are Spanish; the lists' names, the lines, the field
// keywords and the messages' texts stay as they are.
TEST_F(LastMessagesTest, TheAccountsSpeakTheWindowsLanguage) {
    for (const char* name : {"lang.eng.txt", "lang.txt"})
        spit(base() + name, slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/" + name));
    open_window();
    lists(":s\r\nsbjct=#friend#\r\n:", ":trash\r\n:", ":u\r\n:");
    waiting("trash.edt.tmp", "sbjct=#pills#\r\n");
    score({"From: ann@x.org\r\nSubject: my friend\r\n\r\n" + std::string(60000, 'x') + "\r\n",
           "From: bob@y.org\r\nSubject: cheap pills\r\n\r\nbuy\r\n"});
    form->btn_lastmessages->click();
    EXPECT_EQ(why(), "  lo decide secure l\xEDnea 2: sbjct=#friend#\n"
                     "    sbjct=#friend#  contiene en SBJCT: encontrado en 3: my [[friend]] -> 1\n"
                     "    expresi\xF3n 1 = 1, coincide\n"
                     "  l\xEDmite: MBODY cortada de 60002 a 50000 bytes, RWMSG cortada de 60041 a 50000 bytes\n"
                     "  imagen externa: no se hace referencia a ninguna\n"
                     "\nMBODY: cortada por el l\xEDmite de 60002 a 50000 bytes, tal como la vieron los filtros\n"
                     "RWMSG: cortada por el l\xEDmite de 60041 a 50000 bytes, tal como la vieron los filtros\n");
    EXPECT_EQ(cells(form->frm_messages->lst_pending), "bob@y.org | cheap pills | ninguna -> trash, 0 -> 1000\n");
    choose(form->frm_messages->lst_pending, 0);
    EXPECT_EQ(why(), "antes:   ninguna l\xEDnea decide\ndespu\xE9s: trash l\xEDnea 2: sbjct=#pills#\n");
}

// "Last messages" says that a link or a pipe stands in the log's name; it
// neither reads the log through it nor waits on it.
TEST_F(LastMessagesTest, ALinkOrAPipeForTheLogIsSaid) {
    spit(base() + "lang.eng.txt", language_lines("E", 339));
    open_window();
    const std::string log = base() + "plugin.log.txt";
    spit(tmp_ / "elsewhere.log", "K A L V O R I  L O G  F I L E\r\n");
    for (const std::string& error : {kLinkRefused, kPipeRefused}) {
        const std::optional<PipeRescue> rescue = plant(log, error, tmp_ / "elsewhere.log");
        form->btn_lastmessages->click();
        EXPECT_FALSE(rescue && rescue->waited()) << "waited on the pipe";
        EXPECT_EQ(to_ansi(form->frm_messages->lbl_logstate->text()), "E262 " + error + ": " + log);
    }
    EXPECT_TRUE(seam.errors.empty());
}

// Each state of the log is said in its own words; a message whose scoring
// did not finish is shown as such, and one that a line stopped gives the
// log's error as the reason.
TEST_F(LastMessagesTest, EveryStateOfTheLogIsNamed) {
    spit(base() + "lang.eng.txt", language_lines("E", 339));
    open_window();
    lists(":s\r\nsbjct=#friend#\r\nsbjct=#x\r\n", ":trash\r\n:", ":u\r\n:");
    const std::string log = base() + "plugin.log.txt";
    const std::pair<std::function<void()>, const char*> states[] = {
        {[&] { std::filesystem::remove(log); }, "E260"},
        {[&] { make_dir(log); }, "E261"},
        {[&] {
             std::filesystem::remove(log);
             spit(log, "");
         },
         "E92"},
        {[&] { spit(log, "K A L V O R I  L O G  F I L E\r\n"); }, "E92"},
    };
    for (const auto& [make, state] : states) {
        make();
        form->btn_lastmessages->click();
        EXPECT_EQ(to_ansi(form->frm_messages->lbl_logstate->text()), state);
        EXPECT_EQ(messages()->topLevelItemCount(), 0);
    }

    std::filesystem::remove(log);
    score({"From: ann@x.org\r\nSubject: a friend\r\n\r\nhi\r\n", "From: bob@y.org\r\nSubject: b\r\n\r\nhi\r\n",
           "From: cy@z.org\r\nSubject: c\r\n\r\nhi\r\n"});
    const std::string written = slurp(log);
    spit(log, written.substr(0, written.rfind("\r\nsecure.filters.dat\r\n") + 2));
    // Today a line decides for bob; the log's score for him is what the
    // stopped scoring reached. Of the three messages the last two are shown.
    lists(":s\r\nsbjct=#b#\r\n", ":trash\r\n:", ":u\r\n:");
    clsConfigSys().set_logsize(2);
    form->btn_lastmessages->click();
    EXPECT_EQ(to_ansi(form->frm_messages->lbl_logstate->text()), "E263");
    EXPECT_EQ(cells(messages()), "bob@y.org | b | 0 (E96 -1000)\ncy@z.org | c | E264 (E96 0)\n");
    choose(messages(), 0);
    const std::string error = "Field test 'sbjct=#x#' does not occur in the line 'sbjct=#x'";
    EXPECT_NE(why().find("\nE266 " + error + "\n"), std::string::npos) << why();
    EXPECT_EQ(why().find("E94"), std::string::npos) << why();
    choose(messages(), 1);
    EXPECT_NE(why().find("\nE265\n"), std::string::npos) << why();
    EXPECT_TRUE(seam.errors.empty()) << seam.errors.front();
}

// Pictures for the README (docs/window-*.png are copies of them), in
// English, written beside the layout test's pictures of the tabs.
TEST_F(LastMessagesTest, Pictures) {
    const std::string english = slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/lang.eng.txt");
    spit(base() + "lang.eng.txt", english);
    spit(base() + "lang.txt", english);
    open_window();
    lists(":Secure filters\r\nsnder=#@family.org#\r\nsbjct=#invoice#*mbody=%(?i)pay now%\r\n:",
          ":Trash filters\r\nSBJCT=#INVOICE#\r\nmbody=%viagra%\r\nmbody=#caf\xC3\xA9 gratis#\r\nrwmsg=%(X+X+)+Y%\r\n:",
          ":Suspect filters\r\nsbjct=\"free\"+1\r\n:");
    score({"From: Ann <ann@family.org>\r\nSubject: Lunch on Sunday?\r\n\r\nSee you there.\r\n",
           "From: Deals <news@deals.example>\r\nSubject: Your lunch, half price\r\n\r\nOrder now.\r\n"});
    waiting("trash.edt.tmp", "sbjct=#lunch#\r\n");

    const std::string shots = std::string(KALVORIN_DIST) + "/../screenshots/";
    std::filesystem::create_directories(shots);
    form->show();
    form->pg_ppal->setCurrentWidget(form->ts_filters);
    form->btn_checklists->click();
    choose(form->frm_check->lst_findings, 3);
    form->btn_lastmessages->click();
    choose(form->frm_messages->lst_messages, 1);
    EXPECT_TRUE(form->grab().save(QString::fromStdString(shots + "checks.filters.png")));
    EXPECT_TRUE(form->frm_check->grab().save(QString::fromStdString(shots + "checks.lists.png")));
    EXPECT_TRUE(form->frm_messages->grab().save(QString::fromStdString(shots + "checks.messages.png")));

    waiting("trash.edt.tmp", "sbjct=#lunch#\r\nmbody=%(ab%\r\n");
    seam.question_answer = false;
    form->btn_saveall->setEnabled(true);
    form->btn_saveall->click();
    ASSERT_EQ(seam.questions.size(), 1u);
    const RecordingSeam::Question& q = seam.questions[0];
    const std::unique_ptr<QDialog> box = config::question_box(form.get(), q.title, q.text, q.first, q.second);
    box->show();
    EXPECT_TRUE(box->grab().save(QString::fromStdString(shots + "checks.saveall.png")));
}

#endif  // _WIN32

}  // namespace
}  // namespace kalvorin::test
