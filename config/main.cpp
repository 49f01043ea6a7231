// Kalvorin's configuration program: one window, run until it is closed.
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <cstring>
#include <iostream>
#include <string>

#include "config/CheckForms.h"
#include "config/LineUseForm.h"
#include "config/MakeLineForm.h"
#include "config/Seam.h"
#include "config/WindowFolder.h"
#include "config/cp1252.h"
#include "config/interfaz.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/terminal.h"

namespace {

const char* kUsage =
    "usage: Kalvorin\n"
    "The configuration window: compose filter lines, fill the secure, trash and suspect\n"
    "lists, test them against the last messages, and set the scores and options.\n"
    "It takes no arguments. At every start it stores its folder as the base folder\n"
    "(unless a file depure.dat lies there) and creates the missing lists. Run from\n"
    "an install, its folder is ${XDG_DATA_HOME:-~/.local/share}/kalvorin, filled\n"
    "from the installed texts (" KALVORIN_TEXTS_FROM_BIN " from the program's folder).\n"
    "Without a display: QT_QPA_PLATFORM=offscreen.\n"
    "  --help     print this text\n"
    "  --version  print this program's version\n";

// --help and --version are answered before the window system is reached, so
// that they work without a display.
bool answered(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0) {
            std::cout << kUsage;
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::cout << "Kalvorin " << KALVORIN_VERSION << "\n";
            return true;
        }
    }
    return false;
}

// The folder the window takes for its own: see window_folder. One that
// cannot be made or filled is taken all the same: the start-up then reports
// the files it cannot find or make there, in a box.
std::string own_folder() {
    const std::string program = kalvorin::platform::program_folder();
    const std::string own = kalvorin::config::own_data_folder();
    try {
        return kalvorin::config::window_folder(program, program + "/" KALVORIN_TEXTS_FROM_BIN, own);
    } catch (const kalvorin::KalvorinError& e) {
        std::cerr << "Kalvorin: " << own << ": " << e.what() << "\n";
        return own;
    }
}

// --save-on-input, for tests that stop a save at a moment of their choosing:
// once start-up is done the program writes "ready" on standard output and
// waits for a line on standard input (or its end); then it presses Save All
// and ends, with status 1 when start-up or the save failed, or "ready"
// could not be written. Boxes go to standard error.
int save_on_input() {
    kalvorin::config::ConsoleSeam seam;
    kalvorin::config::TForm1 form(seam, own_folder());
    kalvorin::platform::watch_standard_output();
    std::cout << "ready\n";
    // A caller that cannot hear "ready" cannot say when to save.
    if (kalvorin::platform::finish_output(0, "Kalvorin: ", 1) != 0) return 1;
    std::string line;
    std::getline(std::cin, line);
    form.btn_saveall->setEnabled(true);
    form.btn_saveall->click();
    return seam.failed() ? 1 : 0;
}

void print_rows(const char* label, QTreeWidget* table, QPlainTextEdit* account) {
    using kalvorin::config::to_ansi;
    for (int r = 0; r < table->topLevelItemCount(); ++r) {
        std::string row = label;
        for (int c = 0; c < table->columnCount(); ++c) row += (c ? " | " : ": ") + to_ansi(table->topLevelItem(r)->text(c));
        std::cout << row << "\n";
        if (!account) continue;
        table->setCurrentItem(table->topLevelItem(r));
        std::cout << to_ansi(account->toPlainText()) << "\n";
    }
}

void print_state(const char* label, const QLabel* state) {
    if (state->isVisibleTo(state->parentWidget())) std::cout << label << ": " << kalvorin::config::to_ansi(state->text()) << "\n";
}

// "Make a line" for the first of the last messages: its proposals, then the
// line "Add" waits with its best test, and what that line would change.
void print_make_line(kalvorin::config::TForm1& form) {
    QTreeWidget* messages = form.frm_messages->lst_messages;
    if (messages->topLevelItemCount() == 0) return;
    messages->setCurrentItem(messages->topLevelItem(0));
    form.frm_messages->btn_makeline->click();
    if (!form.frm_makeline) return;
    print_rows("proposal", form.frm_makeline->lst_proposals, nullptr);
    form.frm_makeline->btn_makeadd->click();
    std::cout << "made: " << kalvorin::config::to_ansi(form.frm_makeline->lbl_makeline->text()) << "\n";
    print_rows("change", form.frm_messages->lst_pending, nullptr);
}

// --print-checks, for tests of a build they cannot click in: once start-up is
// done the program presses "Check the lists", "Last messages" and "Line use",
// then "Make a line" for the first message, writes what their windows show on
// standard output (each message followed by its account), and ends; with
// status 1 when an error box was shown. Boxes go to standard error.
int print_checks() {
    kalvorin::config::ConsoleSeam seam;
    kalvorin::config::TForm1 form(seam, own_folder());
    kalvorin::platform::watch_standard_output();
    form.btn_checklists->click();
    if (form.frm_check) {
        print_state("lists", form.frm_check->lbl_checkstate);
        print_rows("finding", form.frm_check->lst_findings, nullptr);
    }
    form.btn_lastmessages->click();
    if (form.frm_messages) {
        print_state("log", form.frm_messages->lbl_logstate);
        print_rows("message", form.frm_messages->lst_messages, form.frm_messages->mmo_why);
        print_rows("change", form.frm_messages->lst_pending, form.frm_messages->mmo_why);
    }
    form.btn_lineuse->click();
    if (form.frm_use) {
        print_state("use", form.frm_use->lbl_usestate);
        print_rows("use", form.frm_use->lst_use, nullptr);
    }
    if (form.frm_messages) print_make_line(form);
    return kalvorin::platform::finish_output(seam.failed() ? 1 : 0, "Kalvorin: ", 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (answered(argc, argv)) return kalvorin::platform::finish_output(0, "Kalvorin: ", 1);
    QApplication app(argc, argv);
    if (QApplication::arguments().contains("--save-on-input")) return save_on_input();
    if (QApplication::arguments().contains("--print-checks")) return print_checks();
    kalvorin::config::QtSeam seam;
    kalvorin::config::TForm1 Form1(seam, own_folder());
    Form1.show();
    return app.exec();
}
