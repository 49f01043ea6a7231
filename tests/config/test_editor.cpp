// The editor tab: composing a field test, the level stack with its boxes,
// AND, OR, rotate, clear, adding to a list and expert mode.
#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>

#include "CodigoComun/CapturaSpam.h"
#include "platform/errors.h"
#include "config/WindowFixture.h"
#include "config/cp1252.h"

namespace kalvorin::test {
namespace {

using config::from_ansi;
using config::TForm1;
using config::to_ansi;
using Levels = std::array<std::string, 5>;

// Chooses the item whose code is `code`; '\0' leaves the pick-list without a choice.
void choose(QComboBox* box, char code) {
    box->setCurrentIndex(-1);
    for (int i = 0; i < box->count(); ++i)
        if (to_ansi(box->itemText(i)).front() == code) box->setCurrentIndex(i);
}

class EditorTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        open_window();
    }
    TForm1& w() { return *form; }

    void add(char field, char op, char delimiter, const std::string& text) {
        choose(w().cbox_record, field);
        choose(w().cbox_have, op);
        choose(w().cbox_tstring, delimiter);
        w().edt_string->setText(from_ansi(text));
        w().btn_add->click();
    }
    // Adds the tests given, oldest first, so that the last one ends on level 0.
    void stack(const std::vector<std::string>& texts) {
        for (const std::string& text : texts) add('2', '=', '#', text);
    }
    QLineEdit* line(int level) { return std::array{w().edt_0, w().edt_1, w().edt_2, w().edt_3, w().edt_4}[level]; }
    QCheckBox* box(int level) { return std::array{w().chk_L0, w().chk_l1, w().chk_l2, w().chk_l3, w().chk_l4}[level]; }
    Levels levels() {
        Levels out;
        for (int level = 0; level < 5; ++level) out[level] = to_ansi(line(level)->text());
        return out;
    }
    // One character per box, level 0 first: 'X' ticked and enabled, 'x' ticked
    // and locked, 'o' clear and enabled, '.' clear and locked.
    std::string boxes() {
        std::string out;
        for (int level = 0; level < 5; ++level) {
            const bool ticked = box(level)->isChecked();
            const bool enabled = box(level)->isEnabled();
            out += ticked ? (enabled ? 'X' : 'x') : (enabled ? 'o' : '.');
        }
        return out;
    }
    // What a user's click does: nothing on a locked box.
    void user_click(int level) { box(level)->click(); }

    // From empty level lines: the texts stacked, one box ticked (0: none),
    // then the button pressed.
    void press_after(const std::vector<std::string>& filled, int ticked, QPushButton* TForm1::*button) {
        for (int i = 0; i < 5; ++i) w().btn_clear->click();
        stack(filled);
        if (ticked > 0) user_click(ticked);
        (w().*button)->click();
    }
    std::string pending(const char* list) { return slurp(base() + list + ".edt.tmp"); }
};

const std::string T0 = "SBJCT=#t0#", T1 = "SBJCT=#t1#", T2 = "SBJCT=#t2#", T3 = "SBJCT=#t3#", T4 = "SBJCT=#t4#";
// t4 oldest ... t0 newest, so that Tn stands on level n.
const std::vector<std::string> kFive = {"t4", "t3", "t2", "t1", "t0"};

// ------------------------------------------------------------------ composing a test

struct AddCase {
    char field, op, delimiter;
    std::string text;
    std::string level0;  // empty: refused
};

