// The settings tool from the program folder, as the Windows reg command
// behaves: refusals, subkeys, write-denied trees and the questions it asks at
// a terminal.
#include <gtest/gtest.h>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using test::reg;

const std::string kScores = "HKCU\\Software\\kalvorin\\scores";
const std::string kKalvorin = "HKCU\\Software\\kalvorin";

class RegToolTest : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        for (const char* name : {"secure", "trash"})
            ASSERT_EQ(reg({"add", kScores, "/v", name, "/t", "REG_DWORD", "/d", "5"}).status, 0);
        ASSERT_EQ(reg({"add", kKalvorin + "\\settings", "/v", "logsize", "/t", "REG_DWORD", "/d", "9"}).status, 0);
        ASSERT_EQ(reg({"add", kKalvorin, "/v", "top", "/d", "here"}).status, 0);
    }
    bool has_value(const std::string& key, const std::string& name) {
        return reg({"query", key, "/v", name}).status == 0;
    }
};

struct Refused {
    std::vector<std::string> args;
    std::string error;  // the one line on standard error
};

TEST_F(RegToolTest, RefusalsSayWhyAndChangeNothing) {
    const std::string usage = " (kalvorin-reg --help for the usage)\n";
    const Refused cases[] = {
        {{"delete", kScores, "/v", "secure", "/va", "/f"},
         "ERROR: Invalid syntax: /v and /va cannot be used together" + usage},
        {{"delete", kScores, "/ve", "/va", "/f"}, "ERROR: Invalid syntax: /v and /va cannot be used together" + usage},
        {{"delete", "HKCU", "/f"}, "ERROR: Invalid key name: the root HKCU cannot be deleted" + usage},
        {{"delete", "HKEY_CURRENT_USER\\", "/f"},
         "ERROR: Invalid key name: the root HKEY_CURRENT_USER\\ cannot be deleted" + usage},
        {{"delete", "HKCU\\\\", "/f"}, "ERROR: Invalid key name: the root HKCU\\\\ cannot be deleted" + usage},
        {{"add", kScores, "/v", "b", "/t", "REG_BINARY", "/d", "xyz", "/f"},
         "ERROR: The data is not hexadecimal (digits 0-9 and A-F, two per byte): xyz" + usage},
        {{"add", kScores, "/v", "b", "/t", "REG_BINARY", "/d", "0x12", "/f"},
         "ERROR: The data is not hexadecimal (digits 0-9 and A-F, two per byte): 0x12" + usage},
        {{"add", kScores, "/v", "b", "/t", "REG_BINARY", "/d", "abc", "/f"},
         "ERROR: The hexadecimal data has an odd number of digits: abc" + usage},
        {{"query", kKalvorin + "\\none"},
         "ERROR: The system was unable to find the specified registry key or value.\n"},
        {{"frobnicate", kScores}, "ERROR: Unknown operation: frobnicate" + usage},
        // The arguments that an error repeats cannot break its one line.
        {{"frob\nnicate", kScores}, "ERROR: Unknown operation: frob^Jnicate" + usage},
        {{"add", kScores, "/v", "b", "/t", "REG_DWORD", "/d", "1\r\n2", "/f"},
         "ERROR: Invalid number: 1^M^J2" + usage},
    };
    for (const Refused& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const auto r = reg(c.args);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, c.error);
        EXPECT_TRUE(has_value(kScores, "secure"));
        EXPECT_TRUE(has_value(kScores, "trash"));
        EXPECT_FALSE(has_value(kScores, "b"));
    }
}

TEST_F(RegToolTest, QueryListsTheSubkeysAfterTheValues) {
    ASSERT_EQ(reg({"add", kKalvorin + "\\Directorys"}).status, 0);
    EXPECT_EQ(reg({"query", kKalvorin}).out, "\n" + kKalvorin + "\n    top    REG_SZ    here\n\n" + kKalvorin +
                                                 "\\Directorys\n" + kKalvorin + "\\scores\n" + kKalvorin +
                                                 "\\settings\n");
    // A value asked for by name comes alone.
    EXPECT_EQ(reg({"query", kKalvorin, "/v", "top"}).out, "\n" + kKalvorin + "\n    top    REG_SZ    here\n\n");
    EXPECT_EQ(reg({"query", kScores}).out,
              "\n" + kScores + "\n    secure    REG_DWORD    0x5\n    trash    REG_DWORD    0x5\n\n");
}

