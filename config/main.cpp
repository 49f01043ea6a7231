// Kalvorin's configuration program: one window, run until it is closed.
#include <QApplication>

#include "config/Seam.h"
#include "config/interfaz.h"
#include "platform/paths.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kalvorin::config::QtSeam seam;
    kalvorin::config::TForm1 Form1(seam, kalvorin::platform::program_folder());
    Form1.show();
    return app.exec();
}