TEST_F(EditorTest, AddComposesTheTestOrRefusesItSilently) {
    const AddCase cases[] = {
        {'1', '-', '%', "ab.*cd", "SNDER-%ab.*cd%"},
        {'2', '=', '#', "free offer", "SBJCT=#free offer#"},
        {'5', '=', '"', "  padded ", "HEADR=\"  padded \""},
        {'6', '=', '#', "caf\xE9 \x80", "RWMSG=#caf\xE9 \x80#"},
        {'2', '=', '"', "my subject line", "SBJCT=\"my subject line\""},
        // Only the chosen delimiter is refused in the text.
        {'2', '=', '#', "a#b", ""},
        {'2', '=', '%', "a#b", "SBJCT=%a#b%"},
        {'2', '=', '"', "a#b", "SBJCT=\"a#b\""},
        {'2', '=', '"', "say \"hi\"", ""},
        {'2', '=', '%', "50%", ""},
        {'2', '=', '#', "(a)*b+c \"x\" %y%", "SBJCT=#(a)*b+c \"x\" %y%#"},
        // A field keyword in any letter case is refused.
        {'2', '=', '#', "about sbjct", ""},
        {'2', '=', '#', "SNDER", ""},
        {'2', '=', '#', "xMbOdYx", ""},
        {'2', '=', '#', "attch", ""},
        {'2', '=', '#', "my headr", ""},
        {'2', '=', '#', "RwMsG", ""},
        {'2', '=', '#', "snde r", "SBJCT=#snde r#"},
        // Incomplete choices and an empty text.
        {'\0', '=', '#', "x", ""},
        {'2', '\0', '#', "x", ""},
        {'2', '=', '\0', "x", ""},
        {'2', '=', '#', "", ""},
    };
    for (const AddCase& c : cases) {
        SCOPED_TRACE(c.text);
        w().btn_clear->click();
        add(c.field, c.op, c.delimiter, c.text);
        EXPECT_EQ(levels()[0], c.level0);
    }
}

TEST_F(EditorTest, AddKeepsTheChoicesSoTheSameTestCanBeAddedAgain) {
    add('1', '=', '"', "friend");
    w().btn_add->click();
    EXPECT_EQ(levels(), (Levels{"SNDER=\"friend\"", "SNDER=\"friend\"", "", "", ""}));
    EXPECT_EQ(to_ansi(w().edt_string->text()), "friend");
}

TEST_F(EditorTest, EnterInTheTextBoxAddsTheTestAsTheButtonDoes) {
    add('1', '=', '"', "friend");
    w().edt_string->setText("other");
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, "\r");
    QApplication::sendEvent(w().edt_string, &enter);
    EXPECT_EQ(levels(), (Levels{"SNDER=\"other\"", "SNDER=\"friend\"", "", "", ""}));
    // A refused text stays refused.
    w().edt_string->setText("a\"b");
    QApplication::sendEvent(w().edt_string, &enter);
    EXPECT_EQ(levels()[0], "SNDER=\"other\"");
}

TEST_F(EditorTest, SixAddsKeepTheFiveNewestNewestOnLevelZero) {
    stack({"t5", "t4", "t3", "t2", "t1", "t0"});
    EXPECT_EQ(levels(), (Levels{T0, T1, T2, T3, T4}));
    EXPECT_EQ(boxes(), "xxooo");
}

// ------------------------------------------------------------------ level boxes

struct BoxStep {
    int level;          // the box the user clicks
    std::string after;  // boxes(), level 0 first
};

struct BoxCase {
    const char* name;
    std::vector<std::string> filled;
    std::string before;
    std::vector<BoxStep> steps;
};

