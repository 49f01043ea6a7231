// The bulk tab: choosing the source, generating lines from the memo or a file
// into the staging file, and adding the batch to one list.
#include <cstdio>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>

#include "config/WindowFixture.h"
#include "config/cp1252.h"

namespace kalvorin::test {
namespace {

using config::from_ansi;
using config::TForm1;
using config::to_ansi;

void choose(QComboBox* box, char code) {
    box->setCurrentIndex(-1);
    for (int i = 0; i < box->count(); ++i)
        if (to_ansi(box->itemText(i)).front() == code) box->setCurrentIndex(i);
}

std::string crlf(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\r\n";
    return out;
}

// The lines of a text with CR LF line ends.
std::vector<std::string> lines_of(const std::string& content) {
    std::vector<std::string> out;
    for (std::size_t at = 0; at < content.size();) {
        const std::size_t end = content.find("\r\n", at);
        out.push_back(content.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

void click_on(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
    const QPointF at(2, 2);
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), button, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

class BulkTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        open_window();
    }
    TForm1& w() { return *form; }

    void kind(char field, char op, char delimiter) {
        choose(w().cbox_bulkrecord, field);
        choose(w().cbox_bulkhave, op);
        choose(w().cbox_bulktstring, delimiter);
    }
    void memo(const std::string& text) {
        w().mmo_origen->setPlainText(from_ansi(text));
        w().rd_bulkstring->setChecked(true);
    }
    // A source file chosen through the dialog.
    void file(const std::string& content) {
        spit(tmp_ / "source.txt", content);
        seam.dialog_answer = tmp_ / "source.txt";
        w().btn_bulkexaminar->click();
    }
    void generate() { w().btn_bulkprocesa->click(); }
    std::string staging() { return slurp(base() + "~tmp.dat"); }
    std::string pending(const char* list) { return slurp(base() + list + ".edt.tmp"); }
    std::string memo_text() { return to_ansi(w().mmo_origen->toPlainText()); }
    std::string file_name() { return to_ansi(w().edt_filename->text()); }
    // The one warning box shown, or "" when none was.
    std::string said() {
        if (seam.warnings.empty()) return "";
        EXPECT_EQ(seam.warnings.size(), 1u);
        EXPECT_EQ(seam.warnings.front().title, "Warning");
        return seam.warnings.front().text;
    }
    bool add_buttons_enabled() {
        const bool secure = w().btn_bulkaddsecure->isEnabled();
        EXPECT_EQ(w().btn_bulkaddtrash->isEnabled(), secure);
        EXPECT_EQ(w().btn_bulkaddsuspect->isEnabled(), secure);
        return secure;
    }
};

// ------------------------------------------------------------------ choosing the source

TEST_F(BulkTest, ClicksSelectTheirSourceAndTheDialogFillsTheFileName) {
    click_on(w().mmo_origen->viewport());
    EXPECT_TRUE(w().rd_bulkstring->isChecked());
    click_on(w().edt_filename);
    EXPECT_TRUE(w().rd_bulkfromfile->isChecked());

    w().rd_bulkstring->setChecked(true);
    seam.dialog_answer = "/some/where/list\xE9.txt";
    w().btn_bulkexaminar->click();
    EXPECT_TRUE(w().rd_bulkfromfile->isChecked());
    EXPECT_EQ(file_name(), "/some/where/list\xE9.txt");
    EXPECT_EQ(seam.dialog_extensions, std::vector<std::string>{"txt"});

    w().rd_bulkstring->setChecked(true);
    seam.dialog_answer.reset();
    w().btn_bulkexaminar->click();
    EXPECT_TRUE(w().rd_bulkfromfile->isChecked());
    EXPECT_EQ(file_name(), "/some/where/list\xE9.txt");
}

TEST_F(BulkTest, OnlyTheLeftButtonSelectsASource) {
    const std::vector<std::pair<QWidget*, QRadioButton*>> targets = {{w().mmo_origen->viewport(), w().rd_bulkstring},
                                                                     {w().edt_filename, w().rd_bulkfromfile}};
    for (const auto& [target, source] : targets) {
        SCOPED_TRACE(source->objectName().toStdString());
        w().rd_bulkstring->setChecked(false);
        w().rd_bulkfromfile->setChecked(false);
        for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton, Qt::BackButton}) {
            click_on(target, button);
            EXPECT_FALSE(source->isChecked()) << button;
        }
        click_on(target, Qt::LeftButton);
        EXPECT_TRUE(source->isChecked());
    }
}

TEST_F(BulkTest, TheMemoTakesAtMost3500Characters) {
    w().mmo_origen->setPlainText(QString(3600, 'a'));
    EXPECT_EQ(w().mmo_origen->toPlainText().size(), 3500);

    w().mmo_origen->setPlainText(QString(3498, 'a'));
    w().mmo_origen->moveCursor(QTextCursor::Start);
    w().mmo_origen->insertPlainText("xyz");
    EXPECT_EQ(w().mmo_origen->toPlainText(), "xy" + QString(3498, 'a'));
    w().mmo_origen->insertPlainText("q");
    EXPECT_EQ(w().mmo_origen->toPlainText().size(), 3500);
    EXPECT_FALSE(w().mmo_origen->toPlainText().contains('q'));
}

// ------------------------------------------------------------------ generating

struct GenerateCase {
    const char* name;
    char field, op, delimiter;
    std::string source;
    std::string staged;
    std::string warning = "";  // what is said after generation
};

const std::string kCannotHold = ". A filter line cannot hold such a text; the editor refuses it too.";

TEST_F(BulkTest, MemoLinesOfTwoCharactersOrMoreBecomeTestsUnchanged) {
    const GenerateCase cases[] = {
        {"short lines skipped", '2', '=', '#', "lottery\na\n\nfree money", crlf({"SBJCT=#lottery#", "SBJCT=#free money#"})},
        {"three characters taken", '1', '-', '"', "abc\nab", crlf({"SNDER-\"abc\"", "SNDER-\"ab\""})},
        {"blanks kept", '5', '=', '%', "  x \n ", crlf({"HEADR=%  x %"})},
        {"delimiter and keyword skipped", '6', '=', '#', "a#b\nsnder here\nab\"c\nx#", crlf({"RWMSG=#ab\"c#"}),
         "3 texts skipped: 2 texts held the delimiter #, 1 text held a field keyword (SNDER, SBJCT, MBODY, ATTCH, "
         "HEADR or RWMSG)" + kCannotHold},
        {"keyword in any case", '2', '=', '%', "about Sbjct", "",
         "1 text skipped: 1 text held a field keyword (SNDER, SBJCT, MBODY, ATTCH, HEADR or RWMSG)" + kCannotHold},
        {"repeats kept", '2', '=', '#', "dup\ndup", crlf({"SBJCT=#dup#", "SBJCT=#dup#"})},
        {"bytes kept", '2', '=', '#', "caf\xE9", crlf({"SBJCT=#caf\xE9#"})},
        {"nothing qualifies", '2', '=', '#', "a\n\nb", ""},
    };
    for (const GenerateCase& c : cases) {
        SCOPED_TRACE(c.name);
        spit(base() + "~tmp.dat", "");
        kind(c.field, c.op, c.delimiter);
        memo(c.source);
        seam.warnings.clear();
        generate();
        EXPECT_EQ(staging(), c.staged);
        EXPECT_EQ(said(), c.warning);
        EXPECT_EQ(memo_text(), "");
        EXPECT_TRUE(add_buttons_enabled());
    }
}

TEST_F(BulkTest, FileLinesOfFourCharactersOrMoreBecomeTestsUnchanged) {
    const GenerateCase cases[] = {
        {"short lines skipped", '2', '=', '#', "lottery\r\na\r\n\r\nabc\r\nfree money\r\n",
         crlf({"SBJCT=#lottery#", "SBJCT=#free money#"})},
        {"four characters taken, last line unended", '1', '=', '"', "abcd\nab\nwxyz", crlf({"SNDER=\"abcd\"", "SNDER=\"wxyz\""})},
        {"blanks kept, delimiter skipped", '6', '-', '#', "  a \r\nx#RWMSG\r\nabc#", crlf({"RWMSG-#  a #"}),
         "2 texts skipped: 2 texts held the delimiter #" + kCannotHold},
        {"keyword skipped, too short not counted", '5', '=', '"', "headr:x\r\nrw\r\nwhole", crlf({"HEADR=\"whole\""}),
         "1 text skipped: 1 text held a field keyword (SNDER, SBJCT, MBODY, ATTCH, HEADR or RWMSG)" + kCannotHold},
        {"empty file", '2', '=', '#', "", ""},
    };
    for (const GenerateCase& c : cases) {
        SCOPED_TRACE(c.name);
        spit(base() + "~tmp.dat", "");
        kind(c.field, c.op, c.delimiter);
        file(c.source);
        seam.warnings.clear();
        generate();
        EXPECT_EQ(staging(), c.staged);
        EXPECT_EQ(said(), c.warning);
        EXPECT_EQ(file_name(), "");
        EXPECT_TRUE(add_buttons_enabled());
    }
}

TEST_F(BulkTest, TheMemoShowsLongLinesAsSeveralRows) {
    w().show();
    w().pg_ppal->setCurrentWidget(w().ts_bulk);
    const std::string word(400, 'w');
    kind('2', '=', '#');
    memo(word);
    generate();
    const std::vector<std::string> rows = lines_of(staging());
    ASSERT_GT(rows.size(), 1u);
    std::string joined;
    for (const std::string& row : rows) {
        ASSERT_EQ(row.substr(0, 7), "SBJCT=#");
        joined += row.substr(7, row.size() - 8);
    }
    EXPECT_EQ(joined, word);
}

TEST_F(BulkTest, ZeroSourcesGenerateNothingAndKeepTheirText) {
    kind('2', '=', '#');
    memo("0");
    generate();
    EXPECT_EQ(staging(), "");
    EXPECT_EQ(memo_text(), "0");
    EXPECT_TRUE(add_buttons_enabled());

    w().btn_bulkaddsecure->click();
    seam.dialog_answer = "0";
    w().btn_bulkexaminar->click();
    generate();
    EXPECT_EQ(staging(), "");
    EXPECT_EQ(file_name(), "0");
    EXPECT_TRUE(add_buttons_enabled());
    EXPECT_TRUE(seam.errors.empty());
}

TEST_F(BulkTest, RefusedGenerationsChangeNothing) {
    // A pick-list without a choice.
    memo("lottery");
    kind('2', '=', '\0');
    generate();
    EXPECT_EQ(memo_text(), "lottery");
    EXPECT_FALSE(add_buttons_enabled());

    // The file source without a file.
    kind('2', '=', '#');
    w().rd_bulkfromfile->setChecked(true);
    generate();
    EXPECT_EQ(staging(), "");
    EXPECT_FALSE(add_buttons_enabled());
    EXPECT_TRUE(seam.errors.empty());
}

TEST_F(BulkTest, WithoutASourceNothingIsReadButTheBatchMayBeAdded) {
    w().mmo_origen->setPlainText("lottery");
    kind('2', '=', '#');
    generate();
    EXPECT_EQ(staging(), "");
    EXPECT_EQ(memo_text(), "lottery");
    EXPECT_TRUE(add_buttons_enabled());
}

TEST_F(BulkTest, AnUnreadableFileShowsTheErrorAndKeepsItsName) {
    kind('2', '=', '#');
    file("lottery\r\n");
    std::remove((tmp_ / "source.txt").c_str());
    generate();
    EXPECT_EQ(seam.errors, std::vector<std::string>{"File not found: " + tmp_ / "source.txt"});
    EXPECT_EQ(file_name(), tmp_ / "source.txt");
    EXPECT_FALSE(add_buttons_enabled());
}

TEST_F(BulkTest, AHundredThousandLineFileBecomesOneBatch) {
    std::string content;
    for (int i = 0; i < 100000; ++i) content += "sender" + std::to_string(i) + "@example.org\r\n";
    kind('1', '=', '#');
    file(content);
    generate();
    const std::vector<std::string> staged = lines_of(staging());
    ASSERT_EQ(staged.size(), 100000u);
    EXPECT_EQ(staged.front(), "SNDER=#sender0@example.org#");
    EXPECT_EQ(staged.back(), "SNDER=#sender99999@example.org#");

    const std::string batch = staging();
    w().btn_bulkaddsuspect->click();
    EXPECT_EQ(pending("suspect"), batch);
    EXPECT_EQ(staging(), "");
}

#ifndef _WIN32
// POSIX by nature: both cases need a resource limit (the file size, which
// keeps a faulty run from filling the disk; the address space).
// The staging file as its own source is read as it was when generation began.
// Its content is larger than the buffers of a reader and a writer, so that
// following it as it grows would never reach its end; the size limit stops
// such a run long before the disk is full.
TEST_F(BulkTest, TheStagingFileAsSourceIsReadOnceAsItWas) {
    std::string batch, wrapped;
    for (int i = 0; i < 3000; ++i) {
        const std::string text = "lottery number " + std::to_string(i);
        batch += text + "\r\n";
        wrapped += "SBJCT=#" + text + "#\r\n";
    }
    spit(base() + "~tmp.dat", batch);
    kind('2', '=', '#');
    seam.dialog_answer = base() + "~tmp.dat";
    w().btn_bulkexaminar->click();
    {
        FileSizeLimit limit(1024 * 1024);
        generate();
    }
    EXPECT_TRUE(seam.errors.empty());
    const std::string staged = staging();
    EXPECT_EQ(staged.size(), batch.size() + wrapped.size());
    EXPECT_EQ(staged, batch + wrapped);
    EXPECT_TRUE(add_buttons_enabled());
}

// A line too long for the memory left raises std::bad_alloc, which is no file
// error; it is shown like any other, and the window keeps running.
TEST_F(BulkTest, AnErrorOfAnyKindIsShownInTheErrorBox) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer reserves more address space than the limit allows";
#endif
    kind('2', '=', '#');
    file(std::string(64 * 1024 * 1024, 'a'));
    {
        AddressSpaceLimit limit(16 * 1024 * 1024);
        generate();
    }
    EXPECT_EQ(seam.errors, std::vector<std::string>{"std::bad_alloc"});
    EXPECT_EQ(staging(), "");
    EXPECT_FALSE(add_buttons_enabled());
}