TEST_F(RegToolTest, AWriteDeniedSubkeyKeepsItsParent) {
    ASSERT_EQ(reg({"deny", kScores}).status, 0);
    const auto r = reg({"delete", kKalvorin, "/f"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ERROR: Access is denied.\n");
    EXPECT_TRUE(has_value(kScores, "secure"));
    EXPECT_TRUE(has_value(kKalvorin + "\\settings", "logsize"));
    EXPECT_TRUE(has_value(kKalvorin, "top"));

    ASSERT_EQ(reg({"allow", kScores}).status, 0);
    EXPECT_EQ(reg({"delete", kKalvorin, "/f"}).status, 0);
    EXPECT_EQ(reg({"query", kScores}).status, 1);
}

// ------------------------------------------------------------------ questions at a terminal

// Runs the tool with a terminal as its standard input (and output), typing
// `typed`; what the terminal showed.
test::RunResult at_terminal(const std::vector<std::string>& args, const std::string& typed) {
    std::vector<std::string> argv{test::dist("kalvorin-reg")};
    argv.insert(argv.end(), args.begin(), args.end());
    int terminal = -1;
    const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
        std::vector<char*> raw;
        for (auto& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        ::execv(raw[0], raw.data());
        ::_exit(127);
    }
    test::RunResult result;
    if (child < 0) return result;
    EXPECT_EQ(::write(terminal, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR);)
        if (n > 0) result.out.append(buffer, static_cast<std::size_t>(n));
    ::close(terminal);
    int status = 0;
    ::waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

struct Question {
    std::vector<std::string> args;  // without /f
    std::string asked;
    std::string value;  // the value that the change would replace or remove
};

TEST_F(RegToolTest, WithoutForceAChangeThatReplacesOrRemovesIsConfirmedAtATerminal) {
    const Question cases[] = {
        {{"add", kScores, "/v", "secure", "/t", "REG_DWORD", "/d", "7"}, "Value secure exists, overwrite (Yes/No)? ",
         "secure"},
        {{"delete", kScores, "/v", "trash"}, "Delete the registry value trash (Yes/No)? ", "trash"},
        {{"delete", kScores, "/va"}, "Delete all values under the registry key " + kScores + " (Yes/No)? ", "secure"},
        {{"delete", kScores}, "Permanently delete the registry key " + kScores + " (Yes/No)? ", "secure"},
    };
    for (const Question& c : cases) {
        SCOPED_TRACE(c.asked);
        const std::string before = reg({"query", kScores}).out;
        const auto no = at_terminal(c.args, "no\r");
        EXPECT_NE(no.out.find(c.asked), std::string::npos) << no.out;
        EXPECT_NE(no.out.find("The operation was cancelled by the user."), std::string::npos) << no.out;
        EXPECT_EQ(no.status, 0);
        EXPECT_EQ(reg({"query", kScores}).out, before);

        const auto yes = at_terminal(c.args, "y\r");
        EXPECT_NE(yes.out.find("The operation completed successfully."), std::string::npos) << yes.out;
        EXPECT_EQ(yes.status, 0);
        EXPECT_NE(reg({"query", kScores}).out, before);
        ASSERT_EQ(reg({"add", kScores, "/v", "secure", "/t", "REG_DWORD", "/d", "5", "/f"}).status, 0);
        ASSERT_EQ(reg({"add", kScores, "/v", "trash", "/t", "REG_DWORD", "/d", "5", "/f"}).status, 0);
    }
    // With /f, or for a new value, nothing is asked.
    const auto forced = at_terminal({"delete", kScores, "/v", "trash", "/f"}, "");
    EXPECT_EQ(forced.out.find("(Yes/No)"), std::string::npos) << forced.out;
    EXPECT_FALSE(has_value(kScores, "trash"));
    const auto fresh = at_terminal({"add", kScores, "/v", "new", "/d", "x"}, "");
    EXPECT_EQ(fresh.out.find("(Yes/No)"), std::string::npos) << fresh.out;
    EXPECT_TRUE(has_value(kScores, "new"));
}

}  // namespace
}  // namespace kalvorin