TEST_F(EditorTest, BoxesSelectFromLevelZeroUpAndLockTheBoxesBelow) {
    const BoxCase cases[] = {
        {"nothing filled", {}, ".....", {{2, "....."}, {3, "....."}, {4, "....."}}},
        {"one filled", {"t0"}, "x....", {{2, "x...."}}},
        {"three filled", {"t2", "t1", "t0"}, "xxo..", {{2, "xxX.."}, {2, "xxo.."}, {3, "xxo.."}}},
        {"box 3 locks box 2",
         kFive,
         "xxooo",
         {{3, "xxxXo"}, {2, "xxxXo"}, {3, "xxXoo"}, {2, "xxooo"}}},
        {"box 4 locks boxes 2 and 3; clearing it frees box 3 only",
         kFive,
         "xxooo",
         {{4, "xxxxX"}, {3, "xxxxX"}, {2, "xxxxX"}, {4, "xxxXo"}, {2, "xxxXo"}, {3, "xxXoo"}, {2, "xxooo"}}},
        {"box 4 over a ticked box 2", kFive, "xxooo", {{2, "xxXoo"}, {4, "xxxxX"}, {4, "xxxXo"}}},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < 5; ++i) w().btn_clear->click();
        stack(c.filled);
        ASSERT_EQ(boxes(), c.before);
        for (const BoxStep& step : c.steps) {
            user_click(step.level);
            EXPECT_EQ(boxes(), step.after) << "after clicking box " << step.level;
        }
    }
}

TEST_F(EditorTest, LevelLineChangesKeepTheirBoxesInStep) {
    stack(kFive);
    user_click(4);
    ASSERT_EQ(boxes(), "xxxxX");
    // Emptying the top line clears its box, which frees box 3.
    w().chk_expert->setChecked(true);
    line(4)->setText("");
    EXPECT_EQ(boxes(), "xxxX.");
    line(4)->setText("typed");
    EXPECT_EQ(boxes(), "xxxXo");
    // A filled line below a ticked box stays locked.
    line(2)->setText("SBJCT=#other#");
    EXPECT_EQ(boxes(), "xxxXo");
    line(1)->setText("");
    EXPECT_EQ(boxes(), "x.xXo");
    line(0)->setText("");
    EXPECT_EQ(boxes(), "..xXo");
}

// ------------------------------------------------------------------ AND and OR

struct CombineCase {
    const char* name;
    std::vector<std::string> filled;
    int ticked;  // the highest box the user ticks, 0 for none
    QPushButton* TForm1::*button;
    Levels after;
    std::string boxes_after;
};

TEST_F(EditorTest, AndAndOrJoinTheSelectedLinesNewestFirstAndCloseTheGap) {
    const CombineCase cases[] = {
        {"n = 1", {"t0"}, 0, &TForm1::btn_and, {"(" + T0 + ")", "", "", "", ""}, "x...."},
        {"n = 2 of three", {"t2", "t1", "t0"}, 0, &TForm1::btn_and, {"(" + T0 + "*" + T1 + ")", T2, "", "", ""}, "xx..."},
        {"n = 2 of five", kFive, 0, &TForm1::btn_or, {"(" + T0 + "+" + T1 + ")", T2, T3, T4, ""}, "xxoo."},
        {"n = 3", kFive, 2, &TForm1::btn_and, {"(" + T0 + "*" + T1 + "*" + T2 + ")", T3, T4, "", ""}, "xxo.."},
        {"n = 4", kFive, 3, &TForm1::btn_or, {"(" + T0 + "+" + T1 + "+" + T2 + "+" + T3 + ")", T4, "", "", ""}, "xx..."},
        {"n = 5",
         kFive,
         4,
         &TForm1::btn_and,
         {"(" + T0 + "*" + T1 + "*" + T2 + "*" + T3 + "*" + T4 + ")", "", "", "", ""},
         "x...."},
    };
    for (const CombineCase& c : cases) {
        SCOPED_TRACE(c.name);
        press_after(c.filled, c.ticked, c.button);
        EXPECT_EQ(levels(), c.after);
        EXPECT_EQ(boxes(), c.boxes_after);
    }
}

TEST_F(EditorTest, GroupsNestLikeTests) {
    stack({"t2", "t1", "t0"});
    w().btn_and->click();
    w().btn_or->click();
    EXPECT_EQ(levels(), (Levels{"((" + T0 + "*" + T1 + ")+" + T2 + ")", "", "", "", ""}));
}

