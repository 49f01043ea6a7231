// The filter test: every line of every list run once through the filter code.
#include <filesystem>
#include <map>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#endif

#include <QPlainTextEdit>
#include <QPushButton>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "config/WindowFixture.h"
#include "config/cp1252.h"

namespace kalvorin::test {
namespace {

#ifdef _WIN32
// Does any program hold the file open? Then it cannot be opened unshared.
bool is_open(const std::string& path) {
    const HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return ::GetLastError() == ERROR_SHARING_VIOLATION;
    const std::unique_ptr<void, decltype(&::CloseHandle)> closer(h, &::CloseHandle);
    return false;
}
#else
// Does this process hold the file open?
bool is_open(const std::string& path) {
    const auto target = std::filesystem::canonical(path);
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(fd.path(), ec) == target) return true;
    }
    return false;
}
#endif

// Every file below a folder with its content.
std::map<std::string, std::string> files_below(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) files[entry.path().string()] = slurp(entry.path().string());
    return files;
}

class FilterTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        spit(base() + "secure.filters.txt", ":secure\r\nSNDER=\"none\"\r\n");
        spit(base() + "trash.filters.txt", "");
        spit(base() + "suspect.filters.txt", ":only\r\n\r\n:comments");
    }
    std::string memo() { return config::to_ansi(form->mmo_test->toPlainText()); }
    void run_test() { form->btn_testfilters->click(); }
};

TEST_F(FilterTest, ListsEveryLineAfterWhatTheMemoHolds) {
    open_window();
    run_test();
    const std::string trace =
        "Testing: :secure\nTested!\nTesting: SNDER=\"none\"\nTested!\n"
        "Testing: :only\nTested!\nTesting: \nTested!\nTesting: :comments\nTested!";
    EXPECT_EQ(memo(), "S33\n" + trace);
    EXPECT_TRUE(seam.errors.empty());

    run_test();
    EXPECT_EQ(memo(), "S33\n" + trace + "\n" + trace);
}

TEST_F(FilterTest, CommentLinesAreNotEvaluated) {
    // Evaluated, this line would fail: it is no filter at all.
    spit(base() + "secure.filters.txt", ":SBJCT=%(%\r\n");
    open_window();
    run_test();
    EXPECT_TRUE(seam.errors.empty());
}

TEST_F(FilterTest, StopsAtARegularExpressionThatDoesNotCompile) {
    spit(base() + "trash.filters.txt", ":t\r\nSBJCT=#x#\r\nSBJCT=%(abc%\r\nSBJCT=#y#\r\n");
    open_window();
    run_test();

    ASSERT_EQ(seam.errors.size(), 1u);
    EXPECT_FALSE(seam.errors[0].empty());
    const std::string text = memo();
    EXPECT_TRUE(text.ends_with("Testing: SBJCT=#x#\nTested!\nTesting: SBJCT=%(abc%")) << text;
    EXPECT_EQ(text.find(":only"), std::string::npos) << "later lists are not read";

    EXPECT_FALSE(is_open(base() + "trash.filters.txt")) << "the list at fault was released";
}

TEST_F(FilterTest, TheErrorBoxShowsTheRegularExpressionEnginesOwnMessage) {
    spit(base() + "secure.filters.txt", "SBJCT=%(abc%\r\n");
    open_window();
    run_test();
    const std::string engine = error_text<ERegExpr>([] { busca_regexp("(abc", "none"); });
    ASSERT_NE(engine, "no error");
    EXPECT_EQ(seam.errors, std::vector<std::string>{engine});
}

TEST_F(FilterTest, WritesNoFileAndChangesNoSetting) {
    spit(base() + "trash.filters.txt", "SNDER=\"none\"*SBJCT=%no.e%\r\nRWMSG-#x#\r\n");
    open_window();
    // The settings and every file, the hive among them, lie below this folder.
    const auto before = files_below(tmp_.path());
    run_test();
    ASSERT_TRUE(seam.errors.empty());
    EXPECT_EQ(files_below(tmp_.path()), before);
    EXPECT_FALSE(exists(base() + "plugin.log.txt"));
}

TEST_F(FilterTest, MissingListStopsBeforeItsFirstLine) {
    std::remove((base() + "trash.filters.txt").c_str());
    // Start-up would recreate it; remove it again once the window is open.
    open_window();
    std::remove((base() + "trash.filters.txt").c_str());
    run_test();
    EXPECT_EQ(seam.errors, std::vector<std::string>{"File not found: " + base() + "trash.filters.txt"});
    EXPECT_EQ(memo().find(":only"), std::string::npos);
}

}  // namespace
}  // namespace kalvorin::test