#endif  // _WIN32

// ------------------------------------------------------------------ adding the batch

struct AddCase {
    QPushButton* TForm1::*button;
    const char* list;
};

TEST_F(BulkTest, TwoGenerationsGoToOneListFirstBatchFirst) {
    const AddCase cases[] = {{&TForm1::btn_bulkaddsecure, "secure"},
                             {&TForm1::btn_bulkaddtrash, "trash"},
                             {&TForm1::btn_bulkaddsuspect, "suspect"}};
    for (const AddCase& c : cases) {
        SCOPED_TRACE(c.list);
        w().btn_saveall->setEnabled(false);
        kind('2', '=', '#');
        memo("first\nsecond");
        generate();
        kind('1', '-', '"');
        file("third\r\n");
        generate();
        (w().*c.button)->click();

        EXPECT_EQ(pending(c.list), crlf({"SBJCT=#first#", "SBJCT=#second#", "SNDER-\"third\""}));
        EXPECT_EQ(staging(), "");
        EXPECT_FALSE(add_buttons_enabled());
        EXPECT_TRUE(w().btn_saveall->isEnabled());
    }
    EXPECT_TRUE(seam.errors.empty());
}

TEST_F(BulkTest, AFailedAddKeepsTheBatchForARetry) {
    kind('2', '=', '#');
    memo("lottery");
    generate();
    std::remove((base() + "trash.edt.tmp").c_str());
    make_dir(base() + "trash.edt.tmp");
    w().btn_bulkaddtrash->click();
    EXPECT_EQ(seam.errors, std::vector<std::string>{"Access denied: " + base() + "trash.edt.tmp"});
    EXPECT_EQ(staging(), crlf({"SBJCT=#lottery#"}));
    EXPECT_TRUE(add_buttons_enabled());
    EXPECT_FALSE(w().btn_saveall->isEnabled());
}

}  // namespace
}  // namespace kalvorin::test