// Both would leave a line that the filter code cannot evaluate: "()", and a
// group that starts with the joiner.
TEST_F(EditorTest, AndAndOrWithoutLevelZeroChangeNothing) {
    w().btn_and->click();
    w().btn_or->click();
    EXPECT_EQ(levels(), (Levels{"", "", "", "", ""}));

    w().chk_expert->setChecked(true);
    line(1)->setText("SNDER=#a#");
    line(2)->setText("SNDER=#b#");
    user_click(2);
    ASSERT_EQ(boxes(), "xxX..");
    const Levels before = levels();
    const std::string boxes_before = boxes();
    w().btn_and->click();
    w().btn_or->click();
    EXPECT_EQ(levels(), before);
    EXPECT_EQ(boxes(), boxes_before);
}

// ------------------------------------------------------------------ rotate and clear

struct MoveCase {
    const char* name;
    std::vector<std::string> filled;
    int ticked;
    QPushButton* TForm1::*button;
    Levels after;
};

TEST_F(EditorTest, RotateAndClearMoveTheLines) {
    const MoveCase cases[] = {
        {"rotate one", {"t0"}, 0, &TForm1::btn_rotate, {T0, "", "", "", ""}},
        {"rotate two", {"t1", "t0"}, 0, &TForm1::btn_rotate, {T1, T0, "", "", ""}},
        {"rotate three", {"t2", "t1", "t0"}, 2, &TForm1::btn_rotate, {T2, T0, T1, "", ""}},
        {"rotate two of five", kFive, 0, &TForm1::btn_rotate, {T1, T0, T2, T3, T4}},
        {"rotate four of five", kFive, 3, &TForm1::btn_rotate, {T3, T0, T1, T2, T4}},
        {"rotate five", kFive, 4, &TForm1::btn_rotate, {T4, T0, T1, T2, T3}},
        {"clear three", {"t2", "t1", "t0"}, 0, &TForm1::btn_clear, {T1, T2, "", "", ""}},
        {"clear five", kFive, 0, &TForm1::btn_clear, {T1, T2, T3, T4, ""}},
        {"clear nothing", {}, 0, &TForm1::btn_clear, {"", "", "", "", ""}},
    };
    for (const MoveCase& c : cases) {
        SCOPED_TRACE(c.name);
        press_after(c.filled, c.ticked, c.button);
        EXPECT_EQ(levels(), c.after);
    }
}

TEST_F(EditorTest, RotateKeepsTheSelectionAndClearFreesTheBoxesAboveIt) {
    stack(kFive);
    user_click(3);
    w().btn_rotate->click();
    EXPECT_EQ(boxes(), "xxxXo");
    w().btn_clear->click();
    // The top line moved to level 3; box 3 stays ticked on it.
    EXPECT_EQ(boxes(), "xxxX.");
    // Clearing box 3 frees box 2, which keeps its tick.
    w().btn_clear->click();
    EXPECT_EQ(boxes(), "xxX..");
}

// ------------------------------------------------------------------ adding to a list

struct ListCase {
    QPushButton* TForm1::*button;
    const char* list;
};

TEST_F(EditorTest, AddToAListAppendsLevelZeroAndMovesTheRestDown) {
    const ListCase cases[] = {
        {&TForm1::btn_addsecure, "secure"}, {&TForm1::btn_addtrash, "trash"}, {&TForm1::btn_addsuspect, "suspect"}};
    for (const ListCase& c : cases) {
        SCOPED_TRACE(c.list);
        w().btn_saveall->setEnabled(false);
        stack({"t1", "t0"});
        (w().*c.button)->click();
        EXPECT_EQ(pending(c.list), T0 + "\r\n");
        EXPECT_EQ(levels(), (Levels{T1, "", "", "", ""}));
        EXPECT_TRUE(w().btn_saveall->isEnabled());
        (w().*c.button)->click();
        EXPECT_EQ(pending(c.list), T0 + "\r\n" + T1 + "\r\n");
        EXPECT_EQ(levels(), (Levels{"", "", "", "", ""}));
    }
}

