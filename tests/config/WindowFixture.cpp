#include "config/WindowFixture.h"

#include <QApplication>

namespace kalvorin::test {

namespace {

// One application object for the whole test program.
void ensure_application() {
    static int argc = 1;
    static char name[] = "kalvorin-config-test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
}

}  // namespace

std::string language_lines(const std::string& prefix, int count) {
    std::string out;
    for (int n = 1; n <= count; ++n) out += prefix + std::to_string(n) + "\r\n";
    return out;
}

void WindowTest::SetUp() {
    HiveTest::SetUp();
    ensure_application();
    spit(base() + "lang.eng.txt", language_lines("E", 100));
    spit(base() + "lang.txt", language_lines("S", 66));
}

void WindowTest::TearDown() {
    form.reset();
    HiveTest::TearDown();
}

config::TForm1& WindowTest::open_window() {
    form = std::make_unique<config::TForm1>(seam, folder());
    return *form;
}

std::string WindowTest::folder() const { return base().substr(0, base().size() - 1); }

}  // namespace kalvorin::test
