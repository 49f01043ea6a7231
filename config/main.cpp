// Kalvorin's configuration program: one window, run until it is closed.
#include <QApplication>
#include <QPushButton>

#include <iostream>
#include <string>

#include "config/Seam.h"
#include "config/interfaz.h"
#include "platform/paths.h"
#include "platform/terminal.h"

namespace {

// --save-on-input, for tests that stop a save at a moment of their choosing:
// once start-up is done the program writes "ready" on standard output and
// waits for a line on standard input (or its end); then it presses Save All
// and ends, with status 1 when start-up or the save failed, or "ready"
// could not be written. Boxes go to standard error.
int save_on_input() {
    kalvorin::config::ConsoleSeam seam;
    kalvorin::config::TForm1 form(seam, kalvorin::platform::program_folder());
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

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (QApplication::arguments().contains("--save-on-input")) return save_on_input();
    kalvorin::config::QtSeam seam;
    kalvorin::config::TForm1 Form1(seam, kalvorin::platform::program_folder());
    Form1.show();
    return app.exec();
}