TEST_F(EditorTest, AddToAListWithEmptyLevelZeroDoesNothing) {
    w().btn_addtrash->click();
    EXPECT_EQ(pending("trash"), "");
    EXPECT_FALSE(w().btn_saveall->isEnabled());
}

TEST_F(EditorTest, ExpertTextIsAddedExactlyAsShown) {
    w().chk_expert->setChecked(true);
    line(0)->setText(" snder=#x# + anything");
    w().btn_addsuspect->click();
    EXPECT_EQ(pending("suspect"), " snder=#x# + anything\r\n");
}

TEST_F(EditorTest, AFailedAppendShowsTheErrorAndMovesNothing) {
    stack({"t1", "t0"});
    std::remove((base() + "secure.edt.tmp").c_str());
    make_dir(base() + "secure.edt.tmp");
    w().btn_addsecure->click();
    EXPECT_EQ(seam.errors, std::vector<std::string>{"Access denied: " + base() + "secure.edt.tmp"});
    EXPECT_EQ(levels(), (Levels{T0, T1, "", "", ""}));
    EXPECT_FALSE(w().btn_saveall->isEnabled());
}

// ------------------------------------------------------------------ expert mode

TEST_F(EditorTest, ExpertModeMakesTheLinesEditableAndEnablesSaveAllEachTime) {
    stack({"t0"});
    for (bool on : {true, false, true}) {
        w().btn_saveall->setEnabled(false);
        w().chk_expert->setChecked(on);
        EXPECT_TRUE(w().btn_saveall->isEnabled());
        for (int level = 0; level < 5; ++level) EXPECT_EQ(line(level)->isReadOnly(), !on) << level;
        EXPECT_EQ(levels()[0], T0);
    }
}

// ------------------------------------------------------------------ one line per box

struct InsertCase {
    const char* name;
    std::string before;  // the box's text
    int cursor;
    std::string inserted;
    std::string after;
};

// As the platform's single-line edit box does with a paste, a box keeps an
// inserted text only up to its first line break.
TEST_F(EditorTest, TextBoxesKeepAnInsertedTextUpToItsFirstLineBreak) {
    const InsertCase cases[] = {
        {"into an empty box", "", 0, "free\r\noffer", "free"},
        {"line feeds", "", 0, "free\noffer\nnow", "free"},
        {"carriage return", "", 0, "free\roffer", "free"},
        {"the box's own text stays", "ab", 1, "X\r\nY", "aXb"},
        {"break first", "ab", 2, "\r\nxy", "ab"},
        {"no break", "ab", 2, "cd", "abcd"},
    };
    w().chk_expert->setChecked(true);
    for (QLineEdit* box : {w().edt_string, w().edt_0, w().edt_1, w().edt_2, w().edt_3, w().edt_4}) {
        for (const InsertCase& c : cases) {
            SCOPED_TRACE(box->objectName().toStdString() + ", " + c.name);
            box->setText(from_ansi(c.before));
            box->setCursorPosition(c.cursor);
            box->insert(from_ansi(c.inserted));
            EXPECT_EQ(to_ansi(box->text()), c.after);
        }
    }
}

TEST_F(EditorTest, APastedLineBreakNeverReachesAList) {
    QGuiApplication::clipboard()->setText("free\r\noffer");
    choose(w().cbox_record, '2');
    choose(w().cbox_have, '=');
    choose(w().cbox_tstring, '#');
    w().edt_string->paste();
    w().btn_add->click();
    EXPECT_EQ(levels()[0], "SBJCT=#free#");

    w().chk_expert->setChecked(true);
    line(1)->clear();
    line(1)->paste();
    EXPECT_EQ(to_ansi(line(1)->text()), "free");
    w().btn_addsecure->click();
    EXPECT_EQ(pending("secure"), "SBJCT=#free#\r\n");
}

