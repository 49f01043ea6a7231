#include "config/WindowFixture.h"

#include <memory>

#include <QApplication>

namespace kalvorin::test {

namespace {

// One application object for the whole test program, gone before the program
// exits: Qt's objects must not outlive it into the static destructors.
class QtApplication final : public ::testing::Environment {
public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

private:
    int argc_ = 1;
    char name_[21] = "kalvorin-config-test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};

// gtest owns the environments it is given.
[[maybe_unused]] const ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new QtApplication);

}  // namespace

std::string language_lines(const std::string& prefix, int count) {
    std::string out;
    for (int n = 1; n <= count; ++n) out += prefix + std::to_string(n) + "\r\n";
    return out;
}

void WindowTest::SetUp() {
    HiveTest::SetUp();
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
