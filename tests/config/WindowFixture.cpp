#include "config/WindowFixture.h"

#include <fstream>
#include <memory>

#ifndef _WIN32
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

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

#ifndef _WIN32
namespace {

// The calling thread's capabilities, as the kernel reports and takes them.
struct Capabilities {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3]{};

    Capabilities() { EXPECT_EQ(::syscall(SYS_capget, &header, data), 0); }
    void apply() { EXPECT_EQ(::syscall(SYS_capset, &header, data), 0); }
};

// The powers to read and write files whatever their mode.
constexpr std::uint32_t kFileOverrides = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);

}  // namespace

ReadOnlyFile::ReadOnlyFile(std::string path) : path_(std::move(path)), mode_(std::filesystem::status(path_).permissions()) {
    using std::filesystem::perms;
    const perms read = perms::owner_read | perms::group_read | perms::others_read;
    const perms search = perms::owner_exec | perms::group_exec | perms::others_exec;
    std::filesystem::permissions(path_, std::filesystem::is_directory(path_) ? read | search : read);
    Capabilities caps;
    effective_ = caps.data[0].effective;
    caps.data[0].effective &= ~kFileOverrides;
    caps.apply();
}

ReadOnlyFile::~ReadOnlyFile() {
    Capabilities caps;
    caps.data[0].effective = effective_;
    caps.apply();
    std::filesystem::permissions(path_, mode_);
}

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
    EXPECT_EQ(::getrlimit(RLIMIT_FSIZE, &saved_), 0);
    saved_handler_ = std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, saved_.rlim_max};
    EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, saved_handler_);
}

namespace {

// The address space the process holds now, from /proc/self/statm (in pages).
std::size_t address_space() {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    return pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace

AddressSpaceLimit::AddressSpaceLimit(std::size_t bytes) {
    EXPECT_EQ(::getrlimit(RLIMIT_AS, &saved_), 0);
    const rlimit limit{address_space() + bytes, saved_.rlim_max};
    EXPECT_EQ(::setrlimit(RLIMIT_AS, &limit), 0);
}

AddressSpaceLimit::~AddressSpaceLimit() { ::setrlimit(RLIMIT_AS, &saved_); }

#endif  // _WIN32

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