TEST_F(EditorTest, ACutTextRunsTheChangeHandlerOnceWithWhatIsKept) {
    w().chk_expert->setChecked(true);
    std::vector<std::string> seen;
    QObject::connect(line(1), &QLineEdit::textChanged, line(1),
                     [&seen](const QString& text) { seen.push_back(to_ansi(text)); });
    line(1)->setText("one\r\ntwo");
    EXPECT_EQ(seen, std::vector<std::string>{"one"});
    EXPECT_TRUE(box(1)->isChecked()) << "edt_1Change ran";
    line(1)->setText("one");
    line(1)->setText("");
    EXPECT_EQ(seen, (std::vector<std::string>{"one", ""}));
    EXPECT_FALSE(box(1)->isChecked());
}

TEST_F(EditorTest, LongTextsAreKeptWhole) {
    const std::string text(33000, 'a');
    add('2', '=', '#', text);
    EXPECT_EQ(to_ansi(w().edt_string->text()), text);
    EXPECT_EQ(levels()[0], "SBJCT=#" + text + "#");

    w().chk_expert->setChecked(true);
    for (int level = 0; level < 5; ++level) {
        line(level)->setText(from_ansi(text));
        line(level)->end(false);
        line(level)->insert("b");
        EXPECT_EQ(to_ansi(line(level)->text()), text + "b") << level;
    }
}

// ------------------------------------------------------------------ the lines the editor builds

// Random sessions of adds, combinations, rotations and clears, with random
// pick-list choices and texts; every line on every level must go through the
// filter code without an error. Patterns of the "%" mode are drawn from
// characters that form valid expressions, since a bad pattern is the user's
// mistake and not a malformed line.
TEST_F(EditorTest, EveryLineTheEditorBuildsEvaluatesWithoutError) {
    std::mt19937 random(20240607);
    auto pick = [&](const std::string& from) {
        return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
    };
    const std::string fields = "1256", operators = "=-", delimiters = "\"#%";
    const std::string plain = "abcsnderSBJCTmbodyhdrwAML 019()*+-#\"%:.\xE9\xC9\xFF\x9F\xB5";
    const std::string pattern = "abcSNDERsbjctAML 019.";
    // Whole keywords now and then, which the editor must refuse.
    const std::vector<std::string> keywords = {"snder", "SBJCT", "MBody", "attch", "HEADR", "rwmsg"};
    auto text = [&](char delimiter) {
        std::string out;
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 8)(random);
        for (std::size_t i = 0; i < length; ++i) {
            if (std::uniform_int_distribution<int>(0, 15)(random) == 0)
                out += keywords[std::uniform_int_distribution<std::size_t>(0, keywords.size() - 1)(random)];
            else
                out += pick(delimiter == '%' ? pattern : plain);
        }
        return out;
    };

    searcher::searcher_init("none", "none", "none", "none", "none", "none", true);
    int evaluated = 0;
    for (int session = 0; session < 40; ++session) {
        for (int i = 0; i < 5; ++i) w().btn_clear->click();
        for (int step = 0; step < 30; ++step) {
            switch (std::uniform_int_distribution<int>(0, 9)(random)) {
                case 0: case 1: case 2: case 3: {
                    const char delimiter = pick(delimiters);
                    add(pick(fields), pick(operators), delimiter, text(delimiter));
                    break;
                }
                case 4: w().btn_and->click(); break;
                case 5: w().btn_or->click(); break;
                case 6: w().btn_rotate->click(); break;
                case 7: w().btn_clear->click(); break;
                default: user_click(std::uniform_int_distribution<int>(2, 4)(random)); break;
            }
            for (const std::string& l : levels()) {
                if (l.empty()) continue;
                SCOPED_TRACE(l);
                EXPECT_NO_THROW(searcher::filtred(l));
                ++evaluated;
            }
        }
    }
    EXPECT_GT(evaluated, 1000);
}

}  // namespace
}  // namespace kalvorin::test
