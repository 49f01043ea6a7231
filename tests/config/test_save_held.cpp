// Save All while another program holds a list or a pending file open without
// sharing it, as only Windows lets a program do: the save stops at that list
// and names the file, its waiting lines stay, and the next save, once the
// file is let go, writes them exactly once.
#ifdef _WIN32
#include <windows.h>

#include <filesystem>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <QPushButton>

#include "config/WindowFixture.h"

namespace kalvorin::test {
namespace {

struct HandleCloser {
    void operator()(HANDLE h) const noexcept { CloseHandle(h); }
};
using Held = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// The file opened as an editor or a backup tool may open it: for reading
// and writing, shared with no one.
Held hold(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    return Held(h == INVALID_HANDLE_VALUE ? nullptr : h);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++n;
    return n;
}

// A file of the trash list that another program holds, and the test's name for it.
struct HeldCase {
    const char* file;
    const char* name;
};

void PrintTo(const HeldCase& c, std::ostream* out) { *out << c.file; }

class SaveHeldTest : public WindowTest, public ::testing::WithParamInterface<HeldCase> {
protected:
    void save() {
        form->btn_saveall->setEnabled(true);
        form->btn_saveall->click();
    }
    std::string file(const std::string& name) const { return slurp(base() + name); }
    bool scratch_left() const {
        for (const auto& entry : std::filesystem::directory_iterator(folder()))
            if (entry.path().filename().string().starts_with("~trash.filters.txt.")) return true;
        return false;
    }
};

TEST_P(SaveHeldTest, StopsAtTheHeldFileAndKeepsItsWaitingLinesForTheNextSave) {
    open_window();
    spit(base() + "secure.edt.tmp", "SNDER=#friend.org#\r\n");
    spit(base() + "trash.edt.tmp", "SBJCT=#lottery#\r\n");
    spit(base() + "suspect.edt.tmp", "MBODY=#casino#\r\n");
    const std::string trash = file("trash.filters.txt"), suspect = file("suspect.filters.txt");
    {
        const Held held = hold(base() + GetParam().file);
        ASSERT_TRUE(held) << "error " << GetLastError();
        save();
    }
    EXPECT_EQ(seam.errors, std::vector<std::string>{"Access denied: " + base() + GetParam().file});
    EXPECT_TRUE(form->btn_saveall->isEnabled());
    // The list before it is saved; the held one and those after it wait.
    EXPECT_TRUE(file("secure.filters.txt").ends_with("\r\nSNDER=#friend.org#\r\n:"));
    EXPECT_EQ(file("secure.edt.tmp"), "");
    EXPECT_EQ(file("trash.filters.txt"), trash);
    EXPECT_EQ(file("trash.edt.tmp"), "SBJCT=#lottery#\r\n");
    EXPECT_EQ(file("suspect.filters.txt"), suspect);
    EXPECT_EQ(file("suspect.edt.tmp"), "MBODY=#casino#\r\n");
    EXPECT_FALSE(scratch_left());

    save();
    EXPECT_EQ(seam.errors.size(), 1u);
    EXPECT_TRUE(file("trash.filters.txt").ends_with("\r\nSBJCT=#lottery#\r\n:"));
    EXPECT_TRUE(file("suspect.filters.txt").ends_with("\r\nMBODY=#casino#\r\n:"));
    EXPECT_EQ(occurrences(file("secure.filters.txt"), "SNDER=#friend.org#"), 1u);
    for (const char* pending : {"secure.edt.tmp", "trash.edt.tmp", "suspect.edt.tmp"}) EXPECT_EQ(file(pending), "");
    EXPECT_FALSE(form->btn_saveall->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(, SaveHeldTest,
                         ::testing::Values(HeldCase{"trash.filters.txt", "list"}, HeldCase{"trash.edt.tmp", "pending"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kalvorin::test
#endif  // _WIN32
